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

// The SMTP authentication password (AuthPass) is kept scrambled with the key
// "qmvta": byte i of the text is raised (or lowered) by key byte i modulo 5,
// modulo 256, in place. Both return the length of the changed text up to its
// first NUL byte, which is shorter than the input when a byte became 0.
size_t ScramblePassword(char* text);
size_t UnscramblePassword(char* text);
// True when the scrambled form of `password` keeps its whole length; a
// password that fails this cannot be stored and must be refused.
bool CanScramblePassword(const char* password);
