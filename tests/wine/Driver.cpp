// A Windows-side helper for the Wine tests. It sets up the registry as a
// test row asks, optionally holds a file open the way another process would,
// then starts visaprep with an exact raw command line (so the command tail
// rule is tested on what Windows really passes) and reports the exit status
// and every byte visaprep wrote to its standard handles.
//
//   driver <view> <type> <hexdata> <file-to-hold|-> <exe> <hex command line>
//
// view: 32 or 64 (the registry view the value goes into), or none (no key);
// type: sz, expand, dword or binary; hexdata: the value's bytes, hex ("-" for
// none, which creates the key without the value). Prints "exit=N output=N".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kKey[] = "SOFTWARE\\VXIPNP_Alliance\\VXIPNP\\CurrentVersion";

std::string FromHex(const char* hex) {
  std::string bytes;
  if (std::strcmp(hex, "-") == 0) {
    return bytes;
  }
  for (std::size_t i = 0; hex[i] != '\0' && hex[i + 1] != '\0'; i += 2) {
    const char pair[3] = {hex[i], hex[i + 1], '\0'};
    bytes += static_cast<char>(std::strtoul(pair, nullptr, 16));
  }
  return bytes;
}

DWORD TypeOf(const char* name) {
  if (std::strcmp(name, "expand") == 0) return REG_EXPAND_SZ;
  if (std::strcmp(name, "dword") == 0) return REG_DWORD;
  if (std::strcmp(name, "binary") == 0) return REG_BINARY;
  return REG_SZ;
}

// Leaves no trace of earlier rows in either view.
void DeleteKeys() {
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kKey, view, 0);
  }
}

// The program that Windows' own list of programs would run to uninstall
// the product registered under `name`, in either registry view: after a cut
// off run, Inno Setup keeps a damaged unins000.dat and registers a new
// unins001.exe. Empty when there is none.
std::string RegisteredUninstaller(const char* name) {
  const std::string path =
      std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + name;
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) !=
        ERROR_SUCCESS) {
      continue;
    }
    char value[MAX_PATH] = {};
    DWORD size = sizeof value - 1;
    const LONG status = RegQueryValueExA(key, "UninstallString", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS) {
      std::string program = value;
      if (!program.empty() && program.front() == '"') {
        program = program.substr(1, program.find('"', 1) - 1);
      }
      return program;
    }
  }
  return "";
}

bool SetValue(const char* view, const char* type, const char* hexData) {
  if (std::strcmp(view, "none") == 0) {
    return true;
  }
  const REGSAM wow = std::strcmp(view, "64") == 0 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE | wow, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG status = ERROR_SUCCESS;
  if (std::strcmp(hexData, "-") != 0) {
    const std::string data = FromHex(hexData);
    status =
        RegSetValueExA(key, "FRAMEWORK_PATH", 0, TypeOf(type),
                       reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  }
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: driver view type hexdata hold exe hexcommandline\n");
    return 2;
  }
  DeleteKeys();
  if (!SetValue(argv[1], argv[2], argv[3])) {
    std::fprintf(stderr, "driver: cannot set the registry value\n");
    return 2;
  }

  HANDLE held = INVALID_HANDLE_VALUE;
  if (std::strcmp(argv[4], "uninstalling") == 0) {
    // As an uninstaller of the includes holds it while at work.
    held = CreateMutexA(nullptr, FALSE, "Global\\visaprep uninstall");
  } else if (std::strcmp(argv[4], "-") != 0) {
    // Readable by others, so it can be copied, but neither writable nor
    // deletable while held.
    held = CreateFileA(argv[4], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "driver: cannot hold %s\n", argv[4]);
      return 2;
    }
  }

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  CreatePipe(&readEnd, &writeEnd, &inherit, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  std::string commandLine = FromHex(argv[6]);
  // "@name": the uninstaller registered under that name.
  const std::string program = argv[5][0] == '@' ? RegisteredUninstaller(argv[5] + 1) : argv[5];
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process = {};
  // The empty-value rows resolve relative paths against this folder.
  CreateDirectoryA("C:\\vp", nullptr);
  CreateDirectoryA("C:\\vp\\cwd", nullptr);
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                      "C:\\vp\\cwd", &startup, &process)) {
    std::fprintf(stderr, "driver: cannot start %s: %lu\n", program.c_str(), GetLastError());
    return 2;
  }
  CloseHandle(writeEnd);
  WaitForSingleObject(process.hProcess, INFINITE);

  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  DWORD output = 0;
  char chunk[256];
  DWORD got = 0;
  // What the program wrote is in the pipe once it has exited. Reading to the
  // end would wait for every holder of the write end, and Wine's desktop
  // process, started by an installer's first window, keeps that installer's
  // standard error for as long as the prefix lives.
  DWORD waiting = 0;
  while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &waiting, nullptr) && waiting != 0 &&
         ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got != 0) {
    output += got;
  }
  if (held != INVALID_HANDLE_VALUE && held != nullptr) {
    CloseHandle(held);
  }
  // An uninstaller returns while its second phase may still be
  // putting the library back; the include holds this mutex until it is done.
  for (int waited = 0; waited < 600; ++waited) {
    HANDLE busy = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\visaprep uninstall");
    if (busy == nullptr) {
      break;
    }
    CloseHandle(busy);
    Sleep(100);
  }
  std::printf("exit=%lu output=%lu\n", exitCode, output);
  return 0;
}
