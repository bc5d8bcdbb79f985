// Fuzzes ParsePrinterUrlText and ParseNumber.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "codec/parse_number.h"
#include "ipp/printer_url.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool StartsIgnoringCase(const char* text, const char* lower)
{
    for (; *lower != '\0'; ++text, ++lower) {
        const char c = (*text >= 'A' && *text <= 'Z') ? static_cast<char>(*text - 'A' + 'a') : *text;
        if (c != *lower)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const char* url = text.c_str();

    // ParseNumber against the C library: the walk takes the digits below the
    // radix and ends at the first other hex digit or the end (short texts
    // only: no wrapping); any other character met first gives -1, and so
    // does a radix below 1.
    const size_t length = std::strlen(url);
    const auto worth = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : 99;
    };
    for (const int radix : {data[0] % 40 - 2, 10, 16}) {
        const int32_t number = ParseNumber(url, radix);
        Check(number >= -1); // too large is "not a number", never negative
        size_t end = 0;
        while (end < length && worth(url[end]) < radix)
            ++end;
        if (radix < 1 || (end < length && worth(url[end]) == 99))
            Check(number == -1);
        else if (radix >= 1 && radix <= 36 && end <= 6) // radix 1 takes only zeros
            Check(number == (radix == 1 ? 0 : std::strtol(std::string(url, end).c_str(), nullptr, radix)));
    }

    std::unique_ptr<char[]> host(new char[kUrlHostSize]);
    std::unique_ptr<char[]> path(new char[kUrlPathSize]);
    std::memset(host.get(), 'Z', kUrlHostSize);
    std::memset(path.get(), 'Z', kUrlPathSize);
    uint32_t port = 0xDEADBEEF;
    const int result = ParsePrinterUrlText(url, host.get(), path.get(), &port);
    Check(result == 0 || result == 1);
    Check(std::memchr(host.get(), '\0', kUrlHostSize) != nullptr);
    Check(std::memchr(path.get(), '\0', kUrlPathSize) != nullptr);
    if (result == 1) {
        const size_t hostLength = std::strlen(host.get());
        Check(hostLength > 0 && hostLength <= kUrlHostSize - 1);
        Check(std::strchr(host.get(), '/') == nullptr);
        Check(path.get()[0] == '/');
        Check(port != 0 && port != 0xDEADBEEF && port <= kUrlPortMax);
        // The scheme was one of the two.
        Check(StartsIgnoringCase(url, "http://") || StartsIgnoringCase(url, "ipp://"));
        if (std::strchr(host.get(), ':') == nullptr && std::strlen(url) < 200) {
            // Rebuilding the URL from the parts finds the same parts.
            const std::string scheme = StartsIgnoringCase(url, "ipp://") ? "ipp://" : "http://";
            const std::string rebuilt = scheme + host.get() + ":" + std::to_string(port) + path.get();
            std::unique_ptr<char[]> host2(new char[kUrlHostSize]);
            std::unique_ptr<char[]> path2(new char[kUrlPathSize]);
            uint32_t port2 = 0;
            if (hostLength < kUrlHostSize - 1 - 1 - std::to_string(port).size()) {
                Check(ParsePrinterUrlText(rebuilt.c_str(), host2.get(), path2.get(), &port2) == 1);
                Check(std::strcmp(host.get(), host2.get()) == 0);
                Check(port == port2);
                Check(std::strcmp(path.get(), path2.get()) == 0);
            }
        }
    } else if (!StartsIgnoringCase(url, "http://") && !StartsIgnoringCase(url, "ipp://")) {
        Check(host.get()[0] == '\0' && path.get()[0] == '\0' && port == 0xDEADBEEF);
    }
    return 0;
}
