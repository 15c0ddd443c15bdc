// The host side of the Wine tests: a Wine prefix seen as folders on disk,
// and visaprep started inside it through the Windows-side driver.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace wine {

namespace fs = std::filesystem;

// FRAMEWORK_PATH as the driver stores it before a run.
struct Registry {
  std::string view = "own";          // the program's view, the "other", or "none" (no key)
  std::string type = "sz";           // sz, expand, dword or binary
  std::optional<std::string> bytes;  // none: the key without the value
};

// A registry string value with its NUL.
Registry StringValue(const std::string& text);

struct Outcome {
  int driverStatus = -1;
  // "exit=N output=N" from the driver; when the driver failed, its status
  // and what it and Wine wrote to standard error follow.
  std::string report;
};

struct Prefix {
  std::string flavour;  // win64 (WoW64), win32, or x64 (the 64-bit build)
  fs::path driveC;
  fs::path system32;                 // the 32-bit program's system directory
  std::optional<fs::path> system64;  // the 64-bit one, under WoW64
  std::string systemDirectory;       // system32 as visaprep sees it, e.g. C:\windows\syswow64
  std::string loader;                // the Wine loader that starts Windows programs
};

// The prefix named by WINEPREFIX in the flavour VISAPREP_FLAVOUR names, with
// visaprep.exe copied into C:\tools.
const Prefix& CurrentPrefix();

// How a run starts its program.
struct Launch {
  // A Windows path that another process keeps open meanwhile, or
  // "uninstalling": the mutex of an Inno Setup uninstaller still at work.
  std::string hold = "-";
  // A version.dll lies beside visaprep.exe for the run, and Wine prefers it
  // to its own, as Windows does for a DLL that it does not always take from
  // the system directory; loaded, it leaves C:\planted.txt.
  bool planted = false;
  std::string program = "C:\\tools\\visaprep.exe";
  // Asked every few milliseconds while the program runs: once it says yes,
  // every process of the prefix ends at once, and the prefix's server and
  // services start again for the next run.
  std::function<bool()> cutWhen;
};

// Runs the program with `commandLine` as its raw command line, once the
// driver has stored `registry`.
Outcome Run(const Registry& registry, const std::string& commandLine, const Launch& launch = {});

// Builds the example installer of `technology` (nsis, inno or msi) for the
// flavour's architecture into C:\tools\`name`, with the flavour's
// visaprep.exe and the installer's own files from `payload`, and with
// each define of `define` (comma-separated: FAIL_AFTER_FILES,
// PAUSE_AFTER_FILES, MODE64, VERSION=1.1); NSIS reads tests/wine/Checked.nsh
// first;
// with `standIn`, the test stand-in that can cut it off around a visaprep run
// takes visaprep.exe's place, and `visaprep`, if given, takes it in any
// case. Gives the tool's complaints, empty when it built the installer.
std::string BuildInstaller(const std::string& technology, const fs::path& payload,
                           const std::string& name, const std::string& define, bool standIn = false,
                           const fs::path& visaprep = {});

// Every file below `root`, by path relative to it ('/'-separated), with its
// bytes; and every folder.
using Files = std::map<std::string, std::string>;
Files FilesBelow(const fs::path& root, const std::string& pattern = "");
std::set<std::string> FoldersBelow(const fs::path& root);

void WriteFile(const fs::path& path, const std::string& bytes);
std::string ReadFile(const fs::path& path);

// A file of the source tree.
fs::path SourceFile(const std::string& name);

// The bytes of a test library built from tests/wine/libraries/libraries.txt.
std::string TestLibrary(const std::string& name);

// Every file below `root` whose relative path does not contain `except`.
std::set<std::string> FileNamesBelow(const fs::path& root, const std::string& except);

// What differs between two sets of names: "+name" for one only in `after`,
// "-name" for one only in `before`; empty when they are equal.
std::set<std::string> Changes(const std::set<std::string>& before,
                              const std::set<std::string>& after);

}  // namespace wine
