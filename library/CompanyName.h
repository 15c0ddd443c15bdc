#pragma once

#include "text/Text.h"

// Reads "CompanyName" from the version information of the file at `path`:
// the strings of language 0409, then of 0000, in the code page of the
// file's first translation entry. Gives false, leaving `companyName`
// untouched, when the file, its version information or the name is missing,
// or the name does not fit the buffer whole. `unreadable`, when given, is
// set on false to whether the file may well have a name that could not be
// read at that moment (held open, no memory): a different answer from "it
// has none", which a caller choosing among files must not take for it.
bool QueryCompanyName(const char* path, char (&companyName)[kTextSize], bool* unreadable = nullptr);
