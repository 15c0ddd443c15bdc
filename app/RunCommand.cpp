#include "app/RunCommand.h"

#include "app/Phases.h"
#include "platform/Platform.h"
#include "text/Text.h"

int RunCommand(const char* commandTail) {
  char systemDirectory[128];
  const std::uint32_t length =
      Platform::GetSystemDirectoryA(systemDirectory, sizeof systemDirectory);
  // 0 is a failed read; a length of the buffer or more is the size that the
  // directory would have needed, and the buffer then holds no path.
  const bool haveSystemDirectory = length > 0 && length < sizeof systemDirectory;

  const bool both = TextEquals(commandTail, "BackUp RemoveVisa32");
  if (both || TextEquals(commandTail, "BackUp")) {
    BackUpConfiguration();
  } else if (TextEquals(commandTail, "Copy")) {
    RestoreConfiguration();
  }

  if (!haveSystemDirectory) {
    return 0;
  }
  if (both || TextEquals(commandTail, "RemoveVisa32")) {
    SetAsideForeignLibrary(systemDirectory);
  } else if (TextEquals(commandTail, "RestoreVisa32")) {
    RestoreForeignLibrary(systemDirectory);
  }
  return 0;
}
