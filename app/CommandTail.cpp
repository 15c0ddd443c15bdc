#include "app/CommandTail.h"

#include "platform/Platform.h"

const char* CommandTailOf(const char* rawCommandLine) {
  // Unsigned, so that a program path with bytes above 0x7F is not mistaken
  // for blanks and control bytes.
  const auto* at = reinterpret_cast<const unsigned char*>(rawCommandLine);
  if (*at == '"') {
    ++at;
    while (*at != '\0' && *at != '"') {
      // A trail byte may have the value of a quote; it belongs to its lead
      // byte. A lead byte right before the NUL has no trail byte to take.
      if (Platform::IsDBCSLeadByte(*at) != 0 && at[1] != '\0') {
        ++at;
      }
      ++at;
    }
    if (*at == '"') {
      ++at;
    }
  } else {
    while (*at > ' ') {
      ++at;
    }
  }
  while (*at != '\0' && *at <= ' ') {
    ++at;
  }
  return reinterpret_cast<const char*>(at);
}
