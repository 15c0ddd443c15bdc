#include "tests/fake/FakePlatform.h"

#include <cstdlib>
#include <cstring>

namespace fake {
namespace {

State machine;

// Counts the call and tells whether the fault plan fails it; a failing call
// leaves its error as the last error.
bool Injected(const char* name) {
  ++machine.calls;
  machine.callNames.emplace_back(name);
  const Fault& fault = machine.fault;
  const bool fails = fault.call != 0 && (machine.calls == fault.call ||
                                         (fault.persistent && machine.calls > fault.call));
  if (fails) {
    const std::vector<std::uint32_t>& errors = ErrorsFor(name);
    machine.lastError = fault.error != 0 ? fault.error : errors[fault.choice % errors.size()];
  }
  return fails;
}

int Fail(std::uint32_t error) {
  machine.lastError = error;
  return 0;
}

// The folder part of a path, reading it as the ANSI code page does: a trail
// byte of 0x5C is no separator.
std::string ParentOf(const std::string& path) {
  std::size_t slash = std::string::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (machine.leadBytes.count(static_cast<unsigned char>(path[i])) != 0) {
      ++i;
    } else if (path[i] == '\\') {
      slash = i;
    }
  }
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool FolderExists(const std::string& folder) {
  return folder.empty() || machine.directories.count(folder) != 0;
}

// The serialised version block: for each value, the key and the value, each
// as a 16-bit length and its bytes. VerQueryValueA walks the same layout.
std::string Serialise(const VersionValues& values) {
  std::string block;
  auto put = [&block](const std::string& text) {
    block += static_cast<char>(text.size() & 0xFF);
    block += static_cast<char>(text.size() >> 8);
    block += text;
  };
  for (const auto& [key, value] : values) {
    put(key);
    put(value);
  }
  return block;
}

const File* VersionedFile(const char* path) {
  const auto found = machine.files.find(path);
  if (found == machine.files.end()) {
    return nullptr;
  }
  return found->second.version ? &found->second : nullptr;
}

}  // namespace

State& Machine() { return machine; }

const std::vector<std::uint32_t>& ErrorsFor(const std::string& name) {
  using namespace Platform;
  static const std::map<std::string, std::vector<std::uint32_t>> kErrors = {
      {"CopyFileA",
       {kErrorFileNotFound, kErrorPathNotFound, kErrorAccessDenied, kErrorSharingViolation,
        kErrorFileExists, kErrorDiskFull}},
      {"DeleteFileA", {kErrorAccessDenied, kErrorSharingViolation}},
      {"RegOpenKeyExA", {kErrorFileNotFound, kErrorAccessDenied}},
      {"RegQueryValueExA", {kErrorFileNotFound, kErrorAccessDenied, kErrorMoreData}},
      {"GlobalAlloc", {8}},                 // ERROR_NOT_ENOUGH_MEMORY
      {"GetFileVersionInfoSizeA", {1812}},  // ERROR_RESOURCE_DATA_NOT_FOUND
      {"GetFileVersionInfoA", {1812}},
      {"VerQueryValueA", {1813}},  // ERROR_RESOURCE_TYPE_NOT_FOUND
      {"GetSystemDirectoryA", {kErrorAccessDenied}},
  };
  return kErrors.at(name);
}

void Reset() {
  for (const auto& [block, size] : machine.blocks) {
    std::free(block);
  }
  machine = State();
}

std::string RegistryString(const std::string& text) { return text + '\0'; }

}  // namespace fake

namespace Platform {

using fake::Fail;
using fake::FolderExists;
using fake::Injected;
using fake::machine;

const char* GetCommandLineA() { return machine.commandLine.c_str(); }

std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  if (Injected("GetSystemDirectoryA")) {
    return 0;
  }
  const std::string& directory = machine.systemDirectory;
  if (directory.size() + 1 > size) {
    return static_cast<std::uint32_t>(directory.size() + 1);
  }
  std::memcpy(buffer, directory.c_str(), directory.size() + 1);
  return static_cast<std::uint32_t>(directory.size());
}

int IsDBCSLeadByte(unsigned char byte) { return machine.leadBytes.count(byte) != 0 ? 1 : 0; }

std::int32_t RegOpenKeyExA(RegistryKey root, const char* subKey, std::uint32_t options,
                           std::uint32_t access, RegistryKey* result) {
  if (Injected("RegOpenKeyExA")) {
    return static_cast<std::int32_t>(machine.lastError);
  }
  if (root != kLocalMachine || options != 0 || access != kKeyQueryValue ||
      std::strcmp(subKey, "SOFTWARE\\VXIPNP_Alliance\\VXIPNP\\CurrentVersion") != 0 ||
      !machine.keyExists) {
    return kErrorFileNotFound;
  }
  ++machine.openKeys;
  *result = 0x1234;
  return 0;
}

std::int32_t RegQueryValueExA(RegistryKey key, const char* valueName, std::uint32_t* reserved,
                              std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
  static_cast<void>(key);
  static_cast<void>(type);
  if (Injected("RegQueryValueExA")) {
    return static_cast<std::int32_t>(machine.lastError);
  }
  if (reserved != nullptr || std::strcmp(valueName, "FRAMEWORK_PATH") != 0 ||
      !machine.frameworkPath) {
    return kErrorFileNotFound;
  }
  const std::string& value = *machine.frameworkPath;
  const bool fits = value.size() <= *size;
  *size = static_cast<std::uint32_t>(value.size());
  if (!fits) {
    return kErrorMoreData;
  }
  std::memcpy(data, value.data(), value.size());
  return 0;
}

std::int32_t RegCloseKey(RegistryKey key) {
  static_cast<void>(key);
  --machine.openKeys;
  return 0;
}

int CopyFileA(const char* source, const char* destination, int failIfExists) {
  if (Injected("CopyFileA")) {
    // Windows gives ERROR_FILE_EXISTS only where a file stands; elsewhere
    // the injected failure is a full disk instead.
    if (machine.lastError == kErrorFileExists && machine.files.count(destination) == 0) {
      machine.lastError = kErrorDiskFull;
    }
    return 0;
  }
  const auto from = machine.files.find(source);
  if (from == machine.files.end()) {
    return Fail(FolderExists(fake::ParentOf(source)) ? kErrorFileNotFound : kErrorPathNotFound);
  }
  if (from->second.lock == fake::Lock::kExclusive) {
    return Fail(kErrorSharingViolation);
  }
  if (!FolderExists(fake::ParentOf(destination))) {
    return Fail(kErrorPathNotFound);
  }
  if (machine.directories.count(destination) != 0) {
    return Fail(kErrorAccessDenied);
  }
  const auto to = machine.files.find(destination);
  if (to != machine.files.end()) {
    if (failIfExists != 0) {
      return Fail(kErrorFileExists);
    }
    if (to->second.lock != fake::Lock::kNone) {
      return Fail(kErrorSharingViolation);
    }
  }
  fake::File copy = from->second;
  copy.lock = fake::Lock::kNone;
  machine.files[destination] = copy;
  return 1;
}

int DeleteFileA(const char* path) {
  if (Injected("DeleteFileA")) {
    return 0;
  }
  const auto found = machine.files.find(path);
  if (found == machine.files.end()) {
    return Fail(machine.directories.count(path) != 0 ? kErrorAccessDenied : kErrorFileNotFound);
  }
  if (found->second.lock != fake::Lock::kNone) {
    return Fail(kErrorSharingViolation);
  }
  machine.files.erase(found);
  return 1;
}

std::uint32_t GetLastError() { return machine.lastError; }

std::uint32_t GetFileVersionInfoSizeA(const char* path, std::uint32_t* handle) {
  *handle = 0;
  if (Injected("GetFileVersionInfoSizeA")) {
    return 0;
  }
  const fake::File* file = fake::VersionedFile(path);
  if (file == nullptr) {
    return Fail(kErrorFileNotFound);
  }
  return static_cast<std::uint32_t>(fake::Serialise(*file->version).size());
}

int GetFileVersionInfoA(const char* path, std::uint32_t handle, std::uint32_t size, void* block) {
  static_cast<void>(handle);
  if (Injected("GetFileVersionInfoA")) {
    return 0;
  }
  const fake::File* file = fake::VersionedFile(path);
  if (file == nullptr) {
    return Fail(kErrorFileNotFound);
  }
  const std::string bytes = fake::Serialise(*file->version);
  std::memcpy(block, bytes.data(), bytes.size() < size ? bytes.size() : size);
  return 1;
}

int VerQueryValueA(const void* block, const char* subBlock, void** value, std::uint32_t* length) {
  if (Injected("VerQueryValueA")) {
    return 0;
  }
  const auto known = machine.blocks.find(const_cast<void*>(block));
  if (known == machine.blocks.end()) {
    return 0;
  }
  auto* bytes = static_cast<unsigned char*>(known->first);
  const std::size_t size = known->second;
  std::size_t at = 0;
  // One length-prefixed field of the serialised block.
  auto field = [&](std::size_t* start, std::size_t* count) {
    if (at + 2 > size) {
      return false;
    }
    *count = bytes[at] | (static_cast<std::size_t>(bytes[at + 1]) << 8);
    at += 2;
    *start = at;
    at += *count;
    return at <= size;
  };
  std::size_t keyAt = 0;
  std::size_t keyLength = 0;
  std::size_t valueAt = 0;
  std::size_t valueLength = 0;
  while (field(&keyAt, &keyLength) && field(&valueAt, &valueLength)) {
    if (std::string(reinterpret_cast<char*>(bytes + keyAt), keyLength) == subBlock) {
      *value = bytes + valueAt;
      *length = static_cast<std::uint32_t>(valueLength);
      return 1;
    }
  }
  return 0;
}

void* GlobalAlloc(std::uint32_t flags, std::size_t size) {
  if (Injected("GlobalAlloc")) {
    return nullptr;
  }
  void* block = (flags & kZeroInit) != 0 ? std::calloc(size, 1) : std::malloc(size);
  machine.blocks[block] = size;
  return block;
}

void GlobalFree(void* block) {
  machine.blocks.erase(block);
  std::free(block);
}

}  // namespace Platform
