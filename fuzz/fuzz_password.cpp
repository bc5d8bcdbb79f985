// Fuzzes the PassWord codec: decode of any stored bytes, and
// decode(encode(x)) == x.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "codec/password_codec.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Decode: the fuzzer's buffer has exactly `size` bytes.
    std::unique_ptr<char[]> out(new char[kPasswordMaxLength + 1]);
    const size_t n = DecodePassword(data, size, out.get(), kPasswordMaxLength + 1);
    Check(n <= kPasswordMaxLength);
    Check(std::strlen(out.get()) == n);
    if (size < 2) {
        Check(n == 0);
    } else {
        const size_t stored = static_cast<size_t>(data[0]) | (static_cast<size_t>(data[1]) << 8);
        Check(n <= stored && n <= size - 2);
        for (size_t i = 0; i < n; ++i)
            Check(static_cast<uint8_t>(out[i]) == static_cast<uint8_t>(data[2 + i] + kPasswordScramble));
    }

    // A smaller output buffer.
    if (size > 0) {
        const size_t small = data[0] % 8;
        std::unique_ptr<char[]> tiny(new char[small + 1]);
        tiny[small] = 'Z';
        const size_t m = DecodePassword(data, size, tiny.get(), small);
        Check(tiny[small] == 'Z');
        Check(small == 0 ? m == 0 : m < small);
    }

    // Round trip of the decoded text, and of the input as a text.
    uint8_t value[kPasswordValueSize];
    const size_t length = EncodePassword(out.get(), value, sizeof value);
    Check(length == 2 + n);
    std::unique_ptr<char[]> back(new char[kPasswordMaxLength + 1]);
    Check(DecodePassword(value, length, back.get(), kPasswordMaxLength + 1) == n);
    Check(std::strcmp(out.get(), back.get()) == 0);

    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t textLength = std::strlen(text.c_str());
    const size_t taken = textLength < kPasswordMaxLength ? textLength : kPasswordMaxLength;
    const size_t encoded = EncodePassword(text.c_str(), value, sizeof value);
    Check(encoded == 2 + taken);
    Check(EncodePassword(text.c_str(), value, encoded - 1) == 0);
    Check(DecodePassword(value, encoded, back.get(), kPasswordMaxLength + 1) == taken);
    Check(std::strncmp(text.c_str(), back.get(), taken) == 0);
    return 0;
}
