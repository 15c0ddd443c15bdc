// The two routines GCC may emit calls to for array initialisers and struct
// copies even in freestanding code. Without a C runtime they must come from
// here; they are kept byte-at-a-time because every buffer is tiny.
#include <cstddef>

extern "C" void* memset(void* destination, int value, std::size_t count) {
  auto* out = static_cast<unsigned char*>(destination);
  while (count-- != 0) {
    *out++ = static_cast<unsigned char>(value);
  }
  return destination;
}

extern "C" void* memcpy(void* destination, const void* source, std::size_t count) {
  auto* out = static_cast<unsigned char*>(destination);
  const auto* in = static_cast<const unsigned char*>(source);
  while (count-- != 0) {
    *out++ = *in++;
  }
  return destination;
}
