// An in-memory Windows for the unit tests: files, folders, one registry
// value, version resources and the last error, with the error codes that
// Win32 gives. Any call can be made to fail on purpose (see Fault).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace fake {

// How another process holds a file open.
enum class Lock {
  kNone,
  kReadShared,  // readable, so it can be copied, but not deletable
  kExclusive,   // neither readable nor deletable
};

// A version resource as the lookup sees it: sub-block paths ("\",
// "\VarFileInfo\Translation", "\StringFileInfo\040904B0\CompanyName") and
// their raw bytes, laid out in the block in this order. Strings carry their
// NUL in the bytes.
using VersionValues = std::vector<std::pair<std::string, std::string>>;

struct File {
  std::string bytes;
  Lock lock = Lock::kNone;
  std::optional<VersionValues> version;

  bool operator==(const File& other) const {
    return bytes == other.bytes && version == other.version;
  }
};

// The Nth platform call (counting from 1) fails with `error`, or, when that
// is 0, with the `choice`th of the errors Windows gives for that call (see
// ErrorsFor); with `persistent`, every call after it fails too.
struct Fault {
  int call = 0;
  std::uint32_t error = 0;
  bool persistent = false;
  std::size_t choice = 0;
};

// The errors a real Windows gives for the platform call `name`.
const std::vector<std::uint32_t>& ErrorsFor(const std::string& name);

struct State {
  std::string commandLine;
  std::string systemDirectory = "C:\\windows\\syswow64";
  std::set<unsigned char> leadBytes;

  bool keyExists = false;
  std::optional<std::string> frameworkPath;  // raw bytes of the value

  std::map<std::string, File> files;
  std::set<std::string> directories;

  Fault fault;
  int calls = 0;
  std::vector<std::string> callNames;  // every platform call, in order
  std::uint32_t lastError = 0;
  int openKeys = 0;
  std::map<void*, std::size_t> blocks;  // live GlobalAlloc blocks
};

// The state of the fake; Reset() gives a machine with no files and no key.
State& Machine();
void Reset();

// A value's bytes as a NUL-terminated registry string.
std::string RegistryString(const std::string& text);

}  // namespace fake
