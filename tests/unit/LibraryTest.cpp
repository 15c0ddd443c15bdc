// The company-name lookup and the set-aside of a foreign visa32.dll against
// the fake machine, as tables of version resources and starting states.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/RunCommand.h"
#include "library/CompanyName.h"
#include "tests/fake/FakePlatform.h"

namespace {

using Strings = std::map<std::string, std::string>;

std::string Translation(unsigned language, unsigned codePage) {
  return {static_cast<char>(language & 0xFF), static_cast<char>(language >> 8),
          static_cast<char>(codePage & 0xFF), static_cast<char>(codePage >> 8)};
}

// A version resource with the fixed information, a translation table and
// the given CompanyName strings, keyed by their language and code page.
fake::VersionValues Version(const Strings& companyNames,
                            const std::string& translation = Translation(0x0409, 0x04B0)) {
  fake::VersionValues values = {{"\\", "fixed"}, {"\\VarFileInfo\\Translation", translation}};
  for (const auto& [block, name] : companyNames) {
    values.emplace_back("\\StringFileInfo\\" + block + "\\CompanyName", name + '\0');
  }
  return values;
}

struct LookupRow {
  const char* name;
  std::optional<fake::VersionValues> version;  // none: a file without version information
  std::optional<std::string> company;          // none: the lookup gives false
};

const std::string k255(255, 'n');

const LookupRow kLookupRows[] = {
    {"0409 and the first code page", Version({{"040904B0", "Acme Corp"}}), "Acme Corp"},
    {"only 0000", Version({{"000004B0", "Zero Inc"}}), "Zero Inc"},
    {"0409 wins over 0000", Version({{"040904B0", "First"}, {"000004B0", "Second"}}), "First"},
    {"only 0407, though the translation names it",
     Version({{"040704B0", "Deutsch"}}, Translation(0x0407, 0x04B0)), std::nullopt},
    {"the translation's language is not used",
     Version({{"040904B0", "Acme"}}, Translation(0x0407, 0x04B0)), "Acme"},
    {"the code page in upper-case hex",
     Version({{"040904E4", "Ansi"}}, Translation(0x0409, 0x04E4)), "Ansi"},
    {"only the first translation entry counts",
     Version({{"040904B0", "Second entry"}},
             Translation(0x0409, 0x04E4) + Translation(0x0409, 0x04B0)),
     std::nullopt},
    {"the first of several entries",
     Version({{"040904E4", "First entry"}, {"040904B0", "Second entry"}},
             Translation(0x0409, 0x04E4) + Translation(0x0409, 0x04B0)),
     "First entry"},
    {"no CompanyName", Version({}), std::nullopt},
    {"no translation table",
     fake::VersionValues{{"\\", "fixed"}, {"\\StringFileInfo\\040904B0\\CompanyName", "A"}},
     std::nullopt},
    {"a translation shorter than one entry", Version({{"040904B0", "Acme"}}, "\x09\x04\xB0"),
     std::nullopt},
    {"no fixed file information",
     fake::VersionValues{{"\\VarFileInfo\\Translation", Translation(0x0409, 0x04B0)},
                         {"\\StringFileInfo\\040904B0\\CompanyName", std::string("A\0", 2)}},
     std::nullopt},
    {"an empty name", Version({{"040904B0", ""}}), ""},
    {"255 characters fit", Version({{"040904B0", k255}}), k255},
    {"256 characters are not cut", Version({{"040904B0", k255 + "n"}}), std::nullopt},
    // The name is the last thing in the block and has no NUL before its end.
    {"a name running off the block",
     fake::VersionValues{{"\\", "fixed"},
                         {"\\VarFileInfo\\Translation", Translation(0x0409, 0x04B0)},
                         {"\\StringFileInfo\\040904B0\\CompanyName", "Unterminated"}},
     std::nullopt},
    {"no version information", std::nullopt, std::nullopt},
};

TEST(CompanyName, FollowsTheLookupOrder) {
  for (const LookupRow& row : kLookupRows) {
    fake::Reset();
    fake::Machine().files["C:\\lib.dll"].bytes = "MZ";
    if (row.version) {
      fake::Machine().versions["MZ"] = *row.version;
    }
    char company[kTextSize];
    std::fill(std::begin(company), std::end(company), 'Z');
    const bool found = QueryCompanyName("C:\\lib.dll", company);
    EXPECT_EQ(found, row.company.has_value()) << row.name;
    if (found && row.company) {
      EXPECT_EQ(std::string(company), *row.company) << row.name;
    }
    if (!found) {
      EXPECT_EQ(std::count(std::begin(company), std::end(company), 'Z'), kTextSize)
          << row.name << ": buffer touched";
    }
    EXPECT_TRUE(fake::Machine().blocks.empty()) << row.name << ": block not released";
  }
}

TEST(CompanyName, GivesFalseWithoutAFileOrMemory) {
  fake::Reset();
  char company[kTextSize];
  EXPECT_FALSE(QueryCompanyName("C:\\missing.dll", company));
  fake::Machine().files["C:\\lib.dll"].bytes = "MZ";
  fake::Machine().versions["MZ"] = Version({{"040904B0", "A"}});
  // The allocation is the lookup's second call, after the size.
  fake::Machine().fault = {fake::Machine().calls + 2, 8};
  EXPECT_FALSE(QueryCompanyName("C:\\lib.dll", company));
  EXPECT_EQ(fake::Machine().callNames.back(), "GlobalAlloc");
}

const std::string kSys = "C:\\windows\\syswow64\\";
const std::string kLib = kSys + "visa32.dll";

struct SetAsideRow {
  const char* name;
  std::optional<std::string> company;  // none: no version information
  std::map<std::string, std::string> expected;
  // Files already there besides the library; bytes "Company#..." carry a
  // version resource of that company. Made in the order of `made`.
  std::map<std::string, std::string> earlier;
  fake::Lock lock = fake::Lock::kNone;
  std::set<unsigned char> leadBytes;
  std::string systemDirectory = "C:\\windows\\syswow64";
  bool noLibrary = false;
  const char* verb = "RemoveVisa32";  // verbs run in turn, comma-separated
  std::vector<std::string> made = {};
  std::set<std::string> folders = {};
};

const std::string kLongDirectory = "C:\\" + std::string(120, 'd');

// The trailing fields that only a few rows set, so that those rows stay short.
SetAsideRow WithFolder(SetAsideRow row, const std::string& folder) {
  row.folders = {folder};
  return row;
}

// A row of "RestoreVisa32", with no library in place unless `noLibrary` is
// false, and the copies made in the order of `made`.
SetAsideRow PutBack(SetAsideRow row, bool noLibrary = true, std::vector<std::string> made = {}) {
  row.verb = "RestoreVisa32";
  row.noLibrary = noLibrary;
  row.made = std::move(made);
  return row;
}

// Every name that a copy of Acme's library could take, taken by other bytes.
SetAsideRow NoFreeName() {
  SetAsideRow row = {"no free name: it stays", "Acme", {{kLib, "lib"}}};
  for (int number = 1; number <= 9; ++number) {
    const std::string name =
        kSys + "visa32.Acme" + (number > 1 ? "." + std::to_string(number) : "") + ".dll";
    row.earlier[name] = row.expected[name] = std::to_string(number);
  }
  return row;
}

const SetAsideRow kSetAsideRows[] = {
    {"a foreign library is set aside", "Acme Corp", {{kSys + "visa32.Acme Corp.dll", "lib"}}},
    {"the kept company stays", "Quarvello", {{kLib, "lib"}}},
    {"case matters", "quarvello", {{kSys + "visa32.quarvello.dll", "lib"}}},
    {"a trailing blank matters", "Quarvello ", {{kSys + "visa32.Quarvello .dll", "lib"}}},
    {"a second library of the same company gets the next number",
     "Acme",
     {{kSys + "visa32.Acme.dll", "earlier"}, {kSys + "visa32.Acme.2.dll", "lib"}},
     {{kSys + "visa32.Acme.dll", "earlier"}}},
    {"a copy with the same bytes is the copy",
     "Acme",
     {{kSys + "visa32.Acme.dll", "lib"}},
     {{kSys + "visa32.Acme.dll", "lib"}}},
    {"a copy under a later number is the copy too",
     "Acme",
     {{kSys + "visa32.Acme.dll", "earlier"}, {kSys + "visa32.Acme.2.dll", "lib"}},
     {{kSys + "visa32.Acme.dll", "earlier"}, {kSys + "visa32.Acme.2.dll", "lib"}}},
    {"a part of the library is no copy",
     "Acme",
     {{kSys + "visa32.Acme.dll", "li"}, {kSys + "visa32.Acme.2.dll", "lib"}},
     {{kSys + "visa32.Acme.dll", "li"}}},
    NoFreeName(),
    WithFolder(
        {"a folder at the name is passed over", "Acme", {{kSys + "visa32.Acme.2.dll", "lib"}}},
        kSys + "visa32.Acme.dll"),
    {"a numbered name too long for its buffer: it stays",
     std::string(120, 'c'),
     {{kLongDirectory + "\\visa32.dll", "lib"},
      {kLongDirectory + "\\visa32." + std::string(120, 'c') + ".dll", "earlier"}},
     {{kLongDirectory + "\\visa32." + std::string(120, 'c') + ".dll", "earlier"}},
     fake::Lock::kNone,
     {},
     kLongDirectory},
    // Putting back what was set aside, only into an empty place.
    PutBack({"put back into an empty place",
             "Acme",
             {{kLib, "Acme#1"}},
             {{kSys + "visa32.Acme.dll", "Acme#1"}}}),
    PutBack({"a library in place stays, whatever its company",
             "Quarvello",
             {{kLib, "lib"}, {kSys + "visa32.Acme.dll", "Acme#1"}},
             {{kSys + "visa32.Acme.dll", "Acme#1"}}},
            false),
    PutBack({"the copy made last goes back, not the last by name",
             "Acme",
             {{kLib, "Acme#1"}, {kSys + "visa32.Zeta.dll", "Zeta#1"}},
             {{kSys + "visa32.Acme.dll", "Acme#1"}, {kSys + "visa32.Zeta.dll", "Zeta#1"}}},
            true, {kSys + "visa32.Zeta.dll", kSys + "visa32.Acme.dll"}),
    PutBack({"a numbered copy made last goes back",
             "Acme",
             {{kLib, "Acme#2"}, {kSys + "visa32.Acme.dll", "Acme#1"}},
             {{kSys + "visa32.Acme.dll", "Acme#1"}, {kSys + "visa32.Acme.2.dll", "Acme#2"}}},
            true, {kSys + "visa32.Acme.dll", kSys + "visa32.Acme.2.dll"}),
    {"a copy that was the library's counts as made when the library went",
     "Acme",
     {{kLib, "lib"}, {kSys + "visa32.Acme.2.dll", "Acme#2"}},
     {{kSys + "visa32.Acme.dll", "lib"}, {kSys + "visa32.Acme.2.dll", "Acme#2"}},
     fake::Lock::kNone,
     {},
     "C:\\windows\\syswow64",
     false,
     "RemoveVisa32,RestoreVisa32",
     {kSys + "visa32.Acme.dll", kSys + "visa32.Acme.2.dll"}},
    PutBack({"a name and a company that disagree: left alone",
             "Acme",
             {{kSys + "visa32.Zeta.dll", "Acme#1"},
              {kSys + "visa32.Quarvello.dll", "Quarvello#1"},
              {kSys + "visa32.Acme.10.dll", "Acme#10"}},
             {{kSys + "visa32.Zeta.dll", "Acme#1"},
              {kSys + "visa32.Quarvello.dll", "Quarvello#1"},
              {kSys + "visa32.Acme.10.dll", "Acme#10"}}}),
    WithFolder(PutBack({"a folder of that name: left alone", "Acme"}), kSys + "visa32.Acme.dll"),
    {"no version information: it stays", std::nullopt, {{kLib, "lib"}}},
    {"no library: nothing", "Acme", {}, {}, fake::Lock::kNone, {}, "C:\\windows\\syswow64", true},
    {"held open: the copy is made and the library stays",
     "Acme",
     {{kLib, "lib"}, {kSys + "visa32.Acme.dll", "lib"}},
     {},
     fake::Lock::kReadShared},
    {"unreadable: no copy, so it stays", "Acme", {{kLib, "lib"}}, {}, fake::Lock::kExclusive},
    {"a name with a backslash stays", "x\\..\\..\\evil", {{kLib, "lib"}}},
    {"a name with a slash stays", "a/b", {{kLib, "lib"}}},
    {"a name with a colon stays", "C:x", {{kLib, "lib"}}},
    {"a name with a wildcard stays", "A*", {{kLib, "lib"}}},
    {"a name with a question mark stays", "A?", {{kLib, "lib"}}},
    {"a name with a quote stays", "A\"", {{kLib, "lib"}}},
    {"a name with angle brackets stays", "<A>", {{kLib, "lib"}}},
    {"a name with a bar stays", "A|B", {{kLib, "lib"}}},
    {"a name with a control byte stays", "A\tB", {{kLib, "lib"}}},
    {"a trail byte of 0x5C is no backslash",
     "\x81\x5C\x82\x5C",
     {{kSys + "visa32.\x81\x5C\x82\x5C.dll", "lib"}},
     {},
     fake::Lock::kNone,
     {0x81, 0x82}},
    {"without a double-byte code page 0x5C is a backslash", "\x81\x5C", {{kLib, "lib"}}},
    {"an empty name gives two dots", "", {{kSys + "visa32..dll", "lib"}}},
    {"dots alone stay in one component", "..", {{kSys + "visa32....dll", "lib"}}},
    {"letters above 0x7F go in as found",
     "Soci\xe9t\xe9",
     {{kSys + "visa32.Soci\xe9t\xe9.dll", "lib"}}},
    {"a set-aside path too long for its buffer changes nothing",
     std::string(121, 'c'),
     {{kLongDirectory + "\\visa32.dll", "lib"}},
     {},
     fake::Lock::kNone,
     {},
     kLongDirectory},
};

TEST(SetAside, MovesOnlyAForeignLibraryAndNeverLosesIt) {
  for (const SetAsideRow& row : kSetAsideRows) {
    fake::Reset();
    fake::State& machine = fake::Machine();
    machine.systemDirectory = row.systemDirectory;
    machine.directories = {row.systemDirectory};
    machine.directories.insert(row.folders.begin(), row.folders.end());
    machine.leadBytes = row.leadBytes;
    if (!row.noLibrary) {
      fake::File& library = machine.files[row.systemDirectory + "\\visa32.dll"];
      library.bytes = "lib";
      library.lock = row.lock;
      if (row.company) {
        machine.versions["lib"] = Version({{"040904B0", *row.company}});
      }
    }
    for (const auto& [path, bytes] : row.earlier) {
      machine.files[path].bytes = bytes;
      if (bytes.find('#') != std::string::npos) {
        machine.versions[bytes] = Version({{"040904B0", bytes.substr(0, bytes.find('#'))}});
      }
    }
    for (std::size_t order = 0; order < row.made.size(); ++order) {
      machine.files[row.made[order]].created = 100 + order;
      machine.files[row.made[order]].lastWrite = 200 - order;  // the libraries' own dates
    }
    std::istringstream verbs(row.verb);
    for (std::string verb; std::getline(verbs, verb, ',');) {
      EXPECT_EQ(RunCommand(verb.c_str()), 0) << row.name;
    }
    std::map<std::string, std::string> files;
    for (const auto& [path, file] : machine.files) {
      files[path] = file.bytes;
    }
    EXPECT_EQ(files, row.expected) << row.name;
    EXPECT_TRUE(machine.blocks.empty()) << row.name;
  }
}

// A set-aside copy that cannot take its name keeps the library, unless an
// earlier copy has the name; a hold that passes is waited out.
TEST(SetAside, DeletesAfterAFailedCopyOnlyWhenACopyExists) {
  const struct {
    std::uint32_t error;
    bool persistent;
    bool copyStands;
    bool libraryStays;
  } rows[] = {{Platform::kErrorFileExists, false, true, false},
              {Platform::kErrorAlreadyExists, false, true, false},
              {Platform::kErrorDiskFull, false, false, true},
              {Platform::kErrorPathNotFound, false, false, true},
              {Platform::kErrorSharingViolation, false, false, false},
              {Platform::kErrorSharingViolation, true, false, true},
              {Platform::kErrorAccessDenied, false, false, false},
              {Platform::kErrorAccessDenied, true, false, true}};
  for (const auto& row : rows) {
    fake::State& machine = fake::Machine();
    int moveAt = 0;  // found by a first, clean run
    for (int attempt = 0; attempt < 2; ++attempt) {
      fake::Reset();
      machine.directories = {"C:\\windows\\syswow64"};
      machine.files[kLib].bytes = "lib";
      machine.versions["lib"] = Version({{"040904B0", "Acme"}});
      if (row.copyStands) {
        machine.files[kSys + "visa32.Acme.dll"].bytes = "earlier";
      }
      machine.fault = {moveAt, row.error, row.persistent};
      RunCommand("RemoveVisa32");
      const auto move =
          std::find(machine.callNames.begin(), machine.callNames.end(), "MoveFileExA");
      moveAt = static_cast<int>(move - machine.callNames.begin()) + 1;
    }
    EXPECT_EQ(machine.files.count(kLib) == 1, row.libraryStays) << "error " << row.error;
    EXPECT_EQ(machine.files.count(kSys + "visa32.Acme.dll") == 1,
              !row.libraryStays || row.copyStands)
        << "error " << row.error;
    // Cleaning up fails too when every call does.
    EXPECT_EQ(machine.files.count(kSys + "visaprep.tmp") == 1, row.persistent)
        << "error " << row.error;
  }
}

}  // namespace
