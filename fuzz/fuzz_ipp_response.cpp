// Fuzzes the IPP response decoder and its item reader.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "../tests/native/fake_oem_codec.h"
#include "ipp/ipp_response.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte: the model capacity, and whether a successful header
    // with attributes-charset is put in front.
    static const char kHeader[] = "\x01\x00\x00\x00\x00\x00\x00\x01\x01\x47\x00\x12"
                                  "attributes-charset\x00\x05utf-8";
    const size_t capacity = data[0] % 64 + 1;
    const size_t prefix = data[0] & 0x80 ? sizeof kHeader - 1 : 0;
    ++data;
    --size;
    // The body in a block of its own size, so a read past it is caught.
    std::unique_ptr<uint8_t[]> body(new uint8_t[prefix + size]);
    std::memcpy(body.get(), kHeader, prefix);
    if (size > 0)
        std::memcpy(body.get() + prefix, data, size);
    size += prefix;
    std::string model(capacity + 1, 'Z');
    IppResponseResult result;
    ParseIppResponse(body.get(), size, &kFakeCodec, &model[0], capacity, &result);
    Check(model[capacity] == 'Z');
    Check(!result.hasModel || std::memchr(model.data(), '\0', capacity) != nullptr);
    const uint32_t code = result.errorCode;
    Check(code == 0 || code == 102 || code == 103 || code == 104 || code >= 0x0400);
    Check(result.accepting <= 1);
    Check((result.severityBits & ~0xFu) == 0);

    // The item walk never runs past the body.
    IppAttribute attribute = {};
    for (size_t at = 8; at < size;) {
        const size_t taken = ReadAttribute(&attribute, body.get() + at, size - at);
        if (taken == 0)
            break;
        Check(taken <= size - at);
        if (attribute.tag >= 0x10)
            Check(attribute.value + attribute.valueLength <= body.get() + size);
        char text[16];
        uint32_t integer;
        AttributeValue(attribute, &kFakeCodec, text, sizeof text, &integer);
        Check(std::memchr(text, '\0', sizeof text) != nullptr);
        at += taken;
    }
    return 0;
}
