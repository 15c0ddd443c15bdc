// Copies that a reader, a killed run or a power cut sees whole or not at all.
// Every file visaprep writes is first written under a temporary name in its
// destination's folder, flushed to the disk, and only then given its name in
// one step; so a file under one of visaprep's names is always a whole copy,
// and what a later run trusts (a backup, a set-aside library) can be trusted.
#pragma once

#include <cstdint>

// The temporary name, in the destination's folder. A file of this name is
// what a run cut off mid-copy left; the next run's copy replaces it, and
// anyone may delete it. It is no longer than "visaconf.ini", whose path
// sets how long a framework directory may be, so it moves no limit.
constexpr const char* kTemporaryName = "visaprep.tmp";

// Copies `source` to `destination` through `temporary`, with the source's
// last-write time and, on a new file, the time of the copy as its creation
// time. With `replace`, an
// existing destination is replaced and keeps what Windows keeps of a file
// overwritten in place; without it, an existing destination makes the copy
// fail with ERROR_ALREADY_EXISTS or ERROR_FILE_EXISTS. Gives 0 once the
// destination stands whole on the disk, or else the error of the step that
// failed (ERROR_FILE_NOT_FOUND: there is no source), with the temporary
// file removed and the source untouched. The destination is as it was,
// unless Windows took it away while replacing it and the rename that
// should have finished the step failed too.
std::uint32_t CopyFileWhole(const char* source, const char* temporary, const char* destination,
                            bool replace);

// Gives the file `path` the time of now as its creation time, on the disk,
// as if it had just been copied; true when done.
bool DateAsMadeNow(const char* path);

// Deletes `path` once whatever briefly holds it lets go; nonzero when deleted.
int DeleteFileWhenFree(const char* path);

// Renames `existing` to `newName` once the disk holds the new name, never
// over a file that has that name; nonzero when done.
int MoveFileWhenFree(const char* existing, const char* newName);

// True when both files can be read and hold the same bytes; a folder, a
// missing or unreadable file, or one that differs anywhere, is not the same.
bool SameBytes(const char* one, const char* other);
