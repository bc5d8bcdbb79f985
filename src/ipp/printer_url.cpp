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

// The scheme part of `url`: up to seven characters; a ":" also takes the two
// characters behind it (never the terminator) and ends the scheme.
size_t SchemeLength(const char* url)
{
    size_t at = 0;
    while (at < kSchemeMax && url[at] != '\0') {
        if (url[at++] == ':') {
            for (int extra = 0; extra < 2 && url[at] != '\0'; ++extra)
                ++at;
            break;
        }
    }
    return at;
}

// The default port of the scheme ("http://" 80, "ipp://" 631); false for
// any other scheme.
bool SchemeDefaultPort(const char* scheme, size_t length, uint32_t* port)
{
    if (EqualsIgnoringCase(scheme, length, "http://"))
        *port = 80;
    else if (EqualsIgnoringCase(scheme, length, "ipp://"))
        *port = 631;
    else
        return false;
    return true;
}

// Copies the host (with its ":port") up to a "/" or the end into `host`;
// *length gets its length. Host and ":port" together hold at most 64
// characters: false for a longer one, which is refused rather than cut into
// another host or port.
bool CopyHost(const char* rest, char* host, size_t* length)
{
    size_t hostLength = 0;
    while (hostLength < kUrlHostSize - 1 && rest[hostLength] != '\0' && rest[hostLength] != '/') {
        host[hostLength] = rest[hostLength];
        ++hostLength;
    }
    host[hostLength] = '\0';
    *length = hostLength;
    return rest[hostLength] == '\0' || rest[hostLength] == '/';
}

// Copies the path that starts at `from` (at its "/") into `path`, at most 256
// characters; false when it is longer (the field holds its first 256).
bool CopyPath(const char* from, char* path)
{
    size_t pathLength = 0;
    while (from[pathLength] != '\0' && pathLength < kUrlPathSize - 1) {
        path[pathLength] = from[pathLength];
        ++pathLength;
    }
    path[pathLength] = '\0';
    return from[pathLength] == '\0';
}

// Splits the port (1 to 65535) off behind the first ":" of the host of
// `hostLength` characters. False for a port that is not such a number, and
// for nothing in front of the ":" (an empty host as well).
bool SplitPort(char* host, size_t hostLength, uint32_t* port)
{
    for (size_t i = 0; i < hostLength; ++i) {
        if (host[i] == ':') {
            const int32_t number = ParseNumber(host + i + 1, 10);
            if (number <= 0 || static_cast<uint32_t>(number) > kUrlPortMax)
                return false;
            *port = static_cast<uint32_t>(number);
            host[i] = '\0';
            return i != 0;
        }
    }
    return true;
}

// True when `text` holds a blank or a control character: host and path go
// verbatim into the request line and the Host header, where either would end
// a field or a line early (or smuggle in a header of their own).
bool HoldsBlankOrControl(const char* text)
{
    for (; *text != '\0'; ++text) {
        const unsigned char c = static_cast<unsigned char>(*text);
        if (c <= 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

} // namespace

int ParsePrinterUrlText(const char* url, char* host, char* path, uint32_t* port)
{
    // Host and path start empty.
    if (host != nullptr)
        host[0] = '\0';
    if (path != nullptr)
        path[0] = '\0';
    if (url == nullptr || host == nullptr || path == nullptr || port == nullptr)
        return 0;
    const size_t schemeLength = SchemeLength(url);
    if (!SchemeDefaultPort(url, schemeLength, port))
        return 0;
    // The fields are written as far as the parse gets.
    const char* rest = url + schemeLength;
    size_t hostLength = 0;
    if (!CopyHost(rest, host, &hostLength))
        return 0;
    const bool pathFits = rest[hostLength] != '/' || CopyPath(rest + hostLength, path);
    if (hostLength == 0 || !SplitPort(host, hostLength, port))
        return 0;
    if (HoldsBlankOrControl(host) || HoldsBlankOrControl(path))
        return 0;
    // The transport index belongs to the caller's record.
    if (path[0] == '\0') {
        path[0] = '/';
        path[1] = '\0';
    }
    // A path longer than the field (only from a URL longer than the stored
    // 256 characters) is refused.
    return pathFits ? 1 : 0;
}
