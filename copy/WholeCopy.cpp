#include "copy/WholeCopy.h"

#include "platform/Platform.h"

namespace {

// A virus scanner or an indexer opens every new file for a moment, and a
// step that meets it then fails with one of these. Such a step is tried
// again a few times, for a little longer each time; a hold that outlasts
// that is a real one.
constexpr int kTries = 6;
constexpr std::uint32_t kFirstPauseMs = 25;

bool TryAgain(int* tried) {
  const std::uint32_t error = Platform::GetLastError();
  const bool passing = error == Platform::kErrorSharingViolation ||
                       error == Platform::kErrorAccessDenied ||
                       error == Platform::kErrorLockViolation;
  if (!passing || ++*tried >= kTries) {
    return false;
  }
  Platform::Sleep(kFirstPauseMs * static_cast<std::uint32_t>(*tried));
  return true;
}

Platform::FileHandle OpenWhenFree(const char* path, std::uint32_t access, std::uint32_t share,
                                  std::uint32_t disposition) {
  for (int tried = 0;;) {
    const Platform::FileHandle file =
        Platform::CreateFileA(path, access, share, disposition, Platform::kAttributeNormal);
    if (file != Platform::kInvalidFile || !TryAgain(&tried)) {
      return file;
    }
  }
}

// Gives `file` the time of now as its creation time, and `lastWrite` unless
// it is null, then puts the file and its dates on the disk; 0 or the failed
// step's error. The creation time is set on purpose: Windows gives a file
// made under a name freed seconds before that name's old creation time, and
// the temporary name is freed by every copy, while the creation time is
// what tells the newest set-aside copy.
std::uint32_t DateAndFlush(Platform::FileHandle file, const Platform::FileTime* lastWrite) {
  Platform::FileTime now;
  Platform::GetSystemTimeAsFileTime(&now);
  if (Platform::SetFileTime(file, &now, nullptr, lastWrite) == 0 ||
      Platform::FlushFileBuffers(file) == 0) {
    return Platform::GetLastError();
  }
  return 0;
}

// Every byte of `in` into `out`, dated as `in`, then onto the disk; 0 or
// the failed step's error. The buffer stays below a page, so the frame
// needs no stack probe.
std::uint32_t Transfer(Platform::FileHandle in, Platform::FileHandle out) {
  char buffer[2048];
  for (;;) {
    std::uint32_t got = 0;
    if (Platform::ReadFile(in, buffer, sizeof buffer, &got) == 0) {
      return Platform::GetLastError();
    }
    if (got == 0) {
      break;
    }
    std::uint32_t put = 0;
    if (Platform::WriteFile(out, buffer, got, &put) == 0) {
      return Platform::GetLastError();
    }
  }
  // The copy carries its source's last-write time, as a copy made by
  // Windows does.
  Platform::FileTime written;
  if (Platform::GetFileTime(in, nullptr, nullptr, &written) == 0) {
    return Platform::GetLastError();
  }
  return DateAndFlush(out, &written);
}

// Gives the flushed temporary file the destination's name in one step.
std::uint32_t Publish(const char* temporary, const char* destination, bool replace) {
  int tried = 0;
  while (replace) {
    // ReplaceFile is called only on a file that it may delete right now:
    // Wine's moves the old file aside under a name of its own first, and
    // leaves that name behind, or a folder moved aside, when its next step
    // fails.
    const Platform::FileHandle there = Platform::CreateFileA(
        destination, Platform::kDelete, Platform::kShareAll, Platform::kOpenExisting, 0);
    if (there != Platform::kInvalidFile) {
      Platform::CloseHandle(there);
      if (Platform::ReplaceFileA(destination, temporary) != 0) {
        return 0;
      }
    }
    // Nothing to replace (any more): the plain rename below finishes it.
    const std::uint32_t error = Platform::GetLastError();
    if (error == Platform::kErrorFileNotFound || error == Platform::kErrorUnableToMoveReplacement) {
      break;
    }
    if (!TryAgain(&tried)) {
      return error;
    }
  }
  return MoveFileWhenFree(temporary, destination) != 0 ? 0 : Platform::GetLastError();
}

}  // namespace

std::uint32_t CopyFileWhole(const char* source, const char* temporary, const char* destination,
                            bool replace) {
  const Platform::FileHandle in =
      OpenWhenFree(source, Platform::kGenericRead, Platform::kShareRead, Platform::kOpenExisting);
  if (in == Platform::kInvalidFile) {
    return Platform::GetLastError();
  }
  // Nobody else may open the copy before it is whole: share nothing.
  const Platform::FileHandle out =
      OpenWhenFree(temporary, Platform::kGenericWrite, 0, Platform::kCreateAlways);
  std::uint32_t error = out == Platform::kInvalidFile ? Platform::GetLastError() : 0;
  if (error == 0) {
    error = Transfer(in, out);
    Platform::CloseHandle(out);
  }
  Platform::CloseHandle(in);
  if (error == 0) {
    error = Publish(temporary, destination, replace);
  }
  if (error != 0 && out != Platform::kInvalidFile) {
    DeleteFileWhenFree(temporary);
  }
  return error;
}

bool DateAsMadeNow(const char* path) {
  const Platform::FileHandle file =
      OpenWhenFree(path, Platform::kGenericWrite, Platform::kShareRead, Platform::kOpenExisting);
  if (file == Platform::kInvalidFile) {
    return false;
  }
  const bool dated = DateAndFlush(file, nullptr) == 0;
  Platform::CloseHandle(file);
  return dated;
}

int DeleteFileWhenFree(const char* path) {
  for (int tried = 0;;) {
    const int deleted = Platform::DeleteFileA(path);
    if (deleted != 0 || !TryAgain(&tried)) {
      return deleted;
    }
  }
}

int MoveFileWhenFree(const char* existing, const char* newName) {
  // No MOVEFILE_REPLACE_EXISTING: a file that took the name meanwhile stays.
  for (int tried = 0;;) {
    const int moved = Platform::MoveFileExA(existing, newName, Platform::kMoveFileWriteThrough);
    if (moved != 0 || !TryAgain(&tried)) {
      return moved;
    }
  }
}

bool SameBytes(const char* one, const char* other) {
  const Platform::FileHandle files[2] = {
      OpenWhenFree(one, Platform::kGenericRead, Platform::kShareRead, Platform::kOpenExisting),
      OpenWhenFree(other, Platform::kGenericRead, Platform::kShareRead, Platform::kOpenExisting)};
  bool same = files[0] != Platform::kInvalidFile && files[1] != Platform::kInvalidFile;
  for (std::uint32_t got[2] = {1, 1}; same && got[0] != 0;) {
    char buffers[2][1024];
    for (int i = 0; i < 2 && same; ++i) {
      same = Platform::ReadFile(files[i], buffers[i], sizeof buffers[i], &got[i]) != 0;
    }
    same = same && got[0] == got[1];
    for (std::uint32_t at = 0; same && at < got[0]; ++at) {
      same = buffers[0][at] == buffers[1][at];
    }
  }
  for (const Platform::FileHandle file : files) {
    if (file != Platform::kInvalidFile) {
      Platform::CloseHandle(file);
    }
  }
  return same;
}
