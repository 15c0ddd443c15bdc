#include "text/Text.h"

bool TextEquals(const char* left, const char* right) {
  while (*left != '\0' && *left == *right) {
    ++left;
    ++right;
  }
  return *left == *right;
}

std::size_t TextLength(const char* text, std::size_t limit) {
  std::size_t length = 0;
  while (length < limit && text[length] != '\0') {
    ++length;
  }
  return length;
}

bool ComposeText(char* out, std::size_t size, std::initializer_list<const char*> parts) {
  std::size_t used = 0;
  for (const char* part : parts) {
    for (; *part != '\0'; ++part) {
      if (used + 1 >= size) {
        out[0] = '\0';
        return false;
      }
      out[used++] = *part;
    }
  }
  out[used] = '\0';
  return true;
}
