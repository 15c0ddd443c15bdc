// Process start-up without a C runtime: visaprep must run on a bare Windows
// before any runtime DLL is installed, so the linker enters here instead of
// at a CRT start-up routine, and nothing else runs before or after WinMain.
#include <windows.h>

#include "app/CommandTail.h"
#include "app/RunCommand.h"
#include "platform/Platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int show) {
  static_cast<void>(instance);
  static_cast<void>(previous);
  static_cast<void>(show);
  return RunCommand(commandTail);
}

extern "C" void WINAPI VisaprepStart() {
  // The tail is derived here, not taken from a runtime, so the rule for
  // quotes, blanks and double-byte program paths is the program's own.
  // WinMain's tail is not const for historical reasons only; nothing writes
  // through it.
  char* commandTail = const_cast<char*>(CommandTailOf(Platform::GetCommandLineA()));
  ::ExitProcess(static_cast<UINT>(
      WinMain(::GetModuleHandleA(nullptr), nullptr, commandTail, SW_SHOWDEFAULT)));
}
