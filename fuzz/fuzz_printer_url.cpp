// Fuzzes ParsePrinterUrlText and ParseNumber.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "ipp/parse_number.h"
#include "ipp/printer_url.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Reference model of ParseNumber in 64-bit arithmetic, reduced mod 2^32.
int64_t NumberModel(const char* text, int radix)
{
    if (radix < 1)
        return -1;
    uint64_t value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        int worth;
        if (*p >= '0' && *p <= '9')
            worth = *p - '0';
        else if (*p >= 'a' && *p <= 'f')
            worth = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'F')
            worth = *p - 'A' + 10;
        else
            return -1;
        if (worth >= radix)
            break;
        value = (value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(worth)) & 0xFFFFFFFFu;
    }
    return value >= 0x80000000u ? static_cast<int64_t>(value) - 0x100000000LL : static_cast<int64_t>(value);
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
    const int radixes[] = {data[0] % 40 - 2, 10, 16};
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const char* url = text.c_str();

    for (int radix : radixes)
        Check(ParseNumber(url, radix) == NumberModel(url, radix));

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
        Check(port != 0 && port != 0xDEADBEEF && port <= 0x7FFFFFFFu);
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
