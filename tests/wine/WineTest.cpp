// visaprep.exe itself, under Wine: each row sets up a framework directory
// and the registry, starts the program with exact raw command lines, and
// checks what it left on disk, its exit status and that it printed nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/wine/WineHarness.h"

namespace {

using wine::Files;
using wine::Registry;

const std::string kConf = "fw/Tavrex/visaconf.ini";
const std::string kBak = "fw/Tavrex/visaini.bak";
const char kDone[] = "exit=0 output=0";
const std::set<std::string> kNoChanges;

struct Step {
  std::string commandLine;
  Files writes;  // written just before the run, relative to C:\vp
  std::string hold = "-";
};

struct ConfigCase {
  const char* name;
  Registry registry;
  Files start;  // relative to C:\vp
  std::vector<Step> steps;
  Files expected;
  std::vector<std::string> folders = {"fw/Tavrex"};
  bool wow64Only = false;  // 32-bit Windows has no second registry view
};

const Registry kFramework = wine::StringValue("C:\\vp\\fw\\");

// "C:\vp\fw\" padded with ".\" to `length` characters (odd), which
// Windows resolves to the same folder.
std::string PaddedFramework(std::size_t length) {
  std::string value = "C:\\vp\\fw\\";
  while (value.size() + 2 <= length) {
    value += ".\\";
  }
  return value;
}

const ConfigCase kConfigCases[] = {
    {"backup copies",
     kFramework,
     {{kConf, "new"}},
     {{"visaprep.exe BackUp"}},
     {{kConf, "new"}, {kBak, "new"}}},
    {"backing up twice keeps the newer copy",
     kFramework,
     {},
     {{"visaprep.exe BackUp", {{kConf, "first"}}}, {"visaprep.exe BackUp", {{kConf, "second"}}}},
     {{kConf, "second"}, {kBak, "second"}}},
    {"no configuration file drops a stale backup",
     kFramework,
     {{kBak, "stale"}},
     {{"visaprep.exe BackUp"}},
     {}},
    {"no Tavrex folder deletes nothing",
     kFramework,
     {{"fw/visaini.bak", "x"}},
     {{"visaprep.exe BackUp"}},
     {{"fw/visaini.bak", "x"}},
     {"fw"}},
    {"no key changes nothing",
     {"none"},
     {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}},
     {{kConf, "new"}, {kBak, "old"}}},
    {"no value changes nothing",
     {"own", "sz", std::nullopt},
     {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}},
     {{kConf, "new"}, {kBak, "old"}}},
    {"the 64-bit registry view alone is not seen",
     {"other", "sz", std::string("C:\\vp\\fw\\\0", 10)},
     {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}},
     {{kConf, "new"}, {kBak, "old"}},
     {"fw/Tavrex"},
     true},
    {"a value without a trailing backslash is joined as stored",
     wine::StringValue("C:\\vp\\fw"),
     {{"fwTavrex/visaconf.ini", "joined"}, {kConf, "inside"}},
     {{"visaprep.exe BackUp"}},
     {{"fwTavrex/visaconf.ini", "joined"}, {"fwTavrex/visaini.bak", "joined"}, {kConf, "inside"}},
     {"fw/Tavrex", "fwTavrex"}},
    {"restore round trip",
     kFramework,
     {{kConf, "before"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy", {{kConf, "installer's"}}}},
     {{kConf, "before"}}},
    {"restore with no backup changes nothing",
     kFramework,
     {{kConf, "current"}},
     {{"visaprep.exe Copy"}},
     {{kConf, "current"}}},
    {"restoring twice",
     kFramework,
     {{kConf, "current"}, {kBak, "saved"}},
     {{"visaprep.exe Copy"}, {"visaprep.exe Copy"}},
     {{kConf, "saved"}}},
    {"a restore over a held file keeps the backup",
     kFramework,
     {{kConf, "current"}, {kBak, "saved"}},
     {{"visaprep.exe Copy", {}, "C:\\vp\\fw\\Tavrex\\visaconf.ini"}},
     {{kConf, "current"}, {kBak, "saved"}}},
    {"a restore over a folder keeps the backup",
     kFramework,
     {{kBak, "saved"}},
     {{"visaprep.exe Copy"}},
     {{kBak, "saved"}},
     {"fw/Tavrex/visaconf.ini"}},
    // What a broken or hostile installation may hold in FRAMEWORK_PATH.
    {"a 235-character value still fits both paths",
     wine::StringValue(PaddedFramework(235)),
     {{kConf, "new"}},
     {{"visaprep.exe BackUp"}},
     {{kConf, "new"}, {kBak, "new"}}},
    {"a 237-character value makes the paths too long",
     wine::StringValue(PaddedFramework(237)),
     {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}},
     {{kConf, "new"}, {kBak, "old"}}},
    {"a 255-character value is read, but too long to join",
     wine::StringValue(PaddedFramework(255)),
     {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}},
     {{kConf, "new"}, {kBak, "old"}}},
    {"a 256-character value is not read",
     wine::StringValue(std::string(256, 'x')),
     {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}},
     {{kConf, "new"}, {kBak, "old"}}},
    {"a 300-character value is not read",
     wine::StringValue(std::string(300, 'x')),
     {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}},
     {{kConf, "new"}, {kBak, "old"}}},
    {"a REG_DWORD value names no usable folder",
     {"own", "dword", std::string("\1\0\0\0", 4)},
     {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}},
     {{kConf, "new"}, {kBak, "old"}}},
    {"a REG_BINARY value of 256 bytes without a NUL is not used",
     {"own", "binary", std::string(256, 'C')},
     {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}},
     {{kConf, "new"}, {kBak, "old"}}},
    {"a REG_BINARY path without a NUL is ended where it ends",
     {"own", "binary", "C:\\vp\\fw\\"},
     {{kConf, "new"}},
     {{"visaprep.exe BackUp"}},
     {{kConf, "new"}, {kBak, "new"}}},
    {"a REG_EXPAND_SZ value is used unexpanded",
     {"own", "expand", std::string("%SystemDrive%\\vp\\fw\\\0", 20)},
     {{kConf, "expanded"}, {"cwd/%SystemDrive%/vp/fw/Tavrex/visaconf.ini", "literal"}},
     {{"visaprep.exe BackUp"}},
     {{kConf, "expanded"},
      {"cwd/%SystemDrive%/vp/fw/Tavrex/visaconf.ini", "literal"},
      {"cwd/%SystemDrive%/vp/fw/Tavrex/visaini.bak", "literal"}},
     {"fw/Tavrex", "cwd/%SystemDrive%/vp/fw/Tavrex"}},
    {"an empty value works in the current directory",
     wine::StringValue(""),
     {{"cwd/Tavrex/visaconf.ini", "here"}},
     {{"visaprep.exe BackUp"}},
     {{"cwd/Tavrex/visaconf.ini", "here"}, {"cwd/Tavrex/visaini.bak", "here"}},
     {"cwd/Tavrex"}},
    {"a quoted program path with blanks",
     kFramework,
     {{kConf, "new"}},
     {{"\"C:\\Program Files\\Setup Tools\\visaprep.exe\" BackUp"}},
     {{kConf, "new"}, {kBak, "new"}}},
    {"blanks and a tab before the verb",
     kFramework,
     {{kConf, "new"}},
     {{"visaprep.exe  \t  BackUp"}},
     {{kConf, "new"}, {kBak, "new"}}},
    {"a program path with bytes above 0x7F",
     kFramework,
     {{kConf, "new"}},
     {{"C:\\Setup\\\xe9t\xe9\\visaprep.exe BackUp"}},
     {{kConf, "new"}, {kBak, "new"}}},
    {"verbs that are not verbs",
     kFramework,
     {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe backup"},
      {"visaprep.exe COPY"},
      {"visaprep.exe BackUp "},
      {" visaprep.exe BackUp"},
      {"visaprep.exe"},
      {"visaprep.exe Copy RemoveVisa32"}},
     {{kConf, "new"}, {kBak, "old"}}},
};

// A whole second, years ago, and one more for each step of `order`.
wine::fs::file_time_type OldDate(int order = 0) {
  using namespace std::chrono;
  const auto now =
      duration_cast<seconds>(wine::fs::file_time_type::clock::now().time_since_epoch());
  return wine::fs::file_time_type(duration_cast<wine::fs::file_time_type::duration>(
      now - seconds(6 * 365 * 86400) + seconds(order * 3600)));
}

// The last-write time of each file below `root` that holds one of `dated`'s
// bytes, and the time that those bytes should have carried with them.
std::set<std::string> WrongDates(const wine::fs::path& root,
                                 const std::map<std::string, wine::fs::file_time_type>& dated,
                                 const std::string& pattern = "") {
  std::set<std::string> wrong;
  for (const auto& [name, bytes] : wine::FilesBelow(root, pattern)) {
    const auto date = dated.find(bytes);
    if (date != dated.end() && wine::fs::last_write_time(root / name) != date->second) {
      wrong.insert(name);
    }
  }
  return wrong;
}

// Writes `files`, each dated years ago; gives each one's bytes with its date.
std::map<std::string, wine::fs::file_time_type> WriteDated(const wine::fs::path& root,
                                                           const Files& files) {
  std::map<std::string, wine::fs::file_time_type> dated;
  for (const auto& [name, bytes] : files) {
    wine::WriteFile(root / name, bytes);
    wine::fs::last_write_time(root / name, OldDate());
    dated[bytes] = OldDate();
  }
  return dated;
}

std::map<std::string, wine::fs::file_time_type> Prepare(const wine::fs::path& root,
                                                        const Files& files,
                                                        const std::vector<std::string>& folders) {
  wine::fs::remove_all(root);
  wine::fs::create_directories(root / "cwd");
  for (const std::string& folder : folders) {
    wine::fs::create_directories(root / folder);
  }
  return WriteDated(root, files);
}

TEST(Wine, BacksUpAndRestoresTheConfiguration) {
  const wine::fs::path root = wine::CurrentPrefix().driveC / "vp";
  for (const ConfigCase& row : kConfigCases) {
    if (row.wow64Only && !wine::CurrentPrefix().system64) {
      continue;
    }
    const auto dated = Prepare(root, row.start, row.folders);
    const auto folders = wine::FoldersBelow(root);
    const auto others = wine::FileNamesBelow(wine::CurrentPrefix().driveC, "vp/");
    for (const Step& step : row.steps) {
      for (const auto& [name, bytes] : step.writes) {
        wine::WriteFile(root / name, bytes);
      }
      EXPECT_EQ(wine::Run(row.registry, step.commandLine, {step.hold}).report, kDone)
          << row.name << ": " << step.commandLine;
    }
    EXPECT_EQ(wine::FilesBelow(root), row.expected) << row.name;
    EXPECT_EQ(WrongDates(root, dated), kNoChanges)
        << row.name << ": copies not dated as their source";
    EXPECT_EQ(wine::FoldersBelow(root), folders) << row.name << ": folders changed";
    EXPECT_EQ(wine::Changes(others, wine::FileNamesBelow(wine::CurrentPrefix().driveC, "vp/")),
              kNoChanges)
        << row.name << ": files outside the framework directory changed";
  }
}

struct LibraryCase {
  const char* name;
  std::string library;  // the test library installed as visa32.dll; empty: none
  Files expected;       // visa32* files of the system directory, by name: test library
  Files earlier = {};   // visa32* files there before, by name: test library
  bool hold = false;    // another process holds visa32.dll open, readable
  std::string commandLine = "visaprep.exe RemoveVisa32";
  bool planted = false;                // a version.dll lies beside visaprep.exe
  std::string folder = "";             // a folder of this name in the system directory
  std::vector<std::string> made = {};  // `earlier` names, set aside in this order
};

// The trailing fields that only a few rows set, so that those rows stay short.
LibraryCase WithFolder(LibraryCase row, const std::string& folder) {
  row.folder = folder;
  return row;
}

// A row of "RestoreVisa32", its copies set aside in the order of `made`.
LibraryCase PutBack(LibraryCase row, std::vector<std::string> made = {}) {
  row.commandLine = "visaprep.exe RestoreVisa32";
  row.made = std::move(made);
  return row;
}

const LibraryCase kLibraryCases[] = {
    {"a foreign library is set aside", "acme", {{"visa32.Acme Corp.dll", "acme"}}},
    {"the kept company stays", "quarvello", {{"visa32.dll", "quarvello"}}},
    {"the kept company's name in lower case is foreign",
     "quarvello-lower",
     {{"visa32.quarvello.dll", "quarvello-lower"}}},
    {"strings only under language 0000",
     "neutral",
     {{"visa32.Neutral Instruments.dll", "neutral"}}},
    {"strings only under 0407 leave it", "german", {{"visa32.dll", "german"}}},
    {"the first translation's code page is used",
     "first-entry",
     {{"visa32.First Entry.dll", "first-entry"}}},
    {"strings only under the second translation leave it",
     "second-entry",
     {{"visa32.dll", "second-entry"}}},
    {"no CompanyName leaves it", "no-company", {{"visa32.dll", "no-company"}}},
    {"no version information leaves it", "plain", {{"visa32.dll", "plain"}}},
    {"no library: nothing", "", {}},
    {"a second library of the same company: both kept",
     "acme2",
     {{"visa32.Acme Corp.dll", "acme"}, {"visa32.Acme Corp.2.dll", "acme2"}},
     {{"visa32.Acme Corp.dll", "acme"}}},
    {"the same library set aside before is its copy",
     "acme",
     {{"visa32.Acme Corp.dll", "acme"}},
     {{"visa32.Acme Corp.dll", "acme"}}},
    WithFolder({"a folder at the set-aside name is passed over",
                "acme",
                {{"visa32.Acme Corp.2.dll", "acme"}}},
               "visa32.Acme Corp.dll"),
    PutBack({"put back into an empty place",
             "",
             {{"visa32.dll", "acme"}},
             {{"visa32.Acme Corp.dll", "acme"}}}),
    PutBack({"a library in place is never replaced",
             "quarvello",
             {{"visa32.dll", "quarvello"}, {"visa32.Acme Corp.dll", "acme"}},
             {{"visa32.Acme Corp.dll", "acme"}}}),
    PutBack({"a name and a company that disagree: left alone",
             "",
             {{"visa32.Neutral Instruments.dll", "acme"}, {"visa32.Quarvello.dll", "quarvello"}},
             {{"visa32.Neutral Instruments.dll", "acme"}, {"visa32.Quarvello.dll", "quarvello"}}}),
    PutBack({"two companies set aside at different times: the later goes back",
             "",
             {{"visa32.dll", "acme"}, {"visa32.Neutral Instruments.dll", "neutral"}},
             {{"visa32.Acme Corp.dll", "acme"}, {"visa32.Neutral Instruments.dll", "neutral"}}},
            {"visa32.Neutral Instruments.dll", "visa32.Acme Corp.dll"}),
    WithFolder(PutBack({"a folder of that name is left alone", ""}), "visa32.Acme Corp.dll"),
    {"a held library stays, and so does its copy",
     "acme",
     {{"visa32.dll", "acme"}, {"visa32.Acme Corp.dll", "acme"}},
     {},
     true},
    {"a company name with a backslash leaves it", "backslash", {{"visa32.dll", "backslash"}}},
    {"a company name climbing out leaves it", "dotdot", {{"visa32.dll", "dotdot"}}},
    {"an empty company name gives two dots", "empty", {{"visa32..dll", "empty"}}},
    {"letters above 0x7F go in under their ANSI name",
     "accented",
     {{"visa32.Soci\xc3\xa9t\xc3\xa9 G\xc3\xa9n\xc3\xa9rale.dll", "accented"}}},
    {"the longest set-aside path that fits",
     "long224",
     {{"visa32." + std::string(224, 'n') + ".dll", "long224"}}},
    {"a set-aside path just too long leaves it", "long225", {{"visa32.dll", "long225"}}},
    {"a company name of 300 characters leaves it", "long300", {{"visa32.dll", "long300"}}},
    {"the library verb alone, then a word too many",
     "acme",
     {{"visa32.dll", "acme"}},
     {},
     false,
     "visaprep.exe RemoveVisa32 "},
    // The planted DLL would leave C:\planted.txt, a file outside the names.
    {"a version.dll beside the program is not loaded",
     "acme",
     {{"visa32.Acme Corp.dll", "acme"}},
     {},
     false,
     "visaprep.exe RemoveVisa32",
     true},
    {"a version.dll beside the program is not loaded by the combined verb",
     "acme",
     {{"visa32.Acme Corp.dll", "acme"}},
     {},
     false,
     "visaprep.exe BackUp RemoveVisa32",
     true},
};

// Files by name, with the bytes of the test libraries they name.
Files WithLibraryBytes(const Files& byLibrary) {
  Files files;
  for (const auto& [name, library] : byLibrary) {
    files[name] = wine::TestLibrary(library);
  }
  return files;
}

// Files by name, with the name of the test library each holds: what a
// failure prints instead of a library's bytes.
std::map<std::string, std::string> Named(const Files& files) {
  static const Files known = WithLibraryBytes({{"acme", "acme"},
                                               {"acme2", "acme2"},
                                               {"quarvello", "quarvello"},
                                               {"neutral", "neutral"},
                                               {"no-company", "no-company"},
                                               {"slash", "slash"}});
  std::map<std::string, std::string> named;
  for (const auto& [name, bytes] : files) {
    named[name] = std::to_string(bytes.size()) + " bytes";
    for (const auto& [library, libraryBytes] : known) {
      if (bytes == libraryBytes) {
        named[name] = library;
      }
    }
  }
  return named;
}

void ClearLibraries(const wine::fs::path& directory) {
  for (const auto& [name, bytes] : wine::FilesBelow(directory, "visa32")) {
    wine::fs::remove(directory / name);
  }
}

TEST(Wine, SetsAsideOnlyAForeignLibrary) {
  const wine::Prefix& prefix = wine::CurrentPrefix();
  // A library in the 64-bit system directory is not the 32-bit program's.
  const std::string untouched = wine::TestLibrary("acme");
  for (const LibraryCase& row : kLibraryCases) {
    ClearLibraries(prefix.system32);
    if (prefix.system64) {
      ClearLibraries(*prefix.system64);
      wine::WriteFile(*prefix.system64 / "visa32.dll", untouched);
    }
    Files start = WithLibraryBytes(row.earlier);
    if (!row.library.empty()) {
      start["visa32.dll"] = wine::TestLibrary(row.library);
    }
    auto dated = WriteDated(prefix.system32, start);
    // The platform's creation time tells the order; Wine's is the last-write time.
    for (std::size_t order = 0; order < row.made.size(); ++order) {
      wine::fs::last_write_time(prefix.system32 / row.made[order],
                                OldDate(static_cast<int>(order)));
      dated[start[row.made[order]]] = OldDate(static_cast<int>(order));
    }
    if (!row.folder.empty()) {
      wine::fs::create_directories(prefix.system32 / row.folder);
    }
    const auto others = wine::FileNamesBelow(prefix.driveC, "visa32");

    const std::string hold = row.hold ? prefix.systemDirectory + "\\visa32.dll" : std::string("-");
    EXPECT_EQ(wine::Run({"none"}, row.commandLine, {hold, row.planted}).report, kDone) << row.name;

    EXPECT_EQ(wine::FilesBelow(prefix.system32, "visa32"), WithLibraryBytes(row.expected))
        << row.name;
    EXPECT_EQ(WrongDates(prefix.system32, dated, "visa32"), kNoChanges)
        << row.name << ": copies not dated as their library";
    if (!row.folder.empty()) {
      EXPECT_TRUE(wine::fs::is_directory(prefix.system32 / row.folder)) << row.name;
      wine::fs::remove(prefix.system32 / row.folder);
    }
    EXPECT_EQ(wine::Changes(others, wine::FileNamesBelow(prefix.driveC, "visa32")), kNoChanges)
        << row.name << ": files outside the library's names changed";
    if (prefix.system64) {
      EXPECT_EQ(wine::FilesBelow(*prefix.system64, "visa32"), (Files{{"visa32.dll", untouched}}))
          << row.name << ": the 64-bit system directory was touched";
    }
  }
  ClearLibraries(prefix.system32);
}

// Both phases of the combined verb, the library phase even when the backup
// found no configuration file.
TEST(Wine, RunsBothPhasesOfTheCombinedVerb) {
  const wine::Prefix& prefix = wine::CurrentPrefix();
  const wine::fs::path root = prefix.driveC / "vp";
  const struct {
    Files start;
    Files expected;
  } rows[] = {{{{kConf, "conf"}}, {{kConf, "conf"}, {kBak, "conf"}}}, {{{kBak, "stale"}}, {}}};
  for (const auto& row : rows) {
    Prepare(root, row.start, {"fw/Tavrex"});
    ClearLibraries(prefix.system32);
    wine::WriteFile(prefix.system32 / "visa32.dll", wine::TestLibrary("acme"));
    EXPECT_EQ(wine::Run(kFramework, "visaprep.exe BackUp RemoveVisa32").report, kDone);
    EXPECT_EQ(wine::FilesBelow(root), row.expected);
    EXPECT_EQ(wine::FilesBelow(prefix.system32, "visa32"),
              WithLibraryBytes({{"visa32.Acme Corp.dll", "acme"}}));
  }
  ClearLibraries(prefix.system32);
}

// A kill while a large foreign library is being set aside, then the same
// verb again: the library stands whole, once, under one of its two names.
TEST(Wine, AKillWhileSettingALibraryAsideLosesNothing) {
  const wine::Prefix& prefix = wine::CurrentPrefix();
  ClearLibraries(prefix.system32);
  // Large enough that the copy is still going when the kill lands; made
  // here, never kept.
  const std::string large = wine::TestLibrary("acme") + std::string(std::size_t{256} << 20, 'x');
  wine::WriteFile(prefix.system32 / "visa32.dll", large);
  const wine::fs::path temporary = prefix.system32 / "visaprep.tmp";
  wine::Launch launch;
  launch.cutWhen = [&] { return wine::fs::exists(temporary); };
  EXPECT_EQ(wine::Run({"none"}, "visaprep.exe RemoveVisa32", launch).report, "cut");
  EXPECT_TRUE(wine::fs::exists(temporary)) << "the kill came after the copy was done";
  EXPECT_TRUE(wine::ReadFile(prefix.system32 / "visa32.dll") == large);

  EXPECT_EQ(wine::Run({"none"}, "visaprep.exe RemoveVisa32").report, kDone);
  const Files left = wine::FilesBelow(prefix.system32, "visa");
  std::set<std::string> names;
  for (const auto& [name, bytes] : left) {
    names.insert(name + (bytes == large ? "" : " (not whole)"));
  }
  EXPECT_EQ(names, (std::set<std::string>{"visa32.Acme Corp.dll"}));
  ClearLibraries(prefix.system32);
}

// The example installers that the guide gives installer authors, each
// built for the flavour by its engine and run silently over a site with its
// own configuration and a foreign library (or only an old set-aside copy),
// in every scenario: after each run that was not cut off the site's
// configuration is back with no backup of this run left and nothing else
// changed; after each successful one the foreign library is set aside and
// the installer's is in place; after an uninstall, or a failure that the
// engine rolls back, the libraries are as they were.
struct InstallerCase {
  const char* technology;  // as BuildInstaller names it
  const char* example;     // the file the guide quotes whole
  const char* fence;       // how the guide opens that quote
  std::string file;        // the installer, in C:\tools
  std::string program;     // what starts it
  std::string commandLine;
  std::string failed;     // its report when it failed
  std::string uninstall;  // the command line of its uninstaller, %s for Program Files
  // The program that uninstalls, %s for Program Files; "@key", the one
  // registered under that key, as Windows' list of programs runs it.
  std::string uninstaller;
  std::string cache;  // where the technology keeps what it installed, below C:
  bool x64 = true;    // runs in the flavour of the 64-bit build
  // Lays its default configuration over the site's, which visaprep backs up
  // and then puts back, with a mark for a run cut off; a package that keeps
  // a file already there leaves the configuration alone.
  bool overwritesConfiguration = true;
  bool rollsBack = false;         // takes its files away again when it fails
  const char* mode = "";          // a define that the example knows, such as MODE64
  const char* stopped = nullptr;  // its report when it stopped before its files, if not `failed`
  // A run that leaves the engine's log in C:\tools\install.log (NSIS: its
  // details list, through tests/wine/Checked.nsh), and what that log says
  // of the library set aside.
  std::string logged;
  const char* setAside = "";
  // When given, only the scenarios of these names run.
  std::vector<std::string> rows = {};
};

const InstallerCase kInstallers[] = {
    {"nsis", "examples/installer.nsi", "```nsis\n", "visa-library.exe",
     "C:\\tools\\visa-library.exe", "visa-library.exe /S", "exit=2 output=0",
     "uninstall.exe /S _?=%s\\VISA library", "%s\\VISA library\\uninstall.exe", "Program Files",
     true, true, false, "", nullptr, "visa-library.exe",
     "aside; set-aside copies: visa32.Acme Corp.dll"},
    // An amd64 installer around the shipped 32-bit visaprep, where Windows
    // is 64-bit: its $SYSDIR, registry view and Program Files are 64-bit.
    {"nsis",
     "examples/installer.nsi",
     "```nsis\n",
     "visa-library.exe",
     "C:\\tools\\visa-library.exe",
     "visa-library.exe /S",
     "exit=2 output=0",
     "uninstall.exe /S _?=%s\\VISA library",
     "%s\\VISA library\\uninstall.exe",
     "Program Files",
     false,
     true,
     false,
     "AMD64",
     nullptr,
     "",
     "",
     {"clean", "install, uninstall", "failed, then run again"}},
    // Setup and its compiler are 32-bit programs.
    {"inno", "examples/installer.iss", "```iss\n", "visa-library-inno.exe",
     "C:\\tools\\visa-library-inno.exe",
     "visa-library-inno.exe /VERYSILENT /SUPPRESSMSGBOXES /NORESTART", "exit=5 output=0",
     "unins000.exe /VERYSILENT /SUPPRESSMSGBOXES /NORESTART",
     "@{4B7E0D2A-91C3-4E56-A8F1-2D6C9B3E5A70}_is1", "Program Files", false, true, true, "",
     "exit=7 output=0",
     "visa-library-inno.exe /VERYSILENT /SUPPRESSMSGBOXES /NORESTART /LOG=C:\\tools\\install.log",
     "aside; set-aside copies: visa32.Acme Corp.dll"},
    // Setup in 64-bit mode, where Windows is 64-bit: its Program Files is the
    // 64-bit one.
    {"inno", "examples/installer.iss", "```iss\n", "visa-library-inno.exe",
     "C:\\tools\\visa-library-inno.exe",
     "visa-library-inno.exe /VERYSILENT /SUPPRESSMSGBOXES /NORESTART", "exit=5 output=0",
     "unins000.exe /VERYSILENT /SUPPRESSMSGBOXES /NORESTART",
     "@{4B7E0D2A-91C3-4E56-A8F1-2D6C9B3E5A70}_is1", "Program Files", false, true, true, "MODE64",
     "exit=7 output=0",
     "visa-library-inno.exe /VERYSILENT /SUPPRESSMSGBOXES /NORESTART /LOG=C:\\tools\\install.log",
     "aside; set-aside copies: visa32.Acme Corp.dll"},
    // Windows gives 1603 for a failed installation, Wine 1627.
    {"msi", "examples/installer.wxs", "```xml\n", "visa-library.msi",
     "C:\\windows\\system32\\msiexec.exe", "msiexec /i C:\\tools\\visa-library.msi /qn",
     "exit=1627 output=0", "msiexec /x C:\\tools\\visa-library.msi /qn",
     "C:\\windows\\system32\\msiexec.exe", "windows/Installer/", true, false, true, "", nullptr,
     "msiexec /i C:\\tools\\visa-library.msi /qn /l*v C:\\tools\\install.log", "VisaPrepBefore"},
    // An x64 package around the shipped 32-bit visaprep.
    {"msi",
     "examples/installer.wxs",
     "```xml\n",
     "visa-library.msi",
     "C:\\windows\\system32\\msiexec.exe",
     "msiexec /i C:\\tools\\visa-library.msi /qn",
     "exit=1627 output=0",
     "msiexec /x C:\\tools\\visa-library.msi /qn",
     "C:\\windows\\system32\\msiexec.exe",
     "windows/Installer/",
     false,
     false,
     true,
     "X64",
     nullptr,
     "",
     "",
     {"clean", "install, uninstall", "failed, then run again"}},
};

// How a run of a scenario ends: through, failing once the installer's files
// are in, cut off there by killing every process of the prefix, or cut off
// right before or after one of its visaprep runs; or failing before the
// library's file; or it is the uninstaller, which may fail after it has put
// the library back; or it is a later version of the example, through or
// failing once its files are in; or a repair of the installation.
enum class Ending {
  kThrough,
  kFails,
  kCut,
  kCutAround,
  kUninstall,
  kFailsBefore,
  kUninstallFails,
  kUpgrade,
  kUpgradeFails,
  kRepair
};

struct ScenarioRun {
  Ending ending;
  // kCutAround or kUninstall: which of its visaprep runs it is cut off
  // around, if any
  int visaprepRun = 0;
  bool after = false;  // cut right after that run, not before
  // Another process keeps the configuration open meanwhile: a recovery
  // cannot put it back, and must stop the installation.
  bool holdConfiguration = false;
  // Another process keeps the installer's visa32.dll open: the uninstaller
  // cannot delete it, so the set-aside library stays set aside, and a later
  // uninstall must still put it back.
  bool holdLibrary = false;
  bool uninstalling = false;  // an uninstaller of the include still at work
  // Built with a visaprep.exe that cannot start; an uninstall: the one the
  // installation left for its uninstaller cannot.
  bool broken = false;
  // Before it, another company's installer lays its own visa32.dll.
  bool othersLibrary = false;
  // Another process keeps the foreign library open only while visaprep
  // sets it aside: it is copied, not deleted, and the engine's file then
  // goes over it.
  bool holdWhileSettingAside = false;
  std::string defines;  // the example's own for this run
};

ScenarioRun OthersLibraryFirst(Ending ending) {
  ScenarioRun run = {ending};
  run.othersLibrary = true;
  return run;
}

ScenarioRun HeldWhileSettingAside() {
  ScenarioRun run = {Ending::kThrough};
  run.holdWhileSettingAside = true;
  return run;
}

// The set-aside copies of `base` and its visa32.dll, set aside under its
// company's name, beside the installer's library.
Files Installed(Files base) {
  const auto library = base.find("visa32.dll");
  if (library != base.end()) {
    const bool acme = library->second == wine::TestLibrary("acme");
    base[acme ? "visa32.Acme Corp.dll" : "visa32.Neutral Instruments.dll"] = library->second;
  }
  base["visa32.dll"] = wine::TestLibrary("quarvello");
  return base;
}

struct Scenario {
  std::string name;
  std::vector<ScenarioRun> runs;
  bool strangersBackup = false;  // an older visaini.bak, no installer's
  bool oldCopyOnly = false;      // no visa32.dll, an old set-aside copy beside it
  bool holdBackup = false;       // "BackUp" cannot replace the stranger's backup
  bool marks = false;            // only for engines that keep a mark
  std::string only;              // the one technology it is for, if not every
  bool noConfiguration = false;  // a site without visaconf.ini
  bool noFramework = false;      // no FRAMEWORK_PATH
  bool logged = false;           // its first run keeps the engine's log
  // The example's own defines for every run: AUTHORS_KEY, a key of its own
  // under Software\<its name> that it deletes on failure and at uninstall;
  // NAME_WITH_VERSION, a name that changes from version to version.
  std::string defines;
  std::string library = "acme";  // the test library of the company already in the place
  bool firstStops = false;       // its first run stops before anything
};

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> scenarios = {
      {"clean", {{Ending::kThrough}}, false, false, false, false, "", false, false, true},
      {"install, uninstall", {{Ending::kThrough}, {Ending::kUninstall}}},
      {"install, uninstall, uninstall again",
       {{Ending::kThrough}, {Ending::kUninstall}, {Ending::kUninstall}},
       false,
       false,
       false,
       false,
       "nsis,msi"},
      {"install, then a later version over it, uninstall",
       {{Ending::kThrough}, {Ending::kUpgrade}, {Ending::kUninstall}}},
      {"install, a later version that fails, then again, uninstall",
       {{Ending::kThrough}, {Ending::kUpgradeFails}, {Ending::kUpgrade}, {Ending::kUninstall}}},
      {"no FRAMEWORK_PATH: install, uninstall",
       {{Ending::kThrough}, {Ending::kUninstall}},
       false,
       false,
       false,
       false,
       "",
       false,
       true},
      {"an old set-aside copy only: install, uninstall",
       {{Ending::kThrough}, {Ending::kUninstall}},
       false,
       true},
      {"an old set-aside copy only: install, a later version, uninstall",
       {{Ending::kThrough}, {Ending::kUpgrade}, {Ending::kUninstall}},
       false,
       true},
      {"another company's library over the installation, then uninstall",
       {{Ending::kThrough}, OthersLibraryFirst(Ending::kUninstall)}},
      {"another company's library over the installation, then a later version, uninstall",
       {{Ending::kThrough}, OthersLibraryFirst(Ending::kUpgrade), {Ending::kUninstall}}},
      // Windows Installer lays the library again in a repair.
      {"another company's library over the installation, then a repair, uninstall",
       {{Ending::kThrough}, OthersLibraryFirst(Ending::kRepair), {Ending::kUninstall}},
       false,
       false,
       false,
       false,
       "msi"},
      {"the foreign library held while set aside: install, uninstall",
       {HeldWhileSettingAside(), {Ending::kUninstall}}},
      // Wine's msiexec, having rolled an uninstall back, lays the package's
      // files down again in the next uninstall (measured), and keeps the
      // product for good: the scenarios above must come first.
      {"an uninstall that fails after its put-back, then run again",
       {{Ending::kThrough}, {Ending::kUninstallFails}, {Ending::kUninstall}},
       false,
       false,
       false,
       false,
       "msi"},
      {"a stranger's backup that BackUp cannot replace", {{Ending::kThrough}}, true, false, true},
      // After the uninstalls: a product that Wine's msiexec rolled back, or
      // did not roll back after a kill, stays registered as a client of the
      // library's component, and keeps it from a later uninstall.
      {"failed, then run again", {{Ending::kFails}, {Ending::kThrough}}},
      {"an old set-aside copy only: failed", {{Ending::kFails}}, false, true},
      {"cut off, then run again", {{Ending::kCut}, {Ending::kThrough}}},
      {"a recovery that cannot put the configuration back stops",
       {{Ending::kCut}, {Ending::kThrough, 0, false, true}, {Ending::kThrough}},
       false,
       false,
       false,
       true},
  };
  // Each visaprep run of an installation, cut off on either side of it
  // with a stranger's backup there, then the installation again.
  for (int run = 1; run <= 3; ++run) {
    for (const bool after : {false, true}) {
      scenarios.push_back({std::string("cut ") + (after ? "after" : "before") + " visaprep run " +
                               std::to_string(run) + ", then run again",
                           {{Ending::kCutAround, run, after}, {Ending::kThrough}},
                           true,
                           false,
                           false,
                           true});
    }
  }
  scenarios.push_back({"an uninstall that cannot delete the library, then install, uninstall",
                       {{Ending::kThrough},
                        {Ending::kUninstall, 0, false, false, true},
                        {Ending::kThrough},
                        {Ending::kUninstall}}});
  scenarios.back().only = "nsis,inno";
  scenarios.push_back({"an uninstall whose visaprep.exe cannot start, then install, uninstall",
                       {{Ending::kThrough},
                        {Ending::kUninstall, 0, false, false, false, false, true},
                        {Ending::kThrough},
                        {Ending::kUninstall}}});
  scenarios.back().only = "inno";
  scenarios.push_back({"an uninstaller still at work stops the installation",
                       {{Ending::kThrough, 0, false, false, false, true}}});
  scenarios.back().only = "nsis,inno";
  scenarios.push_back({"its own key deleted on failure and at uninstall: failed, again, uninstall",
                       {{Ending::kFails}, {Ending::kThrough}, {Ending::kUninstall}}});
  scenarios.back().only = "nsis,inno";
  scenarios.back().defines = "AUTHORS_KEY";
  // 1.4.0 kept the mark and the records under the installer's name.
  scenarios.push_back({"records where 1.4.0 kept them: cut off, then a later version, uninstall",
                       {{Ending::kCut}, {Ending::kUpgrade}, {Ending::kUninstall}}});
  scenarios.back().marks = true;
  scenarios.back().runs.front().defines = "VISAPREP_MARK_KEY=Software\\VISA library";
  scenarios.push_back({"a name with its version: cut off, then a later version",
                       {{Ending::kCut}, {Ending::kUpgrade}}});
  scenarios.back().marks = true;
  scenarios.back().defines = "NAME_WITH_VERSION";
  scenarios.push_back({"a visaprep.exe that cannot start stops the installation",
                       {{Ending::kThrough, 0, false, false, false, false, true}}});
  scenarios.back().noConfiguration = true;
  scenarios.push_back({"failed before the library's file", {{Ending::kFailsBefore}}});
  scenarios.back().only = "nsis";
  // Libraries that visaprep cannot set aside under their company's name;
  // Windows Installer cannot see that it kept them.
  for (const char* library : {"no-company", "slash"}) {
    scenarios.push_back({std::string("a library it cannot set aside (") + library + ") stops it",
                         {{Ending::kThrough}}});
    scenarios.back().only = "nsis,inno";
    scenarios.back().library = library;
    scenarios.back().firstStops = true;
  }
  // On Windows, costing lays nothing over a library of an equal or higher
  // version; the example's stand-in deletes the library laid.
  scenarios.push_back(
      {"no library laid: fails, then the foreign library back", {{Ending::kThrough}}});
  scenarios.back().only = "msi";
  scenarios.back().defines = "NOT_LAID";
  scenarios.push_back({"a silent install and its uninstall keep their own log",
                       {{Ending::kThrough}, {Ending::kUninstall}}});
  scenarios.back().only = "nsis";
  scenarios.back().defines = "VISAPREP_LOG=C:\\tools\\visaprep.log";
  scenarios.push_back({"an author's pre-flight check stops it", {{Ending::kThrough}}});
  scenarios.back().only = "inno";
  scenarios.back().defines = "PREFLIGHT_STOPS";
  scenarios.back().firstStops = true;
  for (const char* defines : {"INSTALL_TYPES", "REG_VIEW_64"}) {
    scenarios.push_back({std::string(defines) + ": install, uninstall",
                         {{Ending::kThrough}, {Ending::kUninstall}}});
    scenarios.back().only = "nsis";
    scenarios.back().defines = defines;
  }
  // The uninstall cut off on either side of its put-back, then run again.
  // Inno Setup's uninstaller has removed itself by then (measured): the
  // next installation and its uninstall take over.
  for (const bool after : {false, true}) {
    const std::string cut =
        std::string("uninstall cut ") + (after ? "after" : "before") + " its put-back, then ";
    scenarios.push_back(
        {cut + "run again",
         {{Ending::kThrough}, {Ending::kUninstall, 1, after}, {Ending::kUninstall}}});
    scenarios.back().only = "nsis";
    scenarios.push_back({cut + "install, uninstall",
                         {{Ending::kThrough},
                          {Ending::kUninstall, 1, after},
                          {Ending::kThrough},
                          {Ending::kUninstall}}});
    scenarios.back().only = "inno";
  }

  // The stranger's backup comes last: a mark that an earlier scenario left
  // behind would put it back.
  scenarios.push_back({"a stranger's backup", {{Ending::kThrough}}, true});
  return scenarios;
}

void PrintTo(const InstallerCase& installer, std::ostream* out) { *out << installer.technology; }

class Installer : public testing::TestWithParam<InstallerCase> {};

// `text` with its "%s" replaced by `value`.
std::string Fill(std::string text, const std::string& value) {
  const std::size_t at = text.find("%s");
  return at == std::string::npos ? text : text.replace(at, 2, value);
}

TEST_P(Installer, KeepsTheSiteAcrossFailuresAndRetries) {
  const InstallerCase& installer = GetParam();
  EXPECT_NE(
      wine::ReadFile(wine::SourceFile("docs/installers.md"))
          .find(installer.fence + wine::ReadFile(wine::SourceFile(installer.example)) + "```"),
      std::string::npos)
      << "the installers' guide does not quote " << installer.example << " whole";
  const wine::Prefix& prefix = wine::CurrentPrefix();
  const bool amd64 = std::string(installer.mode) == "AMD64" || std::string(installer.mode) == "X64";
  if ((!installer.x64 && prefix.flavour == "x64") || (amd64 && prefix.flavour != "win64")) {
    GTEST_SKIP() << installer.technology << installer.mode << " installers need 32-bit "
                 << "programs beside 64-bit ones, and this flavour has not both";
  }
  // Where a 32-bit installer's Program Files folder is.
  const std::string programFiles =
      prefix.flavour == "win64" && !amd64 ? "C:\\Program Files (x86)" : "C:\\Program Files";

  const wine::fs::path payload = prefix.driveC.parent_path() / "payload";
  wine::WriteFile(payload / "visa32.dll", wine::TestLibrary("quarvello"));
  wine::WriteFile(payload / "visaconf.ini", "the installer's default");
  const wine::fs::path root = prefix.driveC / "vp";
  const wine::fs::path tools = prefix.driveC / "tools";
  // Every name below C: but the libraries', the site's and the technology's
  // own.
  const auto others = [&] {
    auto names = wine::FileNamesBelow(prefix.driveC, "visa32");
    for (auto name = names.begin(); name != names.end();) {
      const bool mine = name->rfind("vp/", 0) == 0 || name->rfind(installer.cache, 0) == 0;
      name = mine ? names.erase(name) : std::next(name);
    }
    return names;
  };
  // VISAPREP_SCENARIOS, when set, runs only the scenarios whose names hold it.
  const char* const chosen = std::getenv("VISAPREP_SCENARIOS");
  for (const Scenario& scenario : Scenarios()) {
    if ((chosen != nullptr && scenario.name.find(chosen) == std::string::npos) ||
        (scenario.marks && !installer.overwritesConfiguration) ||
        (!scenario.only.empty() && scenario.only.find(installer.technology) == std::string::npos) ||
        (!installer.rows.empty() && std::find(installer.rows.begin(), installer.rows.end(),
                                              scenario.name) == installer.rows.end())) {
      continue;
    }
    Files site = {{kConf, "the site's"}};
    if (scenario.noConfiguration) {
      site.clear();
    }
    if (scenario.noFramework) {
      // Where the includes once looked without it: the current folder.
      site["cwd/Tavrex/visaconf.ini"] = "the current folder's";
    }
    Prepare(root, site, {"fw/Tavrex"});
    if (scenario.strangersBackup) {
      wine::WriteFile(root / kBak, "a stranger's, older");
      // Only a package that leaves the configuration alone leaves it too.
      if (scenario.holdBackup || !installer.overwritesConfiguration) {
        site[kBak] = "a stranger's, older";
      }
    }
    ClearLibraries(prefix.system32);
    // The libraries as they are without the installation.
    Files before = WithLibraryBytes(
        {{scenario.oldCopyOnly ? "visa32.Acme Corp.dll" : "visa32.dll", scenario.library}});
    for (const auto& [name, bytes] : before) {
      wine::WriteFile(prefix.system32 / name, bytes);
    }
    const std::string installedLibrary = wine::TestLibrary("quarvello");
    // After a kill the temporary folder is the system's to clear: Inno
    // Setup's next uninstaller leaves its own copy in the folder of the
    // killed one (measured).
    bool cutEarlier = false;
    // An uninstall cut off runs the stand-in that its installation was
    // built with; one that fails, the action of the example that fails it.
    bool uninstallCut = false;
    std::string scenarioDefine = std::string(installer.mode) + "," + scenario.defines;
    for (const ScenarioRun& each : scenario.runs) {
      uninstallCut = uninstallCut || (each.ending == Ending::kUninstall && each.visaprepRun != 0) ||
                     each.holdWhileSettingAside;
      if (each.ending == Ending::kUninstallFails) {
        scenarioDefine += ",FAIL_AFTER_REMOVE";
      }
    }
    for (std::size_t index = 0; index < scenario.runs.size(); ++index) {
      const ScenarioRun& planned = scenario.runs[index];
      const std::string run = std::string(installer.technology) + ", " + scenario.name + ": run " +
                              std::to_string(index + 1);
      // By ending.
      const char* const defines[] = {
          "",
          "FAIL_AFTER_FILES",
          "PAUSE_AFTER_FILES",
          "",
          "",
          "FAIL_BEFORE_FILES",
          "",
          "VERSION=1.1",
          "VERSION=1.1,FAIL_AFTER_FILES",
          "",
      };
      const bool logged = scenario.logged && index == 0 && !installer.logged.empty();
      const int ending = static_cast<int>(planned.ending);
      const bool uninstall =
          planned.ending == Ending::kUninstall || planned.ending == Ending::kUninstallFails;
      if (planned.othersLibrary) {
        before = Installed(before);
        before["visa32.dll"] = wine::TestLibrary("neutral");
        wine::WriteFile(prefix.system32 / "visa32.dll", before["visa32.dll"]);
      }
      if (planned.holdWhileSettingAside) {
        wine::WriteFile(tools / "hold.txt", prefix.systemDirectory + "\\visa32.dll");
      }
      if (uninstall && planned.broken) {
        const bool own = *installer.mode != '\0' || prefix.flavour != "win64";
        wine::WriteFile(prefix.driveC / (own ? "Program Files" : "Program Files (x86)") /
                            "VISA library" / "visaprep.exe",
                        "");
      }
      if (!uninstall && planned.ending != Ending::kRepair) {
        wine::fs::path program;
        if (planned.broken) {
          program = payload.parent_path() / "broken" / "visaprep.exe";
          wine::WriteFile(program, "");
        }
        ASSERT_EQ(
            wine::BuildInstaller(installer.technology, payload, installer.file,
                                 scenarioDefine + "," + defines[ending] + "," + planned.defines +
                                     (logged ? ",DETAILS" : ""),
                                 planned.ending == Ending::kCutAround || uninstallCut, program),
            "");
        if (planned.broken && std::string(installer.technology) == "msi") {
          // Windows Installer fails an EXE action that cannot start, unless
          // its Return is "ignore" (error 1721); Wine's gives it success
          // whatever its Return, so the package's own table is read.
          std::string table;
          if (FILE* pipe =
                  popen(("msiinfo export '" + (tools / installer.file).string() + "' CustomAction")
                            .c_str(),
                        "r")) {
            for (int got; (got = std::fgetc(pipe)) != EOF;) {
              table += static_cast<char>(got);
            }
            pclose(pipe);
          }
          for (const char* action :
               {"VisaPrepBefore", "VisaPrepUninstall", "VisaPrepRestoreOnRollback",
                "VisaPrepUninstallWithoutRollback"}) {
            const std::size_t row = table.find(std::string("\n") + action + "\t");
            ASSERT_NE(row, std::string::npos) << run << ": " << action;
            const int type = std::atoi(table.c_str() + table.find('\t', row + 1) + 1);
            EXPECT_EQ((type & 0x40) == 0, std::string(action) == "VisaPrepBefore")
                << run << ": " << action << " of type " << type;
          }
          continue;
        }
      }
      wine::Launch launch = {"-", false, installer.program};
      if (planned.holdConfiguration) {
        launch.hold = "C:\\vp\\fw\\Tavrex\\visaconf.ini";
      } else if (planned.uninstalling) {
        launch.hold = "uninstalling";
      } else if (planned.holdLibrary) {
        launch.hold = prefix.systemDirectory + "\\visa32.dll";
      } else if (scenario.holdBackup) {
        launch.hold = "C:\\vp\\fw\\Tavrex\\visaini.bak";
      }
      std::string commandLine = logged ? installer.logged : installer.commandLine;
      if (planned.ending == Ending::kRepair) {
        // What "msiexec /fa" sets; Wine's msiexec takes only a product code
        // there.
        commandLine += " REINSTALL=ALL REINSTALLMODE=amus";
      }
      if (planned.ending == Ending::kCut) {
        // As soon as the installer's own files are in.
        launch.cutWhen = [&] {
          return wine::ReadFile(prefix.system32 / "visa32.dll") == installedLibrary &&
                 (!installer.overwritesConfiguration ||
                  wine::ReadFile(root / kConf) == "the installer's default");
        };
      } else if (planned.ending == Ending::kCutAround || planned.visaprepRun != 0) {
        wine::WriteFile(tools / "cut.txt", std::to_string(planned.visaprepRun) +
                                               (planned.after ? " after" : " before"));
        launch.cutWhen = [&] { return wine::fs::exists(tools / "cut.now"); };
      }
      if (uninstall) {
        launch.program = Fill(installer.uninstaller, programFiles);
        commandLine = Fill(installer.uninstall, programFiles);
        if (planned.ending == Ending::kUninstallFails) {
          commandLine += " FAIL_NOW=1";
        }
      }
      const auto othersBefore = others();
      const Registry framework = scenario.noFramework ? Registry{"none"} : kFramework;
      const std::string report = wine::Run(framework, commandLine, launch).report;
      if (logged) {
        const std::string log = wine::ReadFile(tools / "install.log");
        testing::Test::RecordProperty(installer.technology + std::string(installer.mode), log);
        EXPECT_NE(log.find(installer.setAside), std::string::npos) << run << ": its log\n" << log;
        wine::fs::remove(tools / "install.log");
      }
      if (index == 0 && scenario.defines.rfind("VISAPREP_LOG", 0) == 0) {
        EXPECT_NE(wine::ReadFile(tools / "visaprep.log").find(installer.setAside),
                  std::string::npos)
            << run << ": its log\n"
            << wine::ReadFile(tools / "visaprep.log");
      }
      for (const char* name : {"cut.txt", "cut.count", "cut.now", "hold.txt", "visaprep.log"}) {
        wine::fs::remove(tools / name);
      }
      const bool stops = planned.holdConfiguration || planned.uninstalling ||
                         (scenario.firstStops && index == 0) || (planned.broken && !uninstall) ||
                         (scenario.holdBackup && installer.overwritesConfiguration);
      if (planned.ending == Ending::kCut || planned.ending == Ending::kCutAround ||
          planned.visaprepRun != 0) {
        // What a cut off run leaves is the next run's to mend; but the site's
        // bytes must be there.
        EXPECT_TRUE(report == "cut" || (planned.ending == Ending::kCutAround && report == kDone))
            << run << ": " << report;
        EXPECT_TRUE(wine::ReadFile(root / kConf) == "the site's" ||
                    wine::ReadFile(root / kBak) == "the site's")
            << run;
        cutEarlier = true;
        continue;
      }
      const bool failedFiles =
          planned.ending == Ending::kFails || planned.ending == Ending::kUpgradeFails;
      // A later version that fails leaves the earlier installation as it
      // was, but Windows Installer has removed that one before it began.
      const bool notLaid = scenario.defines == "NOT_LAID";
      const bool rolledBack =
          installer.rollsBack && (planned.ending == Ending::kFails || notLaid ||
                                  (failedFiles && std::string(installer.technology) == "msi"));
      const bool failed = failedFiles || notLaid || planned.ending == Ending::kFailsBefore ||
                          planned.ending == Ending::kUninstallFails || stops;
      std::string expected = failed ? installer.failed : kDone;
      if (stops && installer.stopped != nullptr) {
        expected = installer.stopped;
      }
      EXPECT_EQ(report, expected) << run;
      if (planned.holdConfiguration) {
        // Stopped before anything: the site's configuration waits in the backup.
        EXPECT_EQ(wine::ReadFile(root / kBak), "the site's") << run;
        continue;
      }
      EXPECT_EQ(wine::FilesBelow(root), site) << run;
      // The example's [Run] entry copies the configuration as it found it.
      if (std::string(installer.technology) == "inno" && report == kDone && !uninstall &&
          !scenario.noFramework) {
        const bool own = *installer.mode != '\0' || prefix.flavour != "win64";
        EXPECT_EQ(wine::ReadFile(prefix.driveC / (own ? "Program Files" : "Program Files (x86)") /
                                 "VISA library" / "seen.ini"),
                  "the site's")
            << run;
      }
      Files libraries = Installed(before);
      const bool afterRolledBackUninstall =
          index > 0 && scenario.runs[index - 1].ending == Ending::kUninstallFails;
      if (!planned.holdLibrary && !afterRolledBackUninstall &&
          (planned.ending == Ending::kUninstall || planned.ending == Ending::kFailsBefore ||
           stops || rolledBack)) {
        libraries = before;
      }
      // An uninstall without visaprep takes the installer's library and
      // keeps the record of the one set aside, for the next installation.
      if (uninstall && planned.broken) {
        libraries = Installed(before);
        libraries.erase("visa32.dll");
      }
      EXPECT_EQ(Named(wine::FilesBelow(prefix.system32, "visa32")), Named(libraries)) << run;
      std::set<std::string> changes = wine::Changes(othersBefore, others());
      for (auto change = changes.begin(); change != changes.end();) {
        // The stand-in's own files are the tests'.
        const bool temporary = (cutEarlier && change->find("/Temp/") != std::string::npos) ||
                               change->find("tools/cut.") == 1 || *change == "-tools/hold.txt";
        change = temporary ? changes.erase(change) : std::next(change);
      }
      // registers.txt: the registers that an NSIS macro changed.
      EXPECT_EQ(changes, kNoChanges) << run << "\n" << wine::ReadFile(tools / "registers.txt");
    }
    const ScenarioRun& last = scenario.runs.back();
    if (last.ending != Ending::kUninstall && last.ending != Ending::kFailsBefore && !last.broken &&
        !last.uninstalling && !installer.uninstall.empty()) {
      wine::Run(kFramework, Fill(installer.uninstall, programFiles),
                {"-", false, Fill(installer.uninstaller, programFiles)});
    }
  }
  ClearLibraries(prefix.system32);
}

INSTANTIATE_TEST_SUITE_P(Examples, Installer, testing::ValuesIn(kInstallers), [](const auto& info) {
  return std::string(info.param.technology) + info.param.mode;
});

}  // namespace
