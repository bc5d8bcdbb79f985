// The stored form of the IPP password: a 16-bit little-endian length n and n
// bytes, each the password character lowered by a fixed constant (mod 256).
// Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

// The one scrambling constant shared by the reader and every writer.
const uint8_t kPasswordScramble = 0x5A;
// Longest password the field holds.
const size_t kPasswordMaxLength = 64;
// Bytes read from the registry value (length and 64 characters, plus one).
const size_t kPasswordValueSize = 67;

// Decodes `bytesRead` bytes of the stored value into `out` (NUL-terminated,
// `outSize` >= 65). The stored length is clamped to min(n, bytesRead - 2, 64);
// fewer than two bytes give an empty password. Returns the password length.
size_t DecodePassword(const uint8_t* value, size_t bytesRead, char* out, size_t outSize);

// Encodes `password` (at most 64 characters are taken) into `out`; returns the
// number of bytes of the value, or 0 when `outSize` is too small.
size_t EncodePassword(const char* password, uint8_t* out, size_t outSize);
