// Stand-ins for the three phases, linked into the dispatch tests in place of
// the real ones, so the verb table is seen as the calls it makes.
#include <string>

#include "app/Phases.h"

std::string gPhaseCalls;

void BackUpConfiguration() { gPhaseCalls += "backup;"; }
void RestoreConfiguration() { gPhaseCalls += "restore;"; }
void SetAsideForeignLibrary(const char* systemDirectory) {
  gPhaseCalls += std::string("set-aside ") + systemDirectory + ";";
}
void RestoreForeignLibrary(const char* systemDirectory) {
  gPhaseCalls += std::string("put back ") + systemDirectory + ";";
}
