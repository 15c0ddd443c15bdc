// Moves another company's visa32.dll out of the way of the library about to
// be installed, keeping a copy named after its company so it can be put back.
#include "app/Phases.h"
#include "copy/WholeCopy.h"
#include "library/CompanyName.h"
#include "library/SetAsideName.h"
#include "platform/Platform.h"
#include "text/Text.h"

void SetAsideForeignLibrary(const char* systemDirectory) {
  char library[kTextSize];
  char company[kTextSize];
  char temporary[kTextSize];
  if (!ComposeText(library, {systemDirectory, "\\visa32.dll"}) ||
      !QueryCompanyName(library, company) ||
      !ComposeText(temporary, {systemDirectory, "\\", kTemporaryName})) {
    return;
  }
  // The library may go only when its bytes are safe: copied now, whole and
  // on the disk, or found under a set-aside name already. A name taken by
  // anything else (an older library of the same company, a folder) is
  // passed over, never replaced; any other failure (a full disk, a locked
  // file), a name too long or no free name keeps the library where it is.
  for (int number = 1;; ++number) {
    char setAside[kTextSize];
    if (number > kMostSetAsideCopies ||
        !ComposeSetAsideName(setAside, systemDirectory, company, number)) {
      return;
    }
    const std::uint32_t error = CopyFileWhole(library, temporary, setAside, false);
    if (error == 0) {
      break;
    }
    if (error != Platform::kErrorFileExists && error != Platform::kErrorAlreadyExists) {
      return;
    }
    // Such a copy counts as made now, so that a put-back takes it, not
    // another library of the company set aside after it was first made.
    if (SameBytes(library, setAside)) {
      if (!DateAsMadeNow(setAside)) {
        return;
      }
      break;
    }
  }
  DeleteFileWhenFree(library);
}
