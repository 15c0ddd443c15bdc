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
  // Written since it was last flushed: a power cut leaves its length, not
  // its bytes.
  bool unflushed = false;
  std::uint64_t created = 0;
  std::uint64_t lastWrite = 0;
};

// How a run ends at the Nth call: the call fails, or the process is killed
// there, or the power is cut there.
enum class Cut { kNone, kKill, kPower };

// The Nth platform call (counting from 1) fails with `error`, or, when that
// is 0, with the `choice`th of the errors Windows gives for that call (see
// ErrorsFor); with `persistent`, every call after it fails too. With a
// `cut`, the Nth call is never made (a write is made in part, its first
// `writtenPart` halves of bytes) and the run stops: RunCommand throws
// Stopped, and with kPower every unflushed file holds zeros.
struct Fault {
  int call = 0;
  std::uint32_t error = 0;
  bool persistent = false;
  std::size_t choice = 0;
  Cut cut = Cut::kNone;
  int writtenPart = 0;
};

struct Stopped {};

// Ends the run as the fault plan's cut does, wherever the caller stands.
[[noreturn]] void CutOff();

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
  // Version resources by the bytes of the file that holds them, so that
  // they travel with every whole copy and are lost with a part of one.
  std::map<std::string, VersionValues> versions;
  struct Open {
    std::string path;
    std::size_t at = 0;
  };
  std::map<Platform::FileHandle, Open> handles;
  std::map<Platform::FileHandle, std::vector<Platform::FoundFile>> searches;
  // Renames made without write-through, as (old name, new name), that a
  // power cut undoes until a write-through rename puts them on the disk.
  std::vector<std::pair<std::string, std::string>> lazyRenames;
  std::uint64_t clock = 1000;  // GetSystemTimeAsFileTime, and every write

  Fault fault;
  int calls = 0;
  std::vector<std::string> callNames;  // every platform call, in order
  bool failedADeletion = false;        // the fault plan failed a DeleteFileA
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
