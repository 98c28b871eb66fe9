// Base64 over the standard alphabet with "=" padding, on terminated texts and
// fixed-size buffers.
#pragma once

// Encodes the text up to its terminator into `output` (at most `limit` bytes,
// terminator included). Returns `output`, or nullptr when it would not fit.
char* Base64Encode(const char* text, char* output, int limit);

// Decodes `length` characters of `text` into `output`, writing decoded bytes
// only (no terminator) and never more than `capacity` of them. Returns
// `output`, or nullptr, writing nothing, when length is 0 or not a multiple of 4.
char* Base64Decode(const char* text, char* output, int length, int capacity);

// 0 to 63 for the alphabet, 64 for "=", 255 otherwise; only the low seven bits
// of the character are looked at.
unsigned char Base64CharValue(char c);
