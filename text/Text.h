// Text helpers shared by every phase. All text lives in fixed buffers, so
// composing never allocates; a result that would not fit is refused rather
// than cut, because a cut path names some other file.
#pragma once

#include <cstddef>
#include <initializer_list>

// The size of every buffer that holds a path, a registry value or a name.
constexpr std::size_t kTextSize = 256;

// Whole-string, byte-for-byte, case-sensitive equality.
bool TextEquals(const char* left, const char* right);

// Length of `text` when its NUL lies within the first `limit` bytes,
// otherwise `limit`.
std::size_t TextLength(const char* text, std::size_t limit);

// Concatenates `parts` into `out` (of `size` bytes). Gives false, leaving
// `out` an empty string, when the result and its NUL do not fit.
bool ComposeText(char* out, std::size_t size, std::initializer_list<const char*> parts);

template <std::size_t N>
bool ComposeText(char (&out)[N], std::initializer_list<const char*> parts) {
  return ComposeText(out, N, parts);
}
