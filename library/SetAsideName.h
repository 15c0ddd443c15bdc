#pragma once

#include "text/Text.h"

// A library is set aside as visa32.<company>.dll; a second library of the
// same company, with other bytes, as visa32.<company>.2.dll, and so on.
constexpr int kMostSetAsideCopies = 9;

// The path of set-aside copy `number` (1 to kMostSetAsideCopies) of a
// library of `company` in `systemDirectory`. False for the kept company,
// for a name that is no plain file name (the name comes from the library
// itself, and must not choose where its copy lands), and for a path that
// does not fit.
bool ComposeSetAsideName(char (&path)[kTextSize], const char* systemDirectory, const char* company,
                         int number);
