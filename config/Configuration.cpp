// Keeps the VISA configuration file across an install: "BackUp" copies it
// aside before the installer replaces it, "Copy" puts the copy back after.
#include "app/Phases.h"
#include "config/FrameworkPath.h"
#include "platform/Platform.h"
#include "text/Text.h"

namespace {

constexpr const char* kConfigurationName = "Tavrex\\visaconf.ini";
constexpr const char* kBackupName = "Tavrex\\visaini.bak";

// Both paths or neither: a phase that cannot name both files touches none.
bool ComposeConfigurationPaths(char (&configuration)[kTextSize], char (&backup)[kTextSize]) {
  char directory[kTextSize];
  // The stored value is a prefix, joined without a separator of our own.
  return ReadFrameworkPath(directory) &&
         ComposeText(configuration, {directory, kConfigurationName}) &&
         ComposeText(backup, {directory, kBackupName});
}

}  // namespace

void BackUpConfiguration() {
  char configuration[kTextSize];
  char backup[kTextSize];
  if (!ComposeConfigurationPaths(configuration, backup)) {
    return;
  }
  if (Platform::CopyFileA(configuration, backup, 0) != 0) {
    return;
  }
  // With no configuration file left, an old backup would later be restored
  // over whatever the new installation writes. Any other failure (no
  // "Tavrex" folder, a locked file) says nothing about the backup's worth.
  if (Platform::GetLastError() == Platform::kErrorFileNotFound) {
    Platform::DeleteFileA(backup);
  }
}

void RestoreConfiguration() {
  char configuration[kTextSize];
  char backup[kTextSize];
  if (!ComposeConfigurationPaths(configuration, backup)) {
    return;
  }
  // The backup goes only once it stands as the configuration file again.
  if (Platform::CopyFileA(backup, configuration, 0) != 0) {
    Platform::DeleteFileA(backup);
  }
}
