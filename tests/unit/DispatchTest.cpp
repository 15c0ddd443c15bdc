// The verb table: only the four whole tails are verbs, and the phases run in
// their fixed order.
#include <gtest/gtest.h>

#include <string>

#include "app/RunCommand.h"
#include "tests/fake/FakePlatform.h"

extern std::string gPhaseCalls;

namespace {

struct VerbRow {
  const char* tail;
  const char* calls;
};

const VerbRow kVerbRows[] = {
    {"BackUp", "backup;"},
    {"Copy", "restore;"},
    {"RemoveVisa32", "set-aside C:\\windows\\syswow64;"},
    {"BackUp RemoveVisa32", "backup;set-aside C:\\windows\\syswow64;"},
    {"RestoreVisa32", "put back C:\\windows\\syswow64;"},
    {"restorevisa32", ""},
    {"RestoreVisa32 ", ""},
    {"BackUp RestoreVisa32", ""},
    {"", ""},
    {"backup", ""},
    {"BACKUP", ""},
    {"copy", ""},
    {"removevisa32", ""},
    {"BackUp ", ""},
    {" BackUp", ""},
    {"BackUp\t", ""},
    {"RemoveVisa32 BackUp", ""},
    {"BackUp  RemoveVisa32", ""},
    {"Copy RemoveVisa32", ""},
    {"BackUp Copy", ""},
    {"BackUpX", ""},
    {"Back", ""},
    {"\"BackUp\"", ""},
};

TEST(Dispatch, RunsThePhasesOfTheVerb) {
  for (const VerbRow& row : kVerbRows) {
    fake::Reset();
    gPhaseCalls.clear();
    EXPECT_EQ(RunCommand(row.tail), 0) << row.tail;
    EXPECT_EQ(gPhaseCalls, row.calls) << "tail: [" << row.tail << "]";
  }
}

// Without a usable system directory the library phase has no path to work
// on; the configuration phase still runs.
TEST(Dispatch, SkipsTheLibraryPhaseWithoutASystemDirectory) {
  const std::string longest(127, 'd');
  const struct {
    std::string directory;
    bool readFails;
    std::string calls;
  } rows[] = {
      {"C:\\windows\\system32", true, "backup;"},
      {std::string(128, 'd'), false, "backup;"},
      {longest, false, "backup;set-aside " + longest + ";"},
  };
  for (const auto& row : rows) {
    fake::Reset();
    gPhaseCalls.clear();
    fake::Machine().systemDirectory = row.directory;
    if (row.readFails) {
      fake::Machine().fault = {1, 5, false};
    }
    EXPECT_EQ(RunCommand("BackUp RemoveVisa32"), 0);
    EXPECT_EQ(gPhaseCalls, row.calls) << "directory of " << row.directory.size();
  }
}

}  // namespace
