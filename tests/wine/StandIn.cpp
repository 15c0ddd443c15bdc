// What the Wine tests build installers with in place of visaprep.exe, to cut
// an installation off right before or right after one of its visaprep runs:
// it runs the real C:\tools\visaprep.exe with its own command tail, except
// at the run that C:\tools\cut.txt names ("<run> before" or "<run> after",
// runs counted from 1 in C:\tools\cut.count), where it makes
// C:\tools\cut.now and waits to be killed. Without cut.txt it only runs.
// While a run sets a library aside, it holds the file that
// C:\tools\hold.txt names open, readable but not deletable, as a program
// using that library would.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int ReadNumber(const char* path, char* word) {
  int number = 0;
  if (FILE* file = std::fopen(path, "r")) {
    if (std::fscanf(file, "%d %15s", &number, word) < 1) {
      number = 0;
    }
    std::fclose(file);
  }
  return number;
}

void WaitToBeKilled() {
  if (FILE* file = std::fopen("C:\\tools\\cut.now", "w")) {
    std::fclose(file);
  }
  for (;;) {
    Sleep(1000);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandTail, int) {
  char where[16] = "";
  char unused[16] = "";
  const int cutAt = ReadNumber("C:\\tools\\cut.txt", where);
  const int run = ReadNumber("C:\\tools\\cut.count", unused) + 1;
  if (FILE* file = std::fopen("C:\\tools\\cut.count", "w")) {
    std::fprintf(file, "%d\n", run);
    std::fclose(file);
  }
  const bool cut = cutAt == run;
  if (cut && std::strcmp(where, "before") == 0) {
    WaitToBeKilled();
  }
  HANDLE held = INVALID_HANDLE_VALUE;
  char hold[MAX_PATH] = "";
  if (FILE* file = std::fopen("C:\\tools\\hold.txt", "r")) {
    if (std::fgets(hold, sizeof hold, file) != nullptr &&
        std::strstr(commandTail, "RemoveVisa32")) {
      held = CreateFileA(hold, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    std::fclose(file);
  }
  std::string commandLine = std::string("visaprep.exe ") + commandTail;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA("C:\\tools\\visaprep.exe", &commandLine[0], nullptr, nullptr, FALSE, 0,
                     nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (held != INVALID_HANDLE_VALUE) {
    CloseHandle(held);
  }
  if (cut) {
    WaitToBeKilled();
  }
  return 0;
}
