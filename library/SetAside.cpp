#include "app/Phases.h"

void SetAsideForeignLibrary(const char* systemDirectory) { static_cast<void>(systemDirectory); }
