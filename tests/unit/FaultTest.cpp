// Every platform call of every verb, from every interesting starting state,
// failed in turn with each error Windows gives for it, once or for good.
// After each round the invariants must hold, whatever path the run took:
// no bytes the program is trusted with are lost, nothing else is touched,
// every block and key is released, and the exit status is 0.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "app/RunCommand.h"
#include "tests/fake/FakePlatform.h"

namespace {

const std::string kConf = "C:\\fw\\Tavrex\\visaconf.ini";
const std::string kBak = "C:\\fw\\Tavrex\\visaini.bak";
const std::string kLib = "C:\\windows\\syswow64\\visa32.dll";
const std::string kAcmeCopy = "C:\\windows\\syswow64\\visa32.Acme.dll";
const std::string kOther = "C:\\fw\\Tavrex\\other.ini";

struct Start {
  bool conf;
  bool bak;
  const char* company;  // of visa32.dll; null: no library
  bool earlierCopy;
};

void Install(const Start& start) {
  fake::Reset();
  fake::State& machine = fake::Machine();
  machine.keyExists = true;
  machine.frameworkPath = fake::RegistryString("C:\\fw\\");
  machine.directories = {"C:\\fw", "C:\\fw\\Tavrex", "C:\\windows\\syswow64"};
  machine.files[kOther].bytes = "unrelated";
  if (start.conf) machine.files[kConf].bytes = "conf";
  if (start.bak) machine.files[kBak].bytes = "bak";
  if (start.earlierCopy) machine.files[kAcmeCopy].bytes = "earlier";
  if (start.company != nullptr) {
    fake::File& library = machine.files[kLib];
    library.bytes = "lib";
    library.version = fake::VersionValues{
        {"\\", "fixed"},
        {"\\VarFileInfo\\Translation", std::string("\x09\x04\xB0\x04", 4)},
        {"\\StringFileInfo\\040904B0\\CompanyName", std::string(start.company) + '\0'}};
  }
}

bool Holds(const std::map<std::string, fake::File>& files, const std::string& path,
           const std::string& bytes) {
  const auto found = files.find(path);
  return found != files.end() && found->second.bytes == bytes;
}

// The invariants, given the start and the verb; empty when all hold.
std::string Broken(const Start& start, const std::string& verb) {
  const fake::State& machine = fake::Machine();
  const auto& files = machine.files;
  const bool backUp = verb == "BackUp" || verb == "BackUp RemoveVisa32";
  const bool restore = verb == "Copy";
  const bool setAside = verb == "RemoveVisa32" || verb == "BackUp RemoveVisa32";

  // "BackUp" may replace the backup; "Copy" may replace the configuration.
  if (start.conf && !restore && !Holds(files, kConf, "conf") && !Holds(files, kBak, "conf")) {
    return "configuration lost";
  }
  if (start.bak && !backUp && !Holds(files, kBak, "bak") && !Holds(files, kConf, "bak")) {
    return "backup lost";
  }
  if (start.company != nullptr && !Holds(files, kLib, "lib")) {
    const std::string copy = std::string("C:\\windows\\syswow64\\visa32.") + start.company + ".dll";
    // The one loss allowed: a copy of the same company already stands there.
    const bool copyStands = start.earlierCopy && copy == kAcmeCopy;
    if (!setAside || (!Holds(files, copy, "lib") && !copyStands)) {
      return "library lost";
    }
  }
  if (!Holds(files, kOther, "unrelated") ||
      (start.earlierCopy && !Holds(files, kAcmeCopy, "earlier"))) {
    return "an unrelated file changed";
  }
  const std::set<std::string> allowed = {
      kConf, kBak, kLib, kOther, kAcmeCopy, "C:\\windows\\syswow64\\visa32.Quarvello.dll"};
  for (const auto& [path, file] : files) {
    if (allowed.count(path) == 0) {
      return "unexpected file " + path;
    }
  }
  if (!machine.blocks.empty()) {
    return "version block not released";
  }
  if (machine.openKeys != 0) {
    return "registry key left open";
  }
  return "";
}

TEST(Faults, NothingIsLostWhateverCallFails) {
  const char* const verbs[] = {"BackUp", "Copy", "RemoveVisa32", "BackUp RemoveVisa32"};
  const char* const companies[] = {"Acme", "Quarvello", nullptr};
  int rounds = 0;
  for (const char* verb : verbs) {
    for (int shape = 0; shape < 2 * 2 * 3 * 2; ++shape) {
      const Start start = {(shape & 1) != 0, (shape & 2) != 0, companies[(shape >> 2) % 3],
                           shape >= 12};
      for (int call = 1;; ++call) {
        bool injected = false;
        for (std::size_t choice = 0; choice < 6; ++choice) {
          for (bool persistent : {false, true}) {
            Install(start);
            fake::Machine().fault = {call, 0, persistent, choice};
            ASSERT_EQ(RunCommand(verb), 0);
            injected = injected || fake::Machine().calls >= call;
            const std::string broken = Broken(start, verb);
            ASSERT_EQ(broken, "") << verb << ", shape " << shape << ", call " << call << " ("
                                  << (fake::Machine().calls >= call
                                          ? fake::Machine().callNames[call - 1]
                                          : "none")
                                  << "), choice " << choice << (persistent ? ", for good" : "");
            ++rounds;
          }
        }
        if (!injected) {
          break;
        }
      }
    }
  }
  EXPECT_GT(rounds, 1000);
}

}  // namespace
