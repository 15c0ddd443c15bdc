#include "tests/fake/FakePlatform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace fake {
namespace {

State machine;

}  // namespace

// Names stay as they were last made, in order, as a journaling file system
// keeps them; bytes not yet flushed do not.
void CutOff() {
  if (machine.fault.cut == Cut::kPower) {
    for (auto& [path, file] : machine.files) {
      if (file.unflushed) {
        file.bytes.assign(file.bytes.size(), '\0');
      }
    }
    for (auto rename = machine.lazyRenames.rbegin(); rename != machine.lazyRenames.rend();
         ++rename) {
      const auto node = machine.files.extract(rename->second);
      if (!node.empty()) {
        machine.files[rename->first] = node.mapped();
      }
    }
  }
  machine.handles.clear();
  throw Stopped();
}

namespace {

// Counts the call and tells whether the fault plan fails it; a failing call
// leaves its error as the last error. A cut there stops the run instead.
bool Injected(const char* name) {
  ++machine.calls;
  machine.callNames.emplace_back(name);
  const Fault& fault = machine.fault;
  if (fault.cut != Cut::kNone && machine.calls == fault.call) {
    CutOff();
  }
  const std::vector<std::uint32_t>& errors = ErrorsFor(name);
  const bool fails =
      fault.cut == Cut::kNone && fault.call != 0 && !errors.empty() &&
      (machine.calls == fault.call || (fault.persistent && machine.calls > fault.call));
  if (fails) {
    machine.lastError = fault.error != 0 ? fault.error : errors[fault.choice % errors.size()];
    machine.failedADeletion = machine.failedADeletion || std::strcmp(name, "DeleteFileA") == 0;
  }
  return fails;
}

// A FILETIME in the fake's clock ticks, and back.
Platform::FileTime TimeOf(std::uint64_t ticks) {
  return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

std::uint64_t TicksOf(const Platform::FileTime& time) {
  return (std::uint64_t{time.high} << 32) | time.low;
}

int Fail(std::uint32_t error) {
  machine.lastError = error;
  return 0;
}

Platform::FileHandle FailOpen(std::uint32_t error) {
  machine.lastError = error;
  return Platform::kInvalidFile;
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

const VersionValues* VersionOf(const char* path) {
  const auto found = machine.files.find(path);
  if (found == machine.files.end()) {
    return nullptr;
  }
  const auto version = machine.versions.find(found->second.bytes);
  return version != machine.versions.end() ? &version->second : nullptr;
}

// Why `path` cannot be opened or replaced as a file, or 0.
std::uint32_t Unusable(const std::string& path) {
  if (!FolderExists(ParentOf(path))) {
    return Platform::kErrorPathNotFound;
  }
  return machine.directories.count(path) != 0 ? Platform::kErrorAccessDenied : 0;
}

}  // namespace

State& Machine() { return machine; }

const std::vector<std::uint32_t>& ErrorsFor(const std::string& name) {
  using namespace Platform;
  static const std::map<std::string, std::vector<std::uint32_t>> kErrors = {
      {"CreateFileA",
       {kErrorFileNotFound, kErrorPathNotFound, kErrorAccessDenied, kErrorSharingViolation,
        kErrorDiskFull}},
      {"ReadFile", {kErrorLockViolation, 23}},  // ERROR_CRC: a bad sector
      {"WriteFile", {kErrorDiskFull, kErrorLockViolation}},
      {"FlushFileBuffers", {kErrorDiskFull, 1117}},  // ERROR_IO_DEVICE
      {"ReplaceFileA",
       {kErrorAccessDenied, kErrorSharingViolation, kErrorUnableToRemoveReplaced,
        kErrorUnableToMoveReplacement}},
      {"MoveFileExA",
       {kErrorAlreadyExists, kErrorFileExists, kErrorAccessDenied, kErrorSharingViolation}},
      {"CloseHandle", {}},
      {"Sleep", {}},
      {"GetFileTime", {kErrorAccessDenied}},
      {"SetFileTime", {kErrorAccessDenied, kErrorDiskFull}},
      {"GetSystemTimeAsFileTime", {}},
      {"FindFirstFileA", {kErrorFileNotFound, kErrorAccessDenied}},
      {"FindNextFileA", {kErrorAccessDenied}},
      {"FindClose", {}},
      {"DeleteFileA", {kErrorAccessDenied, kErrorSharingViolation}},
      {"RegOpenKeyExA", {kErrorFileNotFound, kErrorAccessDenied}},
      {"RegQueryValueExA", {kErrorFileNotFound, kErrorAccessDenied, kErrorMoreData}},
      {"GlobalAlloc", {8}},  // ERROR_NOT_ENOUGH_MEMORY
      // ERROR_RESOURCE_DATA_NOT_FOUND: none; or it cannot be read now.
      {"GetFileVersionInfoSizeA", {1812, kErrorSharingViolation}},
      {"GetFileVersionInfoA", {1812, kErrorSharingViolation}},
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

FileHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t share,
                       std::uint32_t disposition, std::uint32_t attributes) {
  static_cast<void>(share);
  static_cast<void>(attributes);
  static FileHandle next = 0x100;
  if (Injected("CreateFileA")) {
    return kInvalidFile;
  }
  if (const std::uint32_t error = fake::Unusable(path)) {
    return fake::FailOpen(error);
  }
  const auto found = machine.files.find(path);
  if (disposition == kOpenExisting) {
    if (found == machine.files.end()) {
      return fake::FailOpen(kErrorFileNotFound);
    }
    // A holder shares reading at most, and deleting never.
    const fake::Lock lock = found->second.lock;
    if (((access & kGenericRead) != 0 && lock == fake::Lock::kExclusive) ||
        ((access & kDelete) != 0 && lock != fake::Lock::kNone)) {
      return fake::FailOpen(kErrorSharingViolation);
    }
  } else {
    if (found != machine.files.end() && found->second.lock != fake::Lock::kNone) {
      return fake::FailOpen(kErrorSharingViolation);
    }
    ++machine.clock;
    machine.files[path] = {"", fake::Lock::kNone, true, machine.clock, machine.clock};
  }
  machine.handles[++next] = {path, 0};
  return next;
}

int ReadFile(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t* read) {
  *read = 0;
  if (Injected("ReadFile")) {
    return 0;
  }
  fake::State::Open& open = machine.handles.at(file);
  const std::string& bytes = machine.files.at(open.path).bytes;
  const std::size_t count = std::min<std::size_t>(size, bytes.size() - open.at);
  std::memcpy(buffer, bytes.data() + open.at, count);
  open.at += count;
  *read = static_cast<std::uint32_t>(count);
  return 1;
}

int WriteFile(FileHandle file, const void* buffer, std::uint32_t size, std::uint32_t* written) {
  *written = 0;
  const fake::Fault& fault = machine.fault;
  fake::State::Open& open = machine.handles.at(file);
  fake::File& target = machine.files.at(open.path);
  const auto write = [&](std::size_t count) {
    target.bytes.replace(open.at, count, static_cast<const char*>(buffer), count);
    target.unflushed = true;
    target.lastWrite = ++machine.clock;
    open.at += count;
  };
  // A kill in the middle of a write leaves a part of it.
  if (fault.cut != fake::Cut::kNone && machine.calls + 1 == fault.call) {
    write(size * static_cast<std::size_t>(fault.writtenPart) / 2);
  }
  if (Injected("WriteFile")) {
    return 0;
  }
  write(size);
  *written = size;
  return 1;
}

int FlushFileBuffers(FileHandle file) {
  if (Injected("FlushFileBuffers")) {
    return 0;
  }
  machine.files.at(machine.handles.at(file).path).unflushed = false;
  return 1;
}

int CloseHandle(FileHandle file) {
  Injected("CloseHandle");
  return machine.handles.erase(file) != 0 ? 1 : Fail(6);  // ERROR_INVALID_HANDLE
}

int MoveFileExA(const char* existing, const char* newName, std::uint32_t flags) {
  if (Injected("MoveFileExA")) {
    // Windows says a file exists only where one stands; elsewhere the
    // injected failure is a refusal instead.
    const bool exists =
        machine.lastError == kErrorAlreadyExists || machine.lastError == kErrorFileExists;
    if (exists && machine.files.count(newName) == 0) {
      machine.lastError = kErrorAccessDenied;
    }
    return 0;
  }
  const auto from = machine.files.find(existing);
  if (from == machine.files.end()) {
    return Fail(fake::Unusable(existing) != 0 ? fake::Unusable(existing) : kErrorFileNotFound);
  }
  if (const std::uint32_t error = fake::Unusable(newName)) {
    return Fail(error == kErrorAccessDenied ? kErrorAlreadyExists : error);
  }
  if (machine.files.count(newName) != 0 && (flags & kMoveFileReplaceExisting) == 0) {
    return Fail(kErrorAlreadyExists);
  }
  machine.files[newName] = from->second;
  machine.files.erase(existing);
  // The journal holds its records in order: one written through takes the
  // lazy ones before it to the disk too.
  if ((flags & kMoveFileWriteThrough) != 0) {
    machine.lazyRenames.clear();
  } else {
    machine.lazyRenames.emplace_back(existing, newName);
  }
  return 1;
}

int ReplaceFileA(const char* replaced, const char* replacement) {
  if (Injected("ReplaceFileA")) {
    // This failure leaves the replaced file gone and the replacement under
    // its own name.
    if (machine.lastError == kErrorUnableToMoveReplacement) {
      machine.files.erase(replaced);
    }
    return 0;
  }
  if (const std::uint32_t error = fake::Unusable(replaced)) {
    return Fail(error);
  }
  const auto to = machine.files.find(replaced);
  const auto from = machine.files.find(replacement);
  if (to == machine.files.end() || from == machine.files.end()) {
    return Fail(kErrorFileNotFound);
  }
  if (to->second.lock != fake::Lock::kNone) {
    return Fail(kErrorSharingViolation);
  }
  to->second = from->second;
  machine.files.erase(from);
  return 1;
}

void Sleep(std::uint32_t milliseconds) {
  static_cast<void>(milliseconds);
  Injected("Sleep");
}

int GetFileTime(FileHandle file, FileTime* created, FileTime* lastAccess, FileTime* lastWrite) {
  static_cast<void>(lastAccess);
  if (Injected("GetFileTime")) {
    return 0;
  }
  const fake::File& found = machine.files.at(machine.handles.at(file).path);
  if (created != nullptr) {
    *created = fake::TimeOf(found.created);
  }
  if (lastWrite != nullptr) {
    *lastWrite = fake::TimeOf(found.lastWrite);
  }
  return 1;
}

int SetFileTime(FileHandle file, const FileTime* created, const FileTime* lastAccess,
                const FileTime* lastWrite) {
  static_cast<void>(lastAccess);
  if (Injected("SetFileTime")) {
    return 0;
  }
  fake::File& found = machine.files.at(machine.handles.at(file).path);
  if (created != nullptr) {
    found.created = fake::TicksOf(*created);
  }
  if (lastWrite != nullptr) {
    found.lastWrite = fake::TicksOf(*lastWrite);
  }
  return 1;
}

void GetSystemTimeAsFileTime(FileTime* now) {
  Injected("GetSystemTimeAsFileTime");
  *now = fake::TimeOf(++machine.clock);
}

// Matches names in the pattern's folder by the text before its first '*'
// and after its last: enough for the patterns the program uses.
FileHandle FindFirstFileA(const char* pattern, FoundFile* found) {
  static FileHandle next = 0x10000;
  if (Injected("FindFirstFileA")) {
    return kInvalidFile;
  }
  const std::string text = pattern;
  const std::string folder = fake::ParentOf(text);
  const std::string name = text.substr(folder.size() + 1);
  const std::string head = name.substr(0, name.find('*'));
  const std::string tail =
      name.find('*') == std::string::npos ? "" : name.substr(name.rfind('*') + 1);
  std::vector<FoundFile> matches;
  const auto match = [&](const std::string& path, std::uint32_t attributes, std::uint64_t created) {
    const std::string leaf = path.substr(std::min(path.size(), folder.size() + 1));
    if (fake::ParentOf(path) != folder || leaf.size() < head.size() + tail.size() ||
        leaf.compare(0, head.size(), head) != 0 ||
        leaf.compare(leaf.size() - tail.size(), tail.size(), tail) != 0) {
      return;
    }
    FoundFile entry{};
    entry.attributes = attributes;
    entry.created = fake::TimeOf(created);
    std::strncpy(entry.name, leaf.c_str(), sizeof entry.name - 1);
    matches.push_back(entry);
  };
  for (const auto& [path, file] : machine.files) {
    match(path, kAttributeNormal, file.created);
  }
  for (const std::string& path : machine.directories) {
    match(path, kAttributeDirectory, 0);
  }
  if (matches.empty()) {
    return fake::FailOpen(kErrorFileNotFound);
  }
  *found = matches.front();
  matches.erase(matches.begin());
  machine.searches[++next] = matches;
  return next;
}

int FindNextFileA(FileHandle search, FoundFile* found) {
  if (Injected("FindNextFileA")) {
    return 0;
  }
  std::vector<FoundFile>& left = machine.searches.at(search);
  if (left.empty()) {
    return Fail(kErrorNoMoreFiles);
  }
  *found = left.front();
  left.erase(left.begin());
  return 1;
}

int FindClose(FileHandle search) {
  Injected("FindClose");
  return machine.searches.erase(search) != 0 ? 1 : Fail(6);
}

std::uint32_t GetLastError() { return machine.lastError; }

std::uint32_t GetFileVersionInfoSizeA(const char* path, std::uint32_t* handle) {
  *handle = 0;
  if (Injected("GetFileVersionInfoSizeA")) {
    return 0;
  }
  const fake::VersionValues* version = fake::VersionOf(path);
  if (version == nullptr) {
    return Fail(kErrorFileNotFound);
  }
  return static_cast<std::uint32_t>(fake::Serialise(*version).size());
}

int GetFileVersionInfoA(const char* path, std::uint32_t handle, std::uint32_t size, void* block) {
  static_cast<void>(handle);
  if (Injected("GetFileVersionInfoA")) {
    return 0;
  }
  const fake::VersionValues* version = fake::VersionOf(path);
  if (version == nullptr) {
    return Fail(kErrorFileNotFound);
  }
  const std::string bytes = fake::Serialise(*version);
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
