// Base64 and the wiping of secrets: shared by the IPP client (Basic
// authorization) and the mailer (attachments, AUTH). Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

// Standard Base64 with "=" padding, no line breaks, no terminator. Stops
// when fewer than 4 characters of room remain. Returns the characters written.
size_t Base64Encode(char* out, size_t capacity, const uint8_t* data, size_t length);

// Overwrites a buffer that held secrets in a way the compiler keeps.
void WipeBytes(void* data, size_t length);

// A buffer for a secret that is wiped whenever it goes out of scope: on every
// return and when an exception (std::bad_alloc) unwinds through its function.
template <size_t Size>
struct SecretBuffer {
    char bytes[Size];
    SecretBuffer() : bytes() {}
    ~SecretBuffer() { WipeBytes(bytes, Size); }
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;
};
