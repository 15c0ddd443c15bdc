// Every platform call of every verb, from every interesting starting state,
// failed in turn with each error Windows gives for it, once or for good, or
// cut off there by a kill or a power cut (in the middle of a write too).
// After each round the invariants must hold, whatever path the run took:
// no bytes the program is trusted with are lost, a file under a name that a
// later run trusts is whole, nothing else is touched, and a run that was
// not cut off released every block and key and exited with 0. Then a whole
// installation, cut off the same way in any of its runs and run again, must
// end as if nothing had happened.
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
const std::string kAcmeSecond = "C:\\windows\\syswow64\\visa32.Acme.2.dll";
// Where a copy goes when both names before it are taken.
const std::string kAcmeThird = "C:\\windows\\syswow64\\visa32.Acme.3.dll";
const std::string kOther = "C:\\fw\\Tavrex\\other.ini";
const std::string kConfTemporary = "C:\\fw\\Tavrex\\visaprep.tmp";
const std::string kLibTemporary = "C:\\windows\\syswow64\\visaprep.tmp";

struct Start {
  bool conf;
  bool bak;
  const char* company;  // of visa32.dll; null: no library
  // visa32.Acme.dll: none, an older library of Acme's ("earlier"), or the
  // same bytes as visa32.dll ("lib").
  const char* earlierCopy;
  // visa32.Acme.2.dll, made before visa32.Acme.dll: none or "lib".
  const char* secondCopy = nullptr;
};

// Each of the site's files has a date of its own, which its copies carry.
std::uint64_t DateOf(const std::string& bytes) {
  return bytes.empty() ? 0 : 500 + static_cast<unsigned char>(bytes[0]);
}

fake::VersionValues VersionOf(const std::string& company) {
  return {{"\\", "fixed"},
          {"\\VarFileInfo\\Translation", std::string("\x09\x04\xB0\x04", 4)},
          {"\\StringFileInfo\\040904B0\\CompanyName", company + '\0'}};
}

void Install(const Start& start) {
  fake::Reset();
  fake::State& machine = fake::Machine();
  machine.keyExists = true;
  machine.frameworkPath = fake::RegistryString("C:\\fw\\");
  machine.directories = {"C:\\fw", "C:\\fw\\Tavrex", "C:\\windows\\syswow64"};
  machine.files[kOther].bytes = "unrelated";
  if (start.conf) machine.files[kConf].bytes = "conf";
  if (start.bak) machine.files[kBak].bytes = "bak";
  if (start.earlierCopy != nullptr) machine.files[kAcmeCopy] = {start.earlierCopy, {}, false, 2};
  if (start.secondCopy != nullptr) machine.files[kAcmeSecond] = {start.secondCopy, {}, false, 1};
  machine.versions["earlier"] = VersionOf("Acme");
  machine.versions["lib"] = VersionOf(start.company != nullptr ? start.company : "Acme");
  if (start.company != nullptr) {
    machine.files[kLib].bytes = "lib";
  }
  for (auto& [path, file] : machine.files) {
    file.lastWrite = DateOf(file.bytes);
  }
}

bool Holds(const std::map<std::string, fake::File>& files, const std::string& path,
           const std::string& bytes) {
  const auto found = files.find(path);
  return found != files.end() && found->second.bytes == bytes;
}

// What later runs trust is never a part of a file, nor zeros.
std::string NotWhole(const std::map<std::string, fake::File>& files) {
  if (files.count(kBak) != 0 && !Holds(files, kBak, "conf") && !Holds(files, kBak, "bak")) {
    return "a backup that is not whole";
  }
  for (const std::string& copy : {kAcmeCopy, kAcmeSecond, kAcmeThird}) {
    if (files.count(copy) != 0 && !Holds(files, copy, "lib") && !Holds(files, copy, "earlier")) {
      return "a set-aside library that is not whole";
    }
  }
  const std::set<std::string> site = {"conf", "bak", "lib", "earlier"};
  for (const std::string& name : {kConf, kBak, kLib, kAcmeCopy, kAcmeSecond, kAcmeThird}) {
    const auto found = files.find(name);
    if (found != files.end() && site.count(found->second.bytes) != 0 &&
        found->second.lastWrite != DateOf(found->second.bytes)) {
      return "a copy not dated as its source: " + name;
    }
  }
  return "";
}

// The invariants, given the start and the verb; empty when all hold.
std::string Broken(const Start& start, const std::string& verb, bool cut) {
  const fake::State& machine = fake::Machine();
  const auto& files = machine.files;
  const bool backUp = verb == "BackUp" || verb == "BackUp RemoveVisa32";
  const bool restore = verb == "Copy";
  const bool setAside = verb == "RemoveVisa32" || verb == "BackUp RemoveVisa32";
  const bool putBack = verb == "RestoreVisa32";

  // "BackUp" may replace the backup; "Copy" may replace the configuration.
  if (start.conf && !restore && !Holds(files, kConf, "conf") && !Holds(files, kBak, "conf")) {
    return "configuration lost";
  }
  if (start.bak && !backUp && !Holds(files, kBak, "bak") && !Holds(files, kConf, "bak")) {
    return "backup lost";
  }
  if (start.company != nullptr && !Holds(files, kLib, "lib")) {
    const std::string copy = std::string("C:\\windows\\syswow64\\visa32.") + start.company + ".dll";
    if (!setAside || (!Holds(files, copy, "lib") && !Holds(files, kAcmeSecond, "lib") &&
                      !Holds(files, kAcmeThird, "lib"))) {
      return "library lost";
    }
  }
  // A set-aside copy stays as it is, unless it went back into an empty place.
  const bool filled = putBack && start.company == nullptr && files.count(kLib) != 0;
  if (!Holds(files, kOther, "unrelated") ||
      (start.earlierCopy != nullptr && !Holds(files, kAcmeCopy, start.earlierCopy) &&
       !(filled && Holds(files, kLib, start.earlierCopy))) ||
      (start.secondCopy != nullptr && !Holds(files, kAcmeSecond, start.secondCopy) &&
       !(filled && Holds(files, kLib, start.secondCopy)))) {
    return "an unrelated file changed";
  }
  // A put-back takes the copy made last, and that is the library a
  // set-aside took away.
  const auto created = [&files](const std::string& path) {
    return files.count(path) != 0 ? files.at(path).created + 1 : 0;
  };
  std::string last = kAcmeCopy;
  for (const std::string& copy : {kAcmeSecond, kAcmeThird}) {
    last = created(copy) > created(last) ? copy : last;
  }
  // A copy that the platform says has no version information is no copy;
  // one that could not be read now may be the newest, and nothing goes back.
  bool versionNone = false;
  for (int call = machine.fault.call; call >= 1 && call <= machine.calls; ++call) {
    const std::string& name = machine.callNames[call - 1];
    versionNone = versionNone || name == "VerQueryValueA" ||
                  (name == "GetFileVersionInfoSizeA" &&
                   fake::ErrorsFor(name)[machine.fault.choice % 2] == 1812);
    if (!machine.fault.persistent || machine.fault.cut != fake::Cut::kNone) {
      break;
    }
  }
  if (filled && !versionNone && created(last) > created(kLib)) {
    return "an older copy went back";
  }
  if (setAside && start.company != nullptr && files.count(kLib) == 0 &&
      !Holds(files, last, "lib")) {
    return "the copy made last is not the library";
  }
  if (const std::string broken = NotWhole(files); !broken.empty()) {
    return broken;
  }
  std::set<std::string> allowed = {kConf, kBak, kLib, kOther, kAcmeCopy, kAcmeSecond, kAcmeThird};
  // Only a run that was cut off, or could not delete, leaves its temporary file.
  if (cut || machine.failedADeletion) {
    allowed.insert({kConfTemporary, kLibTemporary});
  }
  for (const auto& [path, file] : files) {
    if (allowed.count(path) == 0) {
      return "unexpected file " + path;
    }
  }
  if (cut) {
    return "";  // the process is gone, and its blocks and keys with it
  }
  if (!machine.blocks.empty()) {
    return "version block not released";
  }
  if (machine.openKeys != 0) {
    return "registry key left open";
  }
  return "";
}

// Each way a run can end at a call: failed with each error, once or for
// good, or cut off by a kill or a power cut, a write in part.
std::vector<fake::Fault> EndingsAt(int call) {
  std::vector<fake::Fault> endings;
  for (std::size_t choice = 0; choice < 6; ++choice) {
    for (bool persistent : {false, true}) {
      endings.push_back({call, 0, persistent, choice});
    }
  }
  for (fake::Cut cut : {fake::Cut::kKill, fake::Cut::kPower}) {
    for (int writtenPart : {0, 1}) {
      endings.push_back({call, 0, false, 0, cut, writtenPart});
    }
  }
  return endings;
}

std::string Describe(const fake::Fault& fault) {
  const fake::State& machine = fake::Machine();
  const std::string name =
      fault.call > 0 && machine.calls >= fault.call ? machine.callNames[fault.call - 1] : "none";
  const char* const cuts[] = {"failed", "killed", "power cut"};
  return "call " + std::to_string(fault.call) + " (" + name + ") " +
         cuts[static_cast<int>(fault.cut)] + ", choice " + std::to_string(fault.choice) +
         (fault.persistent ? ", for good" : "") + ", part " + std::to_string(fault.writtenPart);
}

// Runs `verb`, as the fault plan lets it; true when it was cut off.
bool RunCut(const char* verb) {
  try {
    EXPECT_EQ(RunCommand(verb), 0) << verb;
    return false;
  } catch (const fake::Stopped&) {
    return true;
  }
}

// The files by name, with their bytes and dates.
std::map<std::string, std::pair<std::string, std::uint64_t>> Snapshot() {
  std::map<std::string, std::pair<std::string, std::uint64_t>> files;
  for (const auto& [path, file] : fake::Machine().files) {
    files[path] = {file.bytes, file.lastWrite};
  }
  return files;
}

TEST(Faults, NothingIsLostWhateverCallFails) {
  const char* const verbs[] = {"BackUp", "Copy", "RemoveVisa32", "BackUp RemoveVisa32",
                               "RestoreVisa32"};
  const char* const companies[] = {"Acme", "Quarvello", nullptr};
  const Start copies[] = {{false, false, nullptr, nullptr},
                          {false, false, nullptr, "earlier"},
                          {false, false, nullptr, "lib"},
                          {false, false, nullptr, "earlier", "lib"}};
  // The calls that a brief hold is waited out in, and the errors of a hold.
  const std::set<std::string> retried = {"CreateFileA", "ReplaceFileA", "MoveFileExA",
                                         "DeleteFileA"};
  const std::uint32_t holds[] = {Platform::kErrorSharingViolation, Platform::kErrorAccessDenied,
                                 Platform::kErrorLockViolation};
  int rounds = 0;
  for (const char* verb : verbs) {
    for (int shape = 0; shape < 2 * 2 * 3 * 4; ++shape) {
      const Start start = {(shape & 1) != 0, (shape & 2) != 0, companies[(shape >> 2) % 3],
                           copies[shape / 12].earlierCopy, copies[shape / 12].secondCopy};
      Install(start);
      RunCut(verb);
      const auto unhindered = Snapshot();
      const std::vector<std::string> calls = fake::Machine().callNames;
      for (int call = 1;; ++call) {
        // A hold that passes changes nothing.
        if (call <= static_cast<int>(calls.size()) && retried.count(calls[call - 1]) != 0) {
          for (const std::uint32_t error : holds) {
            Install(start);
            fake::Machine().fault = {call, error};
            RunCut(verb);
            ASSERT_EQ(Snapshot(), unhindered)
                << verb << ", shape " << shape << ", a hold of " << error << " at call " << call
                << " (" << calls[call - 1] << ")";
          }
        }
        bool reached = false;
        for (const fake::Fault& fault : EndingsAt(call)) {
          Install(start);
          fake::Machine().fault = fault;
          const bool cut = RunCut(verb);
          reached = reached || fake::Machine().calls >= call;
          ASSERT_EQ(Broken(start, verb, cut), "")
              << verb << ", shape " << shape << ", " << Describe(fault);
          ++rounds;
        }
        if (!reached) {
          break;
        }
      }
    }
  }
  EXPECT_GT(rounds, 1000);
}

// An installation as the example installers run it: a run cut off before
// "Copy" left a mark, and the next run puts the backup back first; a
// stranger's visaini.bak, with no mark, is never restored. `stopBetween`
// cuts it off between two of its steps instead (1 to 4), where no call is
// made. Gives whether it was cut off.
bool Installation(bool* mark, int stopBetween = 0) {
  fake::State& machine = fake::Machine();
  const auto between = [stopBetween](int step) {
    if (stopBetween == step) {
      fake::CutOff();
    }
  };
  try {
    if (*mark) {
      RunCommand("Copy");
    }
    RunCommand("BackUp RemoveVisa32");
    between(1);
    *mark = true;
    between(2);
    // The installer's own files, written as installers do: not flushed.
    machine.files[kConf] = {"default", fake::Lock::kNone, true};
    machine.files[kLib] = {"quarvello", fake::Lock::kNone, true};
    between(3);
    RunCommand("Copy");
    between(4);
    *mark = machine.files.count(kBak) != 0;
    return false;
  } catch (const fake::Stopped&) {
    return true;
  }
}

TEST(Faults, AnInstallationCutOffAnywhereEndsWholeWhenRunAgain) {
  for (int shape = 0; shape < 4; ++shape) {
    const Start start = {true, (shape & 1) != 0, "Acme", (shape & 2) != 0 ? "earlier" : nullptr};
    // Where the library goes: beside an older library of Acme's, the next name.
    const std::string setAside = start.earlierCopy != nullptr ? kAcmeSecond : kAcmeCopy;
    std::map<std::string, std::string> installed = {
        {kConf, "conf"}, {kLib, "quarvello"}, {setAside, "lib"}, {kOther, "unrelated"}};
    if (start.earlierCopy != nullptr) {
      installed[kAcmeCopy] = "earlier";
    }
    // Cuts off the installation as planned; then checks it and runs it
    // again. Gives whether the plan's call was reached.
    const auto cutOff = [&](const fake::Fault& fault, int between) {
      Install(start);
      fake::State& machine = fake::Machine();
      machine.versions["quarvello"] = machine.versions["lib"];
      machine.versions["quarvello"].back().second = std::string("Quarvello") + '\0';
      machine.fault = fault;
      bool mark = false;
      const bool cut = Installation(&mark, between);
      const bool reached = machine.calls >= fault.call;
      const std::string where = "shape " + std::to_string(shape) + ", between step " +
                                std::to_string(between) + ", " + Describe(fault);
      if (!cut) {
        return reached;
      }
      // Right away: the site's bytes are whole under one of their names, and
      // what later runs trust is whole.
      EXPECT_TRUE(Holds(machine.files, kConf, "conf") || Holds(machine.files, kBak, "conf"))
          << where;
      EXPECT_TRUE(Holds(machine.files, kLib, "lib") || Holds(machine.files, setAside, "lib"))
          << where;
      EXPECT_EQ(NotWhole(machine.files), "") << where;
      // Then the same installation again, to its end.
      machine.fault = {};
      EXPECT_FALSE(Installation(&mark)) << where;
      std::map<std::string, std::string> files;
      for (const auto& [path, file] : machine.files) {
        files[path] = file.bytes;
      }
      EXPECT_EQ(files, installed) << where;
      EXPECT_FALSE(mark) << where;
      return reached;
    };
    for (int between = 1; between <= 4; ++between) {
      for (fake::Cut cut : {fake::Cut::kKill, fake::Cut::kPower}) {
        cutOff({0, 0, false, 0, cut}, between);
      }
    }
    for (int call = 1;; ++call) {
      bool reached = false;
      for (const fake::Fault& fault : EndingsAt(call)) {
        if (fault.cut != fake::Cut::kNone) {
          reached = cutOff(fault, 0) || reached;
        }
      }
      if (!reached) {
        break;
      }
    }
  }
}

}  // namespace
