// The phase operations that RunCommand calls; config/ and library/
// give their bodies. None reports an outcome: each ends quietly on failure,
// and what it did shows only in the files it works on.
#pragma once

void BackUpConfiguration();
void RestoreConfiguration();

// `systemDirectory` holds a path without a trailing separator.
void SetAsideForeignLibrary(const char* systemDirectory);
void RestoreForeignLibrary(const char* systemDirectory);
