// The platform operations as the Win32 calls themselves. Nothing here adds
// behaviour: each wrapper only converts between the header's fixed-width
// types and the Windows ones, so what the logic relies on is what Windows does.
// The one exception is where the version services come from (see Version).
#include <windows.h>

#include <cstddef>

#include "platform/Platform.h"

namespace Platform {

static_assert(sizeof(HKEY) == sizeof(RegistryKey), "registry handles must fit RegistryKey");
static_assert(sizeof(DWORD) == sizeof(std::uint32_t), "DWORD is 32 bits");
static_assert(kKeyQueryValue == KEY_QUERY_VALUE && kZeroInit == GMEM_ZEROINIT,
              "flags must match Win32");
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorFileExists == ERROR_FILE_EXISTS &&
                  kErrorAlreadyExists == ERROR_ALREADY_EXISTS &&
                  kErrorMoreData == ERROR_MORE_DATA &&
                  kErrorLockViolation == ERROR_LOCK_VIOLATION &&
                  kErrorUnableToMoveReplacement == ERROR_UNABLE_TO_MOVE_REPLACEMENT,
              "error codes must match Win32");
// INVALID_HANDLE_VALUE is the handle -1, which no constant expression can
// convert; kInvalidFile is all ones in a word of a handle's size.
static_assert(sizeof(HANDLE) == sizeof(FileHandle), "file handles must fit FileHandle");
static_assert(kGenericRead == GENERIC_READ && kGenericWrite == GENERIC_WRITE &&
                  kShareRead == FILE_SHARE_READ && kDelete == DELETE &&
                  kShareAll == (FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) &&
                  kAttributeNormal == FILE_ATTRIBUTE_NORMAL && kCreateAlways == CREATE_ALWAYS &&
                  kOpenExisting == OPEN_EXISTING &&
                  kMoveFileWriteThrough == MOVEFILE_WRITE_THROUGH &&
                  kMoveFileReplaceExisting == MOVEFILE_REPLACE_EXISTING &&
                  kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY,
              "file flags must match Win32");
// The time and search records are handed to Windows as they are.
static_assert(sizeof(FileTime) == sizeof(FILETIME) &&
                  sizeof(FoundFile) == sizeof(WIN32_FIND_DATAA) &&
                  offsetof(FoundFile, created) == offsetof(WIN32_FIND_DATAA, ftCreationTime) &&
                  offsetof(FoundFile, name) == offsetof(WIN32_FIND_DATAA, cFileName),
              "records must match Win32");

namespace {

HKEY ToHkey(RegistryKey key) { return reinterpret_cast<HKEY>(key); }
HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

struct VersionServices {
  decltype(&::GetFileVersionInfoSizeA) size;
  decltype(&::GetFileVersionInfoA) read;
  decltype(&::VerQueryValueA) query;
};

VersionServices version;
bool versionTried;

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  // Through the one function type the compiler accepts as generic.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// VERSION.dll is not among the DLLs that Windows always takes from the system
// directory. Imported, it would be looked for first in the program's own
// folder, and any version.dll lying there (a Downloads folder, a shared
// temporary folder) would run with the installer's rights before our first
// instruction. So it is loaded here, by full path, and only by a run that
// judges a library. With the altered search path, its own dependencies are
// looked for beside it too. The search flags of newer Windows versions are
// not used: an unpatched Windows 7 lacks them and would refuse the load.
const VersionServices* Version() {
  if (!versionTried) {
    versionTried = true;
    // The path is composed here rather than with the program's text helpers,
    // so that this layer stands on Windows alone; a name that would not fit
    // loads nothing, and the library is then left alone.
    static const char kName[] = "\\version.dll";
    char path[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(path, sizeof path);
    HMODULE module = nullptr;
    if (length > 0 && length + sizeof kName <= sizeof path) {
      for (UINT i = 0; i < sizeof kName; ++i) {
        path[length + i] = kName[i];
      }
      module = ::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (module != nullptr) {
      version.size = Lookup<decltype(version.size)>(module, "GetFileVersionInfoSizeA");
      version.read = Lookup<decltype(version.read)>(module, "GetFileVersionInfoA");
      version.query = Lookup<decltype(version.query)>(module, "VerQueryValueA");
    }
  }
  const bool complete =
      version.size != nullptr && version.read != nullptr && version.query != nullptr;
  return complete ? &version : nullptr;
}

}  // namespace

const char* GetCommandLineA() { return ::GetCommandLineA(); }

std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  return ::GetSystemDirectoryA(buffer, size);
}

int IsDBCSLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte); }

std::int32_t RegOpenKeyExA(RegistryKey root, const char* subKey, std::uint32_t options,
                           std::uint32_t access, RegistryKey* result) {
  HKEY key = nullptr;
  const LONG status = ::RegOpenKeyExA(ToHkey(root), subKey, options, access, &key);
  *result = reinterpret_cast<RegistryKey>(key);
  return status;
}

std::int32_t RegQueryValueExA(RegistryKey key, const char* valueName, std::uint32_t* reserved,
                              std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
  return ::RegQueryValueExA(ToHkey(key), valueName, reinterpret_cast<DWORD*>(reserved),
                            reinterpret_cast<DWORD*>(type), data, reinterpret_cast<DWORD*>(size));
}

std::int32_t RegCloseKey(RegistryKey key) { return ::RegCloseKey(ToHkey(key)); }

int DeleteFileA(const char* path) { return ::DeleteFileA(path); }

FileHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t share,
                       std::uint32_t disposition, std::uint32_t attributes) {
  return reinterpret_cast<FileHandle>(
      ::CreateFileA(path, access, share, nullptr, disposition, attributes, nullptr));
}

int ReadFile(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* read) {
  return ::ReadFile(ToHandle(file), buffer, size, reinterpret_cast<DWORD*>(read), nullptr);
}

int WriteFile(FileHandle file, const void* buffer, std::uint32_t size, std::uint32_t* written) {
  return ::WriteFile(ToHandle(file), buffer, size, reinterpret_cast<DWORD*>(written), nullptr);
}

int FlushFileBuffers(FileHandle file) { return ::FlushFileBuffers(ToHandle(file)); }

int CloseHandle(FileHandle file) { return ::CloseHandle(ToHandle(file)); }

int MoveFileExA(const char* existing, const char* newName, std::uint32_t flags) {
  return ::MoveFileExA(existing, newName, flags);
}

int ReplaceFileA(const char* replaced, const char* replacement) {
  return ::ReplaceFileA(replaced, replacement, nullptr, 0, nullptr, nullptr);
}

void Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

int GetFileTime(FileHandle file, FileTime* created, FileTime* lastAccess, FileTime* lastWrite) {
  return ::GetFileTime(ToHandle(file), reinterpret_cast<FILETIME*>(created),
                       reinterpret_cast<FILETIME*>(lastAccess),
                       reinterpret_cast<FILETIME*>(lastWrite));
}

int SetFileTime(FileHandle file, const FileTime* created, const FileTime* lastAccess,
                const FileTime* lastWrite) {
  return ::SetFileTime(ToHandle(file), reinterpret_cast<const FILETIME*>(created),
                       reinterpret_cast<const FILETIME*>(lastAccess),
                       reinterpret_cast<const FILETIME*>(lastWrite));
}

void GetSystemTimeAsFileTime(FileTime* now) {
  ::GetSystemTimeAsFileTime(reinterpret_cast<FILETIME*>(now));
}

FileHandle FindFirstFileA(const char* pattern, FoundFile* found) {
  return reinterpret_cast<FileHandle>(
      ::FindFirstFileA(pattern, reinterpret_cast<WIN32_FIND_DATAA*>(found)));
}

int FindNextFileA(FileHandle search, FoundFile* found) {
  return ::FindNextFileA(ToHandle(search), reinterpret_cast<WIN32_FIND_DATAA*>(found));
}

int FindClose(FileHandle search) { return ::FindClose(ToHandle(search)); }

std::uint32_t GetLastError() { return ::GetLastError(); }

std::uint32_t GetFileVersionInfoSizeA(const char* path, std::uint32_t* handle) {
  const VersionServices* services = Version();
  return services != nullptr ? services->size(path, reinterpret_cast<DWORD*>(handle)) : 0;
}

int GetFileVersionInfoA(const char* path, std::uint32_t handle, std::uint32_t size, void* block) {
  const VersionServices* services = Version();
  return services != nullptr ? services->read(path, handle, size, block) : 0;
}

int VerQueryValueA(const void* block, const char* subBlock, void** value, std::uint32_t* length) {
  const VersionServices* services = Version();
  UINT bytes = 0;
  const BOOL found = services != nullptr ? services->query(block, subBlock, value, &bytes) : 0;
  *length = bytes;
  return found;
}

void* GlobalAlloc(std::uint32_t flags, std::size_t size) { return ::GlobalAlloc(flags, size); }

void GlobalFree(void* block) { ::GlobalFree(block); }

}  // namespace Platform
