#include "tests/wine/WineHarness.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace wine {
namespace {

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex.empty() ? "-" : hex;
}

// The environment variable `name`; throws when it is not set.
std::string Required(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    throw std::runtime_error(std::string(name) + " is not set");
  }
  return value;
}

// Runs a host program and gives its exit status and standard output, and
// its standard error apart: Wine's own diagnostics are not the program's
// output, but they say why a run that printed nothing failed. While it runs,
// `cutWhen`, if set, is asked every few milliseconds whether to end every
// process of the prefix now, as a power cut would.
int Spawn(const std::vector<std::string>& arguments, std::string* output, std::string* errors,
          const std::function<bool()>& cutWhen = {}, bool* wasCut = nullptr) {
  // Close-on-exec, so that only the program's standard handles reach it,
  // and no Wine process it starts keeps our end of the pipe open.
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    return -1;
  }
  char errorsName[] = "/tmp/visaprep-stderr-XXXXXX";
  const int errorsFile = mkostemp(errorsName, O_CLOEXEC);
  unlink(errorsName);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  if (errorsFile >= 0) {
    posix_spawn_file_actions_adddup2(&actions, errorsFile, STDERR_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  pid_t child = 0;
  const int started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  char chunk[512];
  ssize_t got = 0;
  bool cut = false;
  for (pollfd ready = {pipeEnds[0], POLLIN, 0};;) {
    if (cutWhen && !cut && cutWhen()) {
      cut = true;
      std::string ignored;
      Spawn({SourceFile("tests/wine/WinePrefix.sh").string(), "kill", Required("WINEPREFIX")},
            &ignored, &ignored);
    }
    if (poll(&ready, 1, cutWhen && !cut ? 2 : -1) == 0) {
      continue;
    }
    if ((got = read(pipeEnds[0], chunk, sizeof chunk)) <= 0) {
      break;
    }
    output->append(chunk, static_cast<std::size_t>(got));
  }
  close(pipeEnds[0]);
  int status = 0;
  const bool waited = started == 0 && waitpid(child, &status, 0) >= 0;
  if (wasCut != nullptr) {
    *wasCut = cut;
  }
  if (errorsFile >= 0) {
    lseek(errorsFile, 0, SEEK_SET);
    while ((got = read(errorsFile, chunk, sizeof chunk)) > 0) {
      errors->append(chunk, static_cast<std::size_t>(got));
    }
    close(errorsFile);
  }
  if (!waited) {
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Prefix Discover() {
  Prefix prefix;
  prefix.flavour = Required("VISAPREP_FLAVOUR");
  const char* loader = std::getenv("WINELOADER");
  prefix.loader = loader != nullptr ? loader : "wine";
  const fs::path root = Required("WINEPREFIX");
  // The prefix's own display, which its Wine processes were started with.
  const std::string display = ReadFile(root.string() + ".display");
  if (!display.empty()) {
    setenv("DISPLAY", (":" + display.substr(0, display.find('\n'))).c_str(), 1);
  }
  prefix.driveC = root / "drive_c";
  const fs::path windows = prefix.driveC / "windows";
  // A 64-bit prefix has a syswow64 folder even where no 32-bit program runs,
  // so only the flavour tells whether visaprep lives in WoW64.
  if (prefix.flavour == "win64") {
    prefix.system32 = windows / "syswow64";
    prefix.system64 = windows / "system32";
    prefix.systemDirectory = "C:\\windows\\syswow64";
  } else {
    prefix.system32 = windows / "system32";
    prefix.systemDirectory = "C:\\windows\\system32";
  }
  const fs::path tools = prefix.driveC / "tools";
  fs::create_directories(tools);
  fs::copy_file(fs::path(Required("VISAPREP_BIN")) / "visaprep.exe", tools / "visaprep.exe",
                fs::copy_options::overwrite_existing);
  return prefix;
}

}  // namespace

Registry StringValue(const std::string& text) { return {"own", "sz", text + '\0'}; }

const Prefix& CurrentPrefix() {
  static const Prefix prefix = Discover();
  return prefix;
}

Outcome Run(const Registry& registry, const std::string& commandLine, const Launch& launch) {
  const Prefix& prefix = CurrentPrefix();
  const fs::path plantedCopy = prefix.driveC / "tools" / "version.dll";
  if (launch.planted) {
    fs::copy_file(fs::path(Required("VISAPREP_BIN")) / "test" / "planted" / "version.dll",
                  plantedCopy, fs::copy_options::overwrite_existing);
    setenv("WINEDLLOVERRIDES", "version=n,b", 1);
  }
  // The driver names views by their width; the 64-bit build sees the 64-bit one.
  const bool own64 = prefix.flavour == "x64";
  std::string view = registry.view;
  if (view != "none") {
    view = (view == "own") == own64 ? "64" : "32";
  }
  // Under WoW64 the driver is a 64-bit program, as Explorer or a deployment
  // tool is on 64-bit Windows; and where 32-bit programs are emulated, every
  // one that the tests need not start saves seconds.
  const std::string driver =
      Required("VISAPREP_BIN") + (prefix.flavour == "win64" ? "/x64" : "") + "/test/driver.exe";
  const std::vector<std::string> arguments = {prefix.loader,
                                              driver,
                                              view,
                                              registry.type,
                                              registry.bytes ? Hex(*registry.bytes) : "-",
                                              launch.hold,
                                              launch.program,
                                              Hex(commandLine)};
  // The driver prints its report only once visaprep has exited, and before
  // starting visaprep it changes nothing but the registry value, which every
  // attempt sets again. A run that printed nothing has almost surely not run
  // visaprep, so it is tried again, and said so: Wine once failed to start
  // that way in a fresh prefix, in a run that was never reproduced.
  Outcome outcome;
  std::string errors;
  bool cut = false;
  for (int attempt = 1; attempt <= 3 && outcome.report.empty() && !cut; ++attempt) {
    if (attempt > 1) {
      std::fprintf(stderr, "the driver reported nothing (status %d), trying again: %s\n",
                   outcome.driverStatus, errors.c_str());
    }
    errors.clear();
    outcome.driverStatus = Spawn(arguments, &outcome.report, &errors, launch.cutWhen, &cut);
  }
  if (launch.planted) {
    unsetenv("WINEDLLOVERRIDES");
    fs::remove(plantedCopy);
  }
  if (!outcome.report.empty() && outcome.report.back() == '\n') {
    outcome.report.pop_back();
  }
  if (!outcome.report.empty() && outcome.report.back() == '\r') {
    outcome.report.pop_back();
  }
  if (cut) {
    outcome.report = "cut";
  } else if (outcome.driverStatus != 0) {
    outcome.report += "[driver status " + std::to_string(outcome.driverStatus) + "] " + errors;
  }
  return outcome;
}

std::string BuildInstaller(const std::string& technology, const fs::path& payload,
                           const std::string& name, const std::string& define, bool standIn,
                           const fs::path& visaprep) {
  const Prefix& prefix = CurrentPrefix();
  const bool x64 = prefix.flavour == "x64";
  const fs::path out = prefix.driveC / "tools" / name;
  // How each engine is told a define and, as a host or a Windows program,
  // a file; the example file itself comes last.
  std::string flag = "-D";
  std::string drive;
  const auto file = [&drive](const fs::path& path) { return drive + path.string(); };
  std::vector<std::string> command;
  std::string example;
  if (technology == "nsis") {
    command = {
        "makensis",
        "-V2",
        "-DTARGET=" + std::string(x64 || define.find("AMD64") != std::string::npos ? "amd64-unicode"
                                                                                   : "x86-unicode"),
        "-DOUTFILE=" + out.string(),
        "-DVISAPREP_UNINSTALL_WAIT=1",
        "-DVISAPREP_ID=VISA library"};
    example = "examples/installer.nsi";
    // The 64-bit build of visaprep works in the 64-bit system folder.
    if (x64) {
      command.push_back("-DVISAPREP_64BIT_PROGRAM");
    }
  } else if (technology == "inno") {
    // A Windows program: through the drive that Wine maps to the host's root.
    drive = "Z:";
    flag = "/D";
    command = {prefix.loader, SourceFile("tests/inno/node_modules/innosetup/bin/ISCC.exe").string(),
               "/Q", "/O" + file(out.parent_path()), "/DOUTFILE=" + out.stem().string()};
    example = "examples/installer.iss";
    // A row holds the uninstaller's mutex throughout, and wants the stop soon;
    // every installation shows what its [Run] entry saw.
    command.push_back("/DVISAPREP_UNINSTALL_WAIT=1");
    command.push_back("/DRUN_SEES_CONFIGURATION=1");
    // The compiler's threads do not survive qemu-user.
    const char* kind = std::getenv("VISAPREP_WINE32_KIND");
    if (kind != nullptr && std::string(kind) == "qemu") {
      command.push_back("/DEMULATED=1");
    }
  } else {
    flag = "";
    command = {SourceFile("tests/wine/BuildMsi.sh").string(), out.string(),
               x64 || define.find("X64") != std::string::npos ? "x64" : "x86",
               "VISAPREP_RECORD_GUID=9A4D2C61-3E7B-4F08-B5C2-7D1E6A9F3B40"};
    // The 64-bit build of visaprep works in the 64-bit system folder.
    if (x64) {
      command.push_back("VISAPREP_SYSTEM=System64Folder");
    }
    example = "examples/installer.wxs";
  }
  fs::path program = Required("VISAPREP_BIN") + (standIn ? "/test/standin.exe" : "/visaprep.exe");
  if (!visaprep.empty()) {
    program = visaprep;
  }
  command.push_back(flag + "VISAPREP=" + file(program));
  command.push_back(flag + "PAYLOAD=" + file(payload));
  std::istringstream defines(define);
  for (std::string each; std::getline(defines, each, ',');) {
    if (!each.empty()) {
      command.push_back(flag + each + (each.find('=') == std::string::npos ? "=1" : ""));
    }
  }
  if (technology == "nsis") {
    command.push_back("-X!include " + SourceFile("tests/wine/Checked.nsh").string());
  }
  command.push_back(file(SourceFile(example)));
  if (technology == "msi") {
    // A WiX package names its fragments on the compiler's command line.
    command.push_back(file(SourceFile("installer/visaprep.wxs")));
  }
  // A compiler that failed without a word has almost surely not run: the
  // Inno Setup compiler under Wine once exited so, in one build of hundreds
  // that all built the same script. It is tried again, and said so.
  std::string output;
  std::string errors;
  int status = -1;
  for (int attempt = 1; attempt <= 2 && status != 0; ++attempt) {
    if (attempt > 1) {
      std::fprintf(stderr, "the %s build said nothing (status %d), trying again\n",
                   technology.c_str(), status);
    }
    output.clear();
    errors.clear();
    status = Spawn(command, &output, &errors);
    if (status != 0 && !(output + errors).empty()) {
      break;
    }
  }
  return status == 0 ? std::string() : technology + " build failed:\n" + output + errors;
}

Files FilesBelow(const fs::path& root, const std::string& pattern) {
  Files files;
  if (!fs::exists(root)) {
    return files;
  }
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).generic_string();
    if (entry.is_regular_file() && name.find(pattern) != std::string::npos) {
      files[name] = ReadFile(entry.path());
    }
  }
  return files;
}

std::set<std::string> FoldersBelow(const fs::path& root) {
  std::set<std::string> folders;
  if (!fs::exists(root)) {
    return folders;
  }
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_directory()) {
      folders.insert(fs::relative(entry.path(), root).generic_string());
    }
  }
  return folders;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

fs::path SourceFile(const std::string& name) {
  return fs::path(Required("VISAPREP_SOURCE")) / name;
}

std::string TestLibrary(const std::string& name) {
  const Files files = FilesBelow(fs::path(Required("VISAPREP_BIN")) / "test" / "libraries");
  const auto found = files.find(name + ".dll");
  if (found == files.end()) {
    throw std::runtime_error("no test library " + name);
  }
  return found->second;
}

std::set<std::string> FileNamesBelow(const fs::path& root, const std::string& except) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).generic_string();
    if (!entry.is_directory() && name.find(except) == std::string::npos) {
      names.insert(name);
    }
  }
  return names;
}

std::set<std::string> Changes(const std::set<std::string>& before,
                              const std::set<std::string>& after) {
  std::set<std::string> changes;
  for (const std::string& name : after) {
    if (before.count(name) == 0) {
      changes.insert("+" + name);
    }
  }
  for (const std::string& name : before) {
    if (after.count(name) == 0) {
      changes.insert("-" + name);
    }
  }
  return changes;
}

}  // namespace wine
