#pragma once

// The command tail of a raw command line as Windows start-up code derives it:
// the program name (quoted or not) and the blanks and control bytes after it
// are skipped; the rest is returned untouched, trailing blanks included.
// The result points into `rawCommandLine`.
const char* CommandTailOf(const char* rawCommandLine);
