// The command tail rule, row by row: what an installer passes must arrive as
// exactly the verb it wrote, whatever the program path looks like.
#include <gtest/gtest.h>

#include <string>

#include "app/CommandTail.h"
#include "tests/fake/FakePlatform.h"

namespace {

struct TailRow {
  const char* raw;
  const char* tail;
};

const TailRow kTailRows[] = {
    {"visaprep.exe BackUp", "BackUp"},
    {"visaprep.exe", ""},
    {"", ""},
    {"visaprep.exe    \t BackUp", "BackUp"},
    {"visaprep.exe\tCopy", "Copy"},
    {"visaprep.exe\x01\x1f\x20RemoveVisa32", "RemoveVisa32"},
    {"visaprep.exe BackUp ", "BackUp "},
    {"visaprep.exe BackUp  RemoveVisa32", "BackUp  RemoveVisa32"},
    {"\"C:\\Program Files\\Setup Tools\\visaprep.exe\" BackUp", "BackUp"},
    {"\"C:\\Program Files\\visaprep.exe\"Copy", "Copy"},
    {"\"C:\\Program Files\\visaprep.exe BackUp", ""},
    {"\"\" Copy", "Copy"},
    {"\"visaprep.exe\" \"BackUp\"", "\"BackUp\""},
    {" visaprep.exe BackUp", "visaprep.exe BackUp"},
    {"\tBackUp", "BackUp"},
    // Bytes above 0x7F are part of a name, not blanks: compared as unsigned.
    {"C:\\Setup\\\xe9\xa0\x80visaprep.exe Copy", "Copy"},
    {"\"C:\\\xff\xfe\x80 dir\\visaprep.exe\" RemoveVisa32", "RemoveVisa32"},
    {"visaprep.exe \xe9t\xe9", "\xe9t\xe9"},
};

TEST(CommandTail, FollowsTheStartUpRule) {
  fake::Reset();
  for (const TailRow& row : kTailRows) {
    EXPECT_EQ(std::string(CommandTailOf(row.raw)), row.tail) << "raw: [" << row.raw << "]";
  }
}

// With a double-byte code page a trail byte may equal a quote; the quoted
// program name must not end there.
const TailRow kDoubleByteRows[] = {
    {"\"C:\\\x81\"dir\\visaprep.exe\" BackUp", "BackUp"},
    {"\"C:\\\x81\\\" Copy", "Copy"},
    // A lead byte just before the NUL: the scan stops at the NUL.
    {"\"C:\\dir\x81", ""},
    // Outside quotes the rule does not look at lead bytes.
    {"C:\\\x81\"x BackUp", "BackUp"},
};

TEST(CommandTail, TakesTrailBytesAlongInsideQuotes) {
  fake::Reset();
  fake::Machine().leadBytes = {0x81};
  for (const TailRow& row : kDoubleByteRows) {
    EXPECT_EQ(std::string(CommandTailOf(row.raw)), row.tail) << "raw: [" << row.raw << "]";
  }
}

}  // namespace
