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

// HKEY_LOCAL_MACHINE. Windows defines the predefined keys as negative 32-bit
// values, so a 64-bit handle holds this one sign-extended.
constexpr RegistryKey kLocalMachine = static_cast<RegistryKey>(std::intptr_t{-0x7FFFFFFE});
constexpr std::uint32_t kKeyQueryValue = 0x0001;  // KEY_QUERY_VALUE
constexpr std::uint32_t kZeroInit = 0x0040;       // GMEM_ZEROINIT

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorFileExists = 80;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorMoreData = 234;

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

// Nonzero when copied. With `failIfExists` set an existing destination makes
// the copy fail with ERROR_FILE_EXISTS; otherwise it is overwritten.
int CopyFileA(const char* source, const char* destination, int failIfExists);

// Nonzero when deleted.
int DeleteFileA(const char* path);

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
