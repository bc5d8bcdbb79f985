// Fuzzes UTF-8 decoding and the conversions to and from the OEM code page.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "../tests/native/fake_oem_codec.h"
#include "codec/charset.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Re-encodes one code point the plain way.
std::string Encode(uint32_t cp)
{
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

// Valid UTF-8 decodes without a replacement character.
bool DecodesCleanly(const char* text, size_t length)
{
    for (size_t at = 0; at < length;) {
        uint32_t cp;
        const size_t taken = DecodeUtf8(reinterpret_cast<const uint8_t*>(text) + at, length - at, &cp);
        if (cp == 0xFFFD)
            return false;
        at += taken;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t capacity = data[0] % 128 + 1;
    const int code = data[0] >> 7 ? CHARSET_SHIFT_JIS : CHARSET_UTF8;
    ++data;
    --size;
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
    if (size > 0)
        std::memcpy(bytes.get(), data, size);

    // Decoding takes 1 to 4 bytes within the input; a code point other than
    // the replacement is exactly its shortest form (no overlong or surrogate).
    for (size_t at = 0; at < size;) {
        uint32_t cp;
        const size_t taken = DecodeUtf8(bytes.get() + at, size - at, &cp);
        Check(taken >= 1 && taken <= 4 && taken <= size - at);
        Check(cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF));
        if (cp != 0xFFFD || (taken == 3 && std::memcmp(bytes.get() + at, "\xEF\xBF\xBD", 3) == 0))
            Check(Encode(cp) == std::string(reinterpret_cast<const char*>(bytes.get() + at), taken));
        at += taken;
    }

    std::string out(capacity + 1, 'Z');
    size_t n = Utf8ToOem(&out[0], capacity, bytes.get(), size, code, &kFakeCodec);
    Check(n < capacity && out[n] == '\0' && out[capacity] == 'Z');

    // OEM text to UTF-8: always valid UTF-8, within the capacity.
    const std::string text(reinterpret_cast<const char*>(data), size);
    out.assign(capacity + 1, 'Z');
    n = OemToUtf8(&out[0], capacity, text.c_str(), CHARSET_UTF8, &kFakeCodec);
    Check(n < capacity && out[n] == '\0' && out[capacity] == 'Z');
    Check(DecodesCleanly(out.data(), n));
    return 0;
}
