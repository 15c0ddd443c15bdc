// Moves another company's visa32.dll out of the way of the library about to
// be installed, keeping a copy named after its company so it can be put back.
#include "app/Phases.h"
#include "copy/WholeCopy.h"
#include "library/CompanyName.h"
#include "platform/Platform.h"
#include "text/Text.h"

namespace {

constexpr const char* kKeptCompany = "Quarvello";

// The name comes from the library file itself, so it may only ever name a
// file beside it: a separator, a drive colon, a wildcard or a control byte
// would let the file choose where its copy lands. A trail byte of a
// double-byte character is part of its character, whatever its value.
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

void SetAsideForeignLibrary(const char* systemDirectory) {
  char library[kTextSize];
  char company[kTextSize];
  if (!ComposeText(library, {systemDirectory, "\\", "visa32.dll"}) ||
      !QueryCompanyName(library, company) || TextEquals(company, kKeptCompany) ||
      !IsPlainFileNameComponent(company)) {
    return;
  }
  char setAside[kTextSize];
  char temporary[kTextSize];
  if (!ComposeText(setAside, {systemDirectory, "\\", "visa32.", company, ".dll"}) ||
      !ComposeText(temporary, {systemDirectory, "\\", kTemporaryName})) {
    return;
  }
  // The library may go only when its bytes are safe: copied now, whole and
  // on the disk, or already set aside by an earlier run for the same
  // company. Any other failure (a full disk, a locked file) would make the
  // deletion the only copy's end.
  const std::uint32_t error = CopyFileWhole(library, temporary, setAside, false);
  if (error != 0 && error != Platform::kErrorFileExists && error != Platform::kErrorAlreadyExists) {
    return;
  }
  DeleteFileWhenFree(library);
}
