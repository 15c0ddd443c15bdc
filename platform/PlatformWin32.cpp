// The platform operations as the Win32 calls themselves. Nothing here adds
// behaviour: each wrapper only converts between the header's fixed-width
// types and the Windows ones, so what the logic relies on is what Windows does.
#include <windows.h>

#include "platform/Platform.h"

namespace Platform {

static_assert(sizeof(HKEY) == sizeof(RegistryKey), "registry handles must fit RegistryKey");
static_assert(sizeof(DWORD) == sizeof(std::uint32_t), "DWORD is 32 bits");
static_assert(kKeyQueryValue == KEY_QUERY_VALUE && kZeroInit == GMEM_ZEROINIT,
              "flags must match Win32");
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorFileExists == ERROR_FILE_EXISTS &&
                  kErrorAlreadyExists == ERROR_ALREADY_EXISTS && kErrorMoreData == ERROR_MORE_DATA,
              "error codes must match Win32");

namespace {
HKEY ToHkey(RegistryKey key) { return reinterpret_cast<HKEY>(key); }
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

int CopyFileA(const char* source, const char* destination, int failIfExists) {
  return ::CopyFileA(source, destination, failIfExists);
}

int DeleteFileA(const char* path) { return ::DeleteFileA(path); }

std::uint32_t GetLastError() { return ::GetLastError(); }

std::uint32_t GetFileVersionInfoSizeA(const char* path, std::uint32_t* handle) {
  return ::GetFileVersionInfoSizeA(path, reinterpret_cast<DWORD*>(handle));
}

int GetFileVersionInfoA(const char* path, std::uint32_t handle, std::uint32_t size, void* block) {
  return ::GetFileVersionInfoA(path, handle, size, block);
}

int VerQueryValueA(const void* block, const char* subBlock, void** value, std::uint32_t* length) {
  UINT bytes = 0;
  const BOOL found = ::VerQueryValueA(block, subBlock, value, &bytes);
  *length = bytes;
  return found;
}

void* GlobalAlloc(std::uint32_t flags, std::size_t size) { return ::GlobalAlloc(flags, size); }

void GlobalFree(void* block) { ::GlobalFree(block); }

}  // namespace Platform
