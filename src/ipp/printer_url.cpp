// Splitting a printer URL into host, port and path. Pure code: no OS header.
#include "ipp/printer_url.h"

#include "codec/parse_number.h"

namespace {

const size_t kSchemeMax = 7; // characters taken before a ":" is met

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// `text` (length `length`) equals `lower` ignoring case.
bool EqualsIgnoringCase(const char* text, size_t length, const char* lower)
{
    size_t i = 0;
    for (; i < length; ++i)
        if (lower[i] == '\0' || Lower(text[i]) != lower[i])
            return false;
    return lower[i] == '\0';
}

} // namespace

int ParsePrinterUrlText(const char* url, char* host, char* path, uint32_t* port)
{
    // 1. Host and path start empty.
    if (host != nullptr)
        host[0] = '\0';
    if (path != nullptr)
        path[0] = '\0';
    if (url == nullptr || host == nullptr || path == nullptr || port == nullptr)
        return 0;

    // 2. Scheme: up to seven characters; a ":" also takes the two characters
    // behind it (never the terminator) and ends the scheme.
    size_t at = 0;
    while (at < kSchemeMax && url[at] != '\0') {
        if (url[at++] == ':') {
            for (int extra = 0; extra < 2 && url[at] != '\0'; ++extra)
                ++at;
            break;
        }
    }

    // 3. Scheme and its default port.
    if (EqualsIgnoringCase(url, at, "http://"))
        *port = 80;
    else if (EqualsIgnoringCase(url, at, "ipp://"))
        *port = 631;
    else
        return 0;

    // 4. Host up to a "/" or the end; at a "/" the rest is the path. Host and
    // ":port" together hold at most 64 characters: a longer one is refused
    // rather than cut into another host or port.
    const char* rest = url + at;
    size_t hostLength = 0;
    while (hostLength < kUrlHostSize - 1 && rest[hostLength] != '\0' && rest[hostLength] != '/') {
        host[hostLength] = rest[hostLength];
        ++hostLength;
    }
    host[hostLength] = '\0';
    if (rest[hostLength] != '\0' && rest[hostLength] != '/')
        return 0;
    bool pathTooLong = false;
    if (rest[hostLength] == '/') {
        const char* from = rest + hostLength;
        size_t pathLength = 0;
        while (from[pathLength] != '\0' && pathLength < kUrlPathSize - 1) {
            path[pathLength] = from[pathLength];
            ++pathLength;
        }
        path[pathLength] = '\0';
        pathTooLong = from[pathLength] != '\0';
    }

    // 5. Empty host.
    if (hostLength == 0)
        return 0;

    // 6. Port behind the first ":" of the host: 1 to 65535.
    for (size_t i = 0; i < hostLength; ++i) {
        if (host[i] == ':') {
            const int32_t number = ParseNumber(host + i + 1, 10);
            if (number <= 0 || static_cast<uint32_t>(number) > kUrlPortMax)
                return 0;
            *port = static_cast<uint32_t>(number);
            host[i] = '\0';
            // Nothing in front of the ":" is an empty host as well.
            if (i == 0)
                return 0;
            break;
        }
    }

    // 8. (7, the transport index, belongs to the caller's record.) Default path.
    if (path[0] == '\0') {
        path[0] = '/';
        path[1] = '\0';
    }

    // A path longer than the field (only from a URL longer than the stored
    // 256 characters) is refused; the field holds its first 256 characters.
    if (pathTooLong)
        return 0;
    return 1;
}
