// The only door from visaprep's logic to the operating system.
//
// Each operation carries the name of the Win32 call it stands for and keeps
// that call's contract, so the logic reads like plain Win32 code. The header
// needs no <windows.h>: the same logic is linked against Win32 in the real
// program (PlatformWin32.cpp) and against an in-memory fake in the unit tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Platform {

// An open registry key; opaque to the logic.
using RegistryKey = std::uintptr_t;

// An open file; opaque to the logic. kInvalidFile is INVALID_HANDLE_VALUE.
using FileHandle = std::uintptr_t;
constexpr FileHandle kInvalidFile = ~FileHandle{0};

// HKEY_LOCAL_MACHINE. Windows defines the predefined keys as negative 32-bit
// values, so a 64-bit handle holds this one sign-extended.
constexpr RegistryKey kLocalMachine = static_cast<RegistryKey>(std::intptr_t{-0x7FFFFFFE});
constexpr std::uint32_t kKeyQueryValue = 0x0001;  // KEY_QUERY_VALUE
constexpr std::uint32_t kZeroInit = 0x0040;       // GMEM_ZEROINIT

constexpr std::uint32_t kGenericRead = 0x80000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kDelete = 0x00010000;               // DELETE
constexpr std::uint32_t kShareRead = 0x0001;                // FILE_SHARE_READ
constexpr std::uint32_t kShareAll = 0x0007;                 // and _WRITE and _DELETE
constexpr std::uint32_t kAttributeNormal = 0x0080;          // FILE_ATTRIBUTE_NORMAL
constexpr std::uint32_t kCreateAlways = 2;                  // CREATE_ALWAYS
constexpr std::uint32_t kOpenExisting = 3;                  // OPEN_EXISTING
constexpr std::uint32_t kMoveFileReplaceExisting = 0x0001;  // MOVEFILE_REPLACE_EXISTING
constexpr std::uint32_t kMoveFileWriteThrough = 0x0008;     // MOVEFILE_WRITE_THROUGH
constexpr std::uint32_t kAttributeDirectory = 0x0010;       // FILE_ATTRIBUTE_DIRECTORY

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorNoMoreFiles = 18;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorLockViolation = 33;
constexpr std::uint32_t kErrorFileExists = 80;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorUnableToRemoveReplaced = 1175;
constexpr std::uint32_t kErrorUnableToMoveReplacement = 1176;

// The raw command line of the process, program name included.
const char* GetCommandLineA();

// Fills `buffer` (of `size` bytes) with the system directory, no trailing
// separator. Gives the length without the NUL, 0 on failure, or the size
// needed, NUL included, when `size` is too small.
std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size);

// Nonzero when `byte` opens a double-byte character in the process's ANSI
// code page.
int IsDBCSLeadByte(unsigned char byte);

// 0 when `subKey` of `root` was opened; *result then holds the key.
std::int32_t RegOpenKeyExA(RegistryKey root, const char* subKey, std::uint32_t options,
                           std::uint32_t access, RegistryKey* result);

// 0 when the value fitted `*size` bytes of `data`; *size then holds the
// bytes stored. ERROR_MORE_DATA (234) when it does not fit, 2 when there is
// no such value. `type` may be null.
std::int32_t RegQueryValueExA(RegistryKey key, const char* valueName, std::uint32_t* reserved,
                              std::uint32_t* type, std::uint8_t* data, std::uint32_t* size);

std::int32_t RegCloseKey(RegistryKey key);

// Nonzero when deleted.
int DeleteFileA(const char* path);

// FILETIME: 100-nanosecond intervals since 1601, in two halves.
struct FileTime {
  std::uint32_t low;
  std::uint32_t high;
};

// WIN32_FIND_DATAA, field for field.
struct FoundFile {
  std::uint32_t attributes;
  FileTime created;
  FileTime lastAccess;
  FileTime lastWrite;
  std::uint32_t sizeHigh;
  std::uint32_t sizeLow;
  std::uint32_t reserved[2];
  char name[260];
  char shortName[14];
};

// Opens `path` with no security attributes and no template; kInvalidFile on
// failure. With kCreateAlways an existing file is emptied, and a new one gets
// `attributes`.
FileHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t share,
                       std::uint32_t disposition, std::uint32_t attributes);

// Nonzero when the read went through; *read then holds the bytes read, 0 at
// the end of the file.
int ReadFile(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* read);

// Nonzero when the write went through; *written then holds the bytes written.
// They are in the system's cache, not yet on the disk.
int WriteFile(FileHandle file, const void* buffer, std::uint32_t size, std::uint32_t* written);

// Nonzero once every byte written to the file stands on the disk.
int FlushFileBuffers(FileHandle file);

int CloseHandle(FileHandle file);

// Renames `existing` to `newName` in one step; nonzero when done. Without
// MOVEFILE_REPLACE_EXISTING in `flags` a file at `newName` makes it fail with
// ERROR_ALREADY_EXISTS (some file systems give ERROR_FILE_EXISTS); with
// kMoveFileWriteThrough it returns once the rename stands on the disk.
int MoveFileExA(const char* existing, const char* newName, std::uint32_t flags);

// Puts `replacement` in the place of `replaced` in one step, keeping what
// Windows keeps of a file overwritten in place (its security descriptor,
// attributes and creation time); no backup name, no flags. Nonzero when
// done. ERROR_FILE_NOT_FOUND when `replaced` does not exist, and
// ERROR_UNABLE_TO_MOVE_REPLACEMENT when `replaced` is gone but `replacement`
// could not take its name; after any other failure both stand as before.
int ReplaceFileA(const char* replaced, const char* replacement);

void Sleep(std::uint32_t milliseconds);

// Nonzero when read; each pointer may be null.
int GetFileTime(FileHandle file, FileTime* created, FileTime* lastAccess, FileTime* lastWrite);

// Nonzero when set; a null pointer leaves that time as it is. A time set
// this way stays: Windows no longer stamps the file through this handle.
int SetFileTime(FileHandle file, const FileTime* created, const FileTime* lastAccess,
                const FileTime* lastWrite);

void GetSystemTimeAsFileTime(FileTime* now);

// The first name in a folder that matches `pattern` (a path whose last part
// may hold * and ?), folders included; kInvalidFile when none does. Windows
// matches the short 8.3 names too, so a caller checks each name itself.
FileHandle FindFirstFileA(const char* pattern, FoundFile* found);

// Nonzero while there is another match; at the end the last error is
// ERROR_NO_MORE_FILES.
int FindNextFileA(FileHandle search, FoundFile* found);

int FindClose(FileHandle search);

// The calling thread's last error, as the failed call left it.
std::uint32_t GetLastError();

// Bytes of the file's version information; 0 when it has none or is absent.
std::uint32_t GetFileVersionInfoSizeA(const char* path, std::uint32_t* handle);

// Nonzero when `block` (of `size` bytes) holds the version information.
int GetFileVersionInfoA(const char* path, std::uint32_t handle, std::uint32_t size, void* block);

// Nonzero when `subBlock` was found in `block`; *value then points into the
// block and *length gives the value's length (characters for strings, bytes
// otherwise).
int VerQueryValueA(const void* block, const char* subBlock, void** value, std::uint32_t* length);

// A block of `size` bytes, zero-filled with kZeroInit; null on failure.
void* GlobalAlloc(std::uint32_t flags, std::size_t size);

void GlobalFree(void* block);

}  // namespace Platform
