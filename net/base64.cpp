#include "net/base64.h"

#include <cstdint>

namespace {
const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

char* Base64Encode(const char* text, char* output, int limit) {
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  int pos = 0;
  if (limit < 1) return nullptr;
  output[0] = '\0';
  while (*in) {
    // A group needs four characters and the terminator.
    if (pos >= limit - 4) return nullptr;
    const unsigned a = in[0];
    const unsigned b = in[1];
    output[pos] = Alphabet[a >> 2];
    output[pos + 1] = Alphabet[((a & 3u) << 4) | (b >> 4)];
    output[pos + 2] = '=';
    output[pos + 3] = '=';
    output[pos + 4] = '\0';
    if (b == 0) break;
    const unsigned c = in[2];
    output[pos + 2] = Alphabet[((b & 15u) << 2) | (c >> 6)];
    if (c == 0) break;
    output[pos + 3] = Alphabet[c & 63u];
    pos += 4;
    in += 3;
  }
  return output;
}

unsigned char Base64CharValue(char c) {
  const unsigned v = static_cast<unsigned char>(c) & 0x7Fu;
  if (v >= 'A' && v <= 'Z') return static_cast<unsigned char>(v - 'A');
  if (v >= 'a' && v <= 'z') return static_cast<unsigned char>(v - 'a' + 26);
  if (v >= '0' && v <= '9') return static_cast<unsigned char>(v - '0' + 52);
  if (v == '+') return 62;
  if (v == '/') return 63;
  if (v == '=') return 64;
  return 255;
}

// Characters outside the alphabet enter the bit store with their value 255 and
// so yield bytes, as the stored values never contain any.
char* Base64Decode(const char* text, char* output, int length, int capacity) {
  if (length <= 0 || length % 4 != 0) return nullptr;
  std::uint32_t store = 0;
  int pending = 0;
  int written = 0;
  for (int i = 0; i < length && text[i] != '=' && text[i] != '\0' && written < capacity; ++i) {
    store = ((store << 6) + Base64CharValue(text[i])) & 0xFFFFu;
    if (pending == 0) {
      pending = 6;
      continue;
    }
    pending -= 2;
    output[written++] = static_cast<char>((store >> pending) & 0xFFu);
    store &= (1u << pending) - 1u;
  }
  return output;
}
