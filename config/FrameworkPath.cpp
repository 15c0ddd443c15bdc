#include "config/FrameworkPath.h"

#include "platform/Platform.h"

bool ReadFrameworkPath(char (&directory)[kTextSize]) {
  Platform::RegistryKey key = 0;
  if (Platform::RegOpenKeyExA(Platform::kLocalMachine,
                              "SOFTWARE\\VXIPNP_Alliance\\VXIPNP\\CurrentVersion", 0,
                              Platform::kKeyQueryValue, &key) != 0) {
    return false;
  }
  std::uint32_t size = kTextSize;
  const std::int32_t status = Platform::RegQueryValueExA(
      key, "FRAMEWORK_PATH", nullptr, nullptr, reinterpret_cast<std::uint8_t*>(directory), &size);
  Platform::RegCloseKey(key);
  if (status != 0 || size > kTextSize) {
    return false;
  }
  // The registry does not promise a terminating NUL. Bytes that stop short
  // of the buffer can be terminated where they end; a full buffer without a
  // NUL has nowhere to put one.
  if (TextLength(directory, size) == size) {
    if (size == kTextSize) {
      return false;
    }
    directory[size] = '\0';
  }
  return true;
}
