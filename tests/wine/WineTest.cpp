// visaprep.exe itself, under Wine: each row sets up a framework directory
// and the registry, starts the program with exact raw command lines, and
// checks what it left on disk, its exit status and that it printed nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/WineHarness.h"

namespace {

using wine::Files;
using wine::Registry;

const char kConf[] = "fw/Tavrex/visaconf.ini";
const char kBak[] = "fw/Tavrex/visaini.bak";
const char kDone[] = "exit=0 output=0";

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
};

const Registry kFramework = wine::StringValue("C:\\vp\\fw\\");

const ConfigCase kConfigCases[] = {
    {"backup copies", kFramework, {{kConf, "new"}}, {{"visaprep.exe BackUp"}},
     {{kConf, "new"}, {kBak, "new"}}},
    {"backing up twice keeps the newer copy", kFramework, {},
     {{"visaprep.exe BackUp", {{kConf, "first"}}}, {"visaprep.exe BackUp", {{kConf, "second"}}}},
     {{kConf, "second"}, {kBak, "second"}}},
    {"no configuration file drops a stale backup", kFramework, {{kBak, "stale"}},
     {{"visaprep.exe BackUp"}}, {}},
    {"no Tavrex folder deletes nothing", kFramework, {{"fw/visaini.bak", "x"}},
     {{"visaprep.exe BackUp"}}, {{"fw/visaini.bak", "x"}}, {"fw"}},
    {"no key changes nothing", {"none"}, {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}}, {{kConf, "new"}, {kBak, "old"}}},
    {"no value changes nothing", {"32", "sz", std::nullopt}, {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}}, {{kConf, "new"}, {kBak, "old"}}},
    {"the 64-bit registry view alone is not seen", {"64", "sz", std::string("C:\\vp\\fw\\\0", 10)},
     {{kConf, "new"}, {kBak, "old"}}, {{"visaprep.exe BackUp"}, {"visaprep.exe Copy"}},
     {{kConf, "new"}, {kBak, "old"}}},
    {"a value without a trailing backslash is joined as stored", wine::StringValue("C:\\vp\\fw"),
     {{"fwTavrex/visaconf.ini", "joined"}, {kConf, "inside"}}, {{"visaprep.exe BackUp"}},
     {{"fwTavrex/visaconf.ini", "joined"}, {"fwTavrex/visaini.bak", "joined"}, {kConf, "inside"}},
     {"fw/Tavrex", "fwTavrex"}},
    {"restore round trip", kFramework, {{kConf, "before"}},
     {{"visaprep.exe BackUp"}, {"visaprep.exe Copy", {{kConf, "installer's"}}}},
     {{kConf, "before"}}},
    {"restore with no backup changes nothing", kFramework, {{kConf, "current"}},
     {{"visaprep.exe Copy"}}, {{kConf, "current"}}},
    {"restoring twice", kFramework, {{kConf, "current"}, {kBak, "saved"}},
     {{"visaprep.exe Copy"}, {"visaprep.exe Copy"}}, {{kConf, "saved"}}},
    {"a restore over a held file keeps the backup", kFramework,
     {{kConf, "current"}, {kBak, "saved"}},
     {{"visaprep.exe Copy", {}, "C:\\vp\\fw\\Tavrex\\visaconf.ini"}},
     {{kConf, "current"}, {kBak, "saved"}}},
    {"a restore over a folder keeps the backup", kFramework, {{kBak, "saved"}},
     {{"visaprep.exe Copy"}}, {{kBak, "saved"}}, {"fw/Tavrex/visaconf.ini"}},
    {"a quoted program path with blanks", kFramework, {{kConf, "new"}},
     {{"\"C:\\Program Files\\Setup Tools\\visaprep.exe\" BackUp"}}, {{kConf, "new"}, {kBak, "new"}}},
    {"blanks and a tab before the verb", kFramework, {{kConf, "new"}},
     {{"visaprep.exe  \t  BackUp"}}, {{kConf, "new"}, {kBak, "new"}}},
    {"a program path with bytes above 0x7F", kFramework, {{kConf, "new"}},
     {{"C:\\Setup\\\xe9t\xe9\\visaprep.exe BackUp"}}, {{kConf, "new"}, {kBak, "new"}}},
    {"verbs that are not verbs", kFramework, {{kConf, "new"}, {kBak, "old"}},
     {{"visaprep.exe backup"}, {"visaprep.exe COPY"}, {"visaprep.exe BackUp "},
      {" visaprep.exe BackUp"}, {"visaprep.exe"}, {"visaprep.exe Copy RemoveVisa32"}},
     {{kConf, "new"}, {kBak, "old"}}},
};

void Prepare(const wine::fs::path& root, const Files& files,
             const std::vector<std::string>& folders) {
  wine::fs::remove_all(root);
  wine::fs::create_directories(root / "cwd");
  for (const std::string& folder : folders) {
    wine::fs::create_directories(root / folder);
  }
  for (const auto& [name, bytes] : files) {
    wine::WriteFile(root / name, bytes);
  }
}

TEST(Wine, BacksUpAndRestoresTheConfiguration) {
  const wine::fs::path root = wine::CurrentPrefix().driveC / "vp";
  for (const ConfigCase& row : kConfigCases) {
    Prepare(root, row.start, row.folders);
    const auto folders = wine::FoldersBelow(root);
    for (const Step& step : row.steps) {
      for (const auto& [name, bytes] : step.writes) {
        wine::WriteFile(root / name, bytes);
      }
      EXPECT_EQ(wine::Run(row.registry, step.commandLine, step.hold).report, kDone)
          << row.name << ": " << step.commandLine;
    }
    EXPECT_EQ(wine::FilesBelow(root), row.expected) << row.name;
    EXPECT_EQ(wine::FoldersBelow(root), folders) << row.name << ": folders changed";
  }
}

}  // namespace
