// Puts the library that an installation set aside back as visa32.dll, once
// that installation's own library is gone: after a failed installation,
// and after an uninstall.
#include "app/Phases.h"
#include "copy/WholeCopy.h"
#include "library/CompanyName.h"
#include "library/SetAsideName.h"
#include "platform/Platform.h"
#include "text/Text.h"

namespace {

// True when `path` is a set-aside copy by the rules it was made by: its own
// company, read from its own version information, and one of the names
// that company's copies get. `unreadable` is set when that information
// could not be read now.
bool IsSetAsideCopy(const char* path, const char* systemDirectory, bool* unreadable) {
  char company[kTextSize];
  if (!QueryCompanyName(path, company, unreadable)) {
    return false;
  }
  for (int number = 1; number <= kMostSetAsideCopies; ++number) {
    char name[kTextSize];
    if (ComposeSetAsideName(name, systemDirectory, company, number) && TextEquals(name, path)) {
      return true;
    }
  }
  return false;
}

std::uint64_t Ticks(const Platform::FileTime& time) {
  return (std::uint64_t{time.high} << 32) | time.low;
}

}  // namespace

void RestoreForeignLibrary(const char* systemDirectory) {
  char library[kTextSize];
  char pattern[kTextSize];
  if (!ComposeText(library, {systemDirectory, "\\visa32.dll"}) ||
      !ComposeText(pattern, {systemDirectory, "\\visa32.*"})) {
    return;
  }
  // The copy set aside last is the one with the latest creation time, which
  // each copy gets when it is made; its last-write time is the library's own.
  Platform::FoundFile found;
  const Platform::FileHandle search = Platform::FindFirstFileA(pattern, &found);
  if (search == Platform::kInvalidFile) {
    return;
  }
  char newest[kTextSize] = "";
  std::uint64_t newestTime = 0;
  // A copy that could not be judged now may be the newest: then none is
  // taken, rather than an older library.
  // One past the latest creation time of such a copy, 0 while there is none.
  std::uint64_t unreadableAfter = 0;
  do {
    char path[kTextSize];
    bool unreadable = false;
    if ((found.attributes & Platform::kAttributeDirectory) == 0 &&
        ComposeText(path, {systemDirectory, "\\", found.name}) &&
        Ticks(found.created) >= newestTime) {
      if (IsSetAsideCopy(path, systemDirectory, &unreadable)) {
        newestTime = Ticks(found.created);
        ComposeText(newest, {path});
      } else if (unreadable && Ticks(found.created) + 1 > unreadableAfter) {
        unreadableAfter = Ticks(found.created) + 1;
      }
    }
  } while (Platform::FindNextFileA(search, &found) != 0);
  // A search that ended early may have missed the newest copy.
  const bool complete =
      Platform::GetLastError() == Platform::kErrorNoMoreFiles && unreadableAfter <= newestTime;
  Platform::FindClose(search);
  // The rename never replaces: a library that is in place, whatever its
  // company, stays, and so does the copy.
  if (complete && newest[0] != '\0') {
    MoveFileWhenFree(newest, library);
  }
}
