// Keeps the VISA configuration file across an install: "BackUp" copies it
// aside before the installer replaces it, "Copy" puts the copy back after.
#include "app/Phases.h"
#include "config/FrameworkPath.h"
#include "copy/WholeCopy.h"
#include "platform/Platform.h"
#include "text/Text.h"

namespace {

constexpr const char* kConfigurationName = "Tavrex\\visaconf.ini";
constexpr const char* kBackupName = "Tavrex\\visaini.bak";

struct ConfigurationPaths {
  char configuration[kTextSize];
  char backup[kTextSize];
  char temporary[kTextSize];
};

// All paths or none: a phase that cannot name every file touches none. The
// temporary name is no longer than the configuration's, so it fits whenever
// that does.
bool ComposeConfigurationPaths(ConfigurationPaths& paths) {
  char directory[kTextSize];
  // The stored value is a prefix, joined without a separator of our own.
  return ReadFrameworkPath(directory) &&
         ComposeText(paths.configuration, {directory, kConfigurationName}) &&
         ComposeText(paths.backup, {directory, kBackupName}) &&
         ComposeText(paths.temporary, {directory, "Tavrex\\", kTemporaryName});
}

}  // namespace

void BackUpConfiguration() {
  ConfigurationPaths paths;
  if (!ComposeConfigurationPaths(paths)) {
    return;
  }
  const std::uint32_t error =
      CopyFileWhole(paths.configuration, paths.temporary, paths.backup, true);
  // With no configuration file left, an old backup would later be restored
  // over whatever the new installation writes. Any other failure (no
  // "Tavrex" folder, a locked file) says nothing about the backup's worth.
  if (error == Platform::kErrorFileNotFound) {
    DeleteFileWhenFree(paths.backup);
  }
}

void RestoreConfiguration() {
  ConfigurationPaths paths;
  if (!ComposeConfigurationPaths(paths)) {
    return;
  }
  // The backup goes only once it stands as the configuration file again,
  // whole and on the disk.
  if (CopyFileWhole(paths.backup, paths.temporary, paths.configuration, true) == 0) {
    DeleteFileWhenFree(paths.backup);
  }
}
