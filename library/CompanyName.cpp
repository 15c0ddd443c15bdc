#include "library/CompanyName.h"

#include "platform/Platform.h"

namespace {

// The version block comes from the file being judged, so nothing that a
// query points at is trusted to lie inside the block until checked.
struct Block {
  const unsigned char* start;
  std::uint32_t size;

  // Bytes left in the block from `at` on, or -1 when `at` is outside it.
  std::ptrdiff_t RoomFrom(const void* at) const {
    const auto first = reinterpret_cast<std::uintptr_t>(start);
    const auto where = reinterpret_cast<std::uintptr_t>(at);
    if (where < first || where - first > size) {
      return -1;
    }
    return static_cast<std::ptrdiff_t>(size - (where - first));
  }
};

// "\StringFileInfo\<language><code page>\CompanyName", the code page in
// four upper-case hexadecimal digits.
bool ComposeNamePath(char (&path)[kTextSize], const char* language, std::uint16_t codePage) {
  static const char kDigits[] = "0123456789ABCDEF";
  const char hex[5] = {kDigits[(codePage >> 12) & 0xF], kDigits[(codePage >> 8) & 0xF],
                       kDigits[(codePage >> 4) & 0xF], kDigits[codePage & 0xF], '\0'};
  return ComposeText(path, {"\\StringFileInfo\\", language, hex, "\\CompanyName"});
}

// Copies the name at `at` only if its NUL lies inside the block and the
// whole name fits: a cut name could match another company's copy.
bool CopyName(const Block& block, const void* at, char (&companyName)[kTextSize]) {
  const std::ptrdiff_t room = block.RoomFrom(at);
  if (room < 0) {
    return false;
  }
  const auto* name = static_cast<const char*>(at);
  const std::size_t length = TextLength(name, static_cast<std::size_t>(room));
  if (length == static_cast<std::size_t>(room) || length >= kTextSize) {
    return false;
  }
  for (std::size_t i = 0; i <= length; ++i) {
    companyName[i] = name[i];
  }
  return true;
}

bool FindCompanyName(const char* path, std::uint32_t handle, const Block& block,
                     char (&companyName)[kTextSize], bool* lost) {
  void* memory = const_cast<unsigned char*>(block.start);
  // Its size was just read, so the information is there.
  if (Platform::GetFileVersionInfoA(path, handle, block.size, memory) == 0) {
    *lost = true;
    return false;
  }
  void* value = nullptr;
  std::uint32_t length = 0;
  // Without the fixed file information this is no version resource at all.
  if (Platform::VerQueryValueA(memory, "\\", &value, &length) == 0) {
    return false;
  }
  if (Platform::VerQueryValueA(memory, "\\VarFileInfo\\Translation", &value, &length) == 0 ||
      length < 4 || block.RoomFrom(value) < 4) {
    return false;
  }
  // The entry is the language word, then the code page word; only the code
  // page of the first entry counts.
  const auto* entry = static_cast<const unsigned char*>(value);
  const auto codePage = static_cast<std::uint16_t>(entry[2] | (entry[3] << 8));

  for (const char* language : {"0409", "0000"}) {
    char namePath[kTextSize];
    if (ComposeNamePath(namePath, language, codePage) &&
        Platform::VerQueryValueA(memory, namePath, &value, &length) != 0) {
      return CopyName(block, value, companyName);
    }
  }
  return false;
}

// The errors by which Windows and Wine say that a file has no version
// information, or is no longer there; any other failure only says that it
// could not be read now.
bool HasNoVersion(std::uint32_t error) {
  switch (error) {
    case Platform::kErrorFileNotFound:
    case Platform::kErrorPathNotFound:
    case 11:    // ERROR_BAD_FORMAT
    case 193:   // ERROR_BAD_EXE_FORMAT
    case 1812:  // ERROR_RESOURCE_DATA_NOT_FOUND
    case 1813:  // ERROR_RESOURCE_TYPE_NOT_FOUND
    case 1814:  // ERROR_RESOURCE_NAME_NOT_FOUND
    case 1815:  // ERROR_RESOURCE_LANG_NOT_FOUND
      return true;
    default:
      return false;
  }
}

}  // namespace

bool QueryCompanyName(const char* path, char (&companyName)[kTextSize], bool* unreadable) {
  bool lost = false;
  std::uint32_t handle = 0;
  const std::uint32_t size = Platform::GetFileVersionInfoSizeA(path, &handle);
  bool found = false;
  if (size == 0) {
    lost = !HasNoVersion(Platform::GetLastError());
  } else if (void* memory = Platform::GlobalAlloc(Platform::kZeroInit, size)) {
    const Block block = {static_cast<const unsigned char*>(memory), size};
    found = FindCompanyName(path, handle, block, companyName, &lost);
    Platform::GlobalFree(memory);
  } else {
    lost = true;
  }
  if (unreadable != nullptr) {
    *unreadable = lost;
  }
  return found;
}
