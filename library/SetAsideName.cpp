#include "library/SetAsideName.h"

#include "platform/Platform.h"

namespace {

// A separator, a drive colon, a wildcard or a control byte would let the
// file choose where its copy lands. A trail byte of a double-byte character
// is part of its character, whatever its value.
bool IsPlainFileNameComponent(const char* name) {
  static const char kForbidden[] = "\\/:*?\"<>|";
  for (const auto* at = reinterpret_cast<const unsigned char*>(name); *at != '\0'; ++at) {
    if (Platform::IsDBCSLeadByte(*at) != 0 && at[1] != '\0') {
      ++at;
      continue;
    }
    if (*at < 0x20) {
      return false;
    }
    for (const char* forbidden = kForbidden; *forbidden != '\0'; ++forbidden) {
      if (*at == static_cast<unsigned char>(*forbidden)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool ComposeSetAsideName(char (&path)[kTextSize], const char* systemDirectory, const char* company,
                         int number) {
  // The first copy keeps the name it always had: no number.
  const char suffix[3] = {'.', static_cast<char>('0' + number), '\0'};
  return !TextEquals(company, "Quarvello") && IsPlainFileNameComponent(company) &&
         ComposeText(path,
                     {systemDirectory, "\\visa32.", company, number > 1 ? suffix : "", ".dll"});
}
