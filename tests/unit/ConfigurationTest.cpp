// Backing up and restoring the configuration file against the fake machine:
// a table of starting states, the verbs run, and the files left afterwards.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/RunCommand.h"
#include "config/FrameworkPath.h"
#include "tests/fake/FakePlatform.h"

namespace {

using Files = std::map<std::string, std::string>;

const std::string kConf = "C:\\fw\\Tavrex\\visaconf.ini";
const std::string kBak = "C:\\fw\\Tavrex\\visaini.bak";

struct ConfigRow {
  const char* name;
  std::optional<std::string> value;  // FRAMEWORK_PATH as a string; none: no value
  Files files;
  std::vector<const char*> verbs;
  Files expected;
  std::vector<std::string> directories = {"C:\\fw", "C:\\fw\\Tavrex"};
  std::string locked;  // a file held open without sharing
  bool keyExists = true;
};

Files FilesOf(const fake::State& state) {
  Files files;
  for (const auto& [path, file] : state.files) {
    files[path] = file.bytes;
  }
  return files;
}

const std::string kLong237(237, 'x');

const ConfigRow kConfigRows[] = {
    {"backup copies", "C:\\fw\\", {{kConf, "new"}}, {"BackUp"}, {{kConf, "new"}, {kBak, "new"}}},
    {"backup overwrites an older backup",
     "C:\\fw\\",
     {{kConf, "new"}, {kBak, "old"}},
     {"BackUp"},
     {{kConf, "new"}, {kBak, "new"}}},
    {"backing up twice keeps the newer copy",
     "C:\\fw\\",
     {{kConf, "new"}},
     {"BackUp", "BackUp"},
     {{kConf, "new"}, {kBak, "new"}}},
    {"no configuration file drops a stale backup", "C:\\fw\\", {{kBak, "old"}}, {"BackUp"}, {}},
    {"backup with the combined verb",
     "C:\\fw\\",
     {{kConf, "new"}},
     {"BackUp RemoveVisa32"},
     {{kConf, "new"}, {kBak, "new"}}},
    {"no Tavrex folder: nothing", "C:\\fw\\", {}, {"BackUp", "Copy"}, {}, {"C:\\fw"}},
    {"locked configuration keeps the backup",
     "C:\\fw\\",
     {{kConf, "new"}, {kBak, "old"}},
     {"BackUp"},
     {{kConf, "new"}, {kBak, "old"}},
     {"C:\\fw", "C:\\fw\\Tavrex"},
     kConf},
    {"backup path is a folder",
     "C:\\fw\\",
     {{kConf, "new"}},
     {"BackUp"},
     {{kConf, "new"}},
     {"C:\\fw", "C:\\fw\\Tavrex", kBak}},
    {"no value",
     std::nullopt,
     {{kConf, "new"}, {kBak, "old"}},
     {"BackUp"},
     {{kConf, "new"}, {kBak, "old"}}},
    {"no key",
     "C:\\fw\\",
     {{kConf, "new"}, {kBak, "old"}},
     {"BackUp", "Copy"},
     {{kConf, "new"}, {kBak, "old"}},
     {"C:\\fw", "C:\\fw\\Tavrex"},
     "",
     false},
    {"value without a trailing backslash is joined as stored",
     "C:\\fw",
     {{"C:\\fwTavrex\\visaconf.ini", "new"}, {kConf, "other"}},
     {"BackUp"},
     {{"C:\\fwTavrex\\visaconf.ini", "new"},
      {"C:\\fwTavrex\\visaini.bak", "new"},
      {kConf, "other"}},
     {"C:\\fwTavrex", "C:\\fw", "C:\\fw\\Tavrex"}},
    {"empty value gives relative paths",
     "",
     {{"Tavrex\\visaconf.ini", "new"}},
     {"BackUp"},
     {{"Tavrex\\visaconf.ini", "new"}, {"Tavrex\\visaini.bak", "new"}},
     {"Tavrex"}},
    // The backup path would fit but the configuration path would not: a
    // phase that cannot name both files touches neither.
    {"a path too long for its buffer changes nothing",
     kLong237,
     {{kLong237 + "Tavrex\\visaini.bak", "old"}},
     {"BackUp", "Copy"},
     {{kLong237 + "Tavrex\\visaini.bak", "old"}},
     {kLong237 + "Tavrex"}},
    {"restore puts the backup back and removes it",
     "C:\\fw\\",
     {{kConf, "new"}, {kBak, "old"}},
     {"Copy"},
     {{kConf, "old"}}},
    {"restore without a configuration file",
     "C:\\fw\\",
     {{kBak, "old"}},
     {"Copy"},
     {{kConf, "old"}}},
    {"restore without a backup changes nothing",
     "C:\\fw\\",
     {{kConf, "new"}},
     {"Copy"},
     {{kConf, "new"}}},
    {"restoring twice",
     "C:\\fw\\",
     {{kConf, "new"}, {kBak, "old"}},
     {"Copy", "Copy"},
     {{kConf, "old"}}},
    {"failed restore keeps the backup",
     "C:\\fw\\",
     {{kConf, "new"}, {kBak, "old"}},
     {"Copy"},
     {{kConf, "new"}, {kBak, "old"}},
     {"C:\\fw", "C:\\fw\\Tavrex"},
     kConf},
    {"restore over a folder keeps the backup",
     "C:\\fw\\",
     {{kBak, "old"}},
     {"Copy"},
     {{kBak, "old"}},
     {"C:\\fw", "C:\\fw\\Tavrex", kConf}},
    {"round trip", "C:\\fw\\", {{kConf, "before"}}, {"BackUp", "Copy"}, {{kConf, "before"}}},
    {"other verbs leave the files",
     "C:\\fw\\",
     {{kConf, "new"}, {kBak, "old"}},
     {"", "backup", "COPY", "RemoveVisa32", "Copy "},
     {{kConf, "new"}, {kBak, "old"}}},
};

TEST(Configuration, BacksUpAndRestores) {
  for (const ConfigRow& row : kConfigRows) {
    fake::Reset();
    fake::State& machine = fake::Machine();
    machine.keyExists = row.keyExists;
    if (row.value) {
      machine.frameworkPath = fake::RegistryString(*row.value);
    }
    for (const auto& [path, bytes] : row.files) {
      machine.files[path].bytes = bytes;
    }
    machine.directories.insert(row.directories.begin(), row.directories.end());
    if (!row.locked.empty()) {
      machine.files[row.locked].lock = fake::Lock::kExclusive;
    }
    for (const char* verb : row.verbs) {
      EXPECT_EQ(RunCommand(verb), 0) << row.name;
    }
    EXPECT_EQ(FilesOf(machine), row.expected) << row.name;
    EXPECT_EQ(machine.openKeys, 0) << row.name;
  }
}

struct ValueRow {
  const char* name;
  std::string stored;  // the value's raw bytes
  std::optional<std::string> read;
};

const ValueRow kValueRows[] = {
    {"255 characters are read", fake::RegistryString(std::string(255, 'a')), std::string(255, 'a')},
    {"256 characters are not", fake::RegistryString(std::string(256, 'a')), std::nullopt},
    {"300 characters are not", fake::RegistryString(std::string(300, 'a')), std::nullopt},
    {"no NUL, short of the buffer: terminated", "C:\\fw\\", "C:\\fw\\"},
    {"no NUL, 255 bytes: terminated", std::string(255, 'b'), std::string(255, 'b')},
    {"no NUL, 256 bytes: nowhere to end it", std::string(256, 'b'), std::nullopt},
    {"an inner NUL ends the value", std::string("C:\\a\\\0junk", 10), "C:\\a\\"},
    {"empty string", fake::RegistryString(""), ""},
    {"no bytes at all", "", ""},
};

TEST(Configuration, ReadsTheFrameworkPathOnlyWhenItFits) {
  for (const ValueRow& row : kValueRows) {
    fake::Reset();
    fake::Machine().keyExists = true;
    fake::Machine().frameworkPath = row.stored;
    char directory[kTextSize];
    // Leftovers from an earlier use of the buffer must not leak into a
    // value stored without a NUL.
    std::fill(std::begin(directory), std::end(directory), 'Z');
    const bool read = ReadFrameworkPath(directory);
    EXPECT_EQ(read, row.read.has_value()) << row.name;
    if (read && row.read) {
      EXPECT_EQ(std::string(directory), *row.read) << row.name;
    }
    EXPECT_EQ(fake::Machine().openKeys, 0) << row.name;
  }
}

}  // namespace
