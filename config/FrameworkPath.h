#pragma once

#include "text/Text.h"

// Reads the framework directory, as stored, from the 32-bit registry view
// that Windows shows this program. Gives false when the key or the value is
// missing, or the value does not fit `directory` as a NUL-terminated string.
bool ReadFrameworkPath(char (&directory)[kTextSize]);
