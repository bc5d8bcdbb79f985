// Pure code: no OS header.
#include "ipp/proxy_setting.h"

namespace {

const char kHttpEntry[] = "http=";
const size_t kHttpEntryLength = sizeof kHttpEntry - 1;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Length of the text: up to its first NUL, at most `length` bytes.
size_t TextLength(const char* value, size_t length)
{
    size_t at = 0;
    while (at < length && value[at] != '\0')
        ++at;
    return at;
}

// True when the text holds "http=" (any case); *start is the offset just
// behind its first one.
bool FindHttpEntry(const char* value, size_t length, size_t* start)
{
    for (size_t at = 0; at + kHttpEntryLength <= length; ++at) {
        size_t i = 0;
        while (i < kHttpEntryLength && Lower(value[at + i]) == kHttpEntry[i])
            ++i;
        if (i == kHttpEntryLength) {
            *start = at + kHttpEntryLength;
            return true;
        }
    }
    return false;
}

bool Holds(const char* value, size_t length, char wanted)
{
    for (size_t at = 0; at < length; ++at)
        if (value[at] == wanted)
            return true;
    return false;
}

// Copies `length` bytes into `out`, cut to `size` - 1, terminated.
void CopyCut(const char* from, size_t length, char* out, size_t size)
{
    if (size == 0)
        return;
    size_t count = length < size - 1 ? length : size - 1;
    for (size_t i = 0; i < count; ++i)
        out[i] = from[i];
    out[count] = '\0';
}

} // namespace

void ParseProxyServer(const char* value, size_t length, char* address, size_t addressSize, char* portText,
                      size_t portSize)
{
    CopyCut("", 0, address, addressSize);
    CopyCut("", 0, portText, portSize);
    if (value == nullptr)
        return;
    size_t end = TextLength(value, length);
    size_t start = 0;
    if (FindHttpEntry(value, end, &start)) {
        // Behind "http=": the entry runs to the next ";".
        size_t entryEnd = start;
        while (entryEnd < end && value[entryEnd] != ';')
            ++entryEnd;
        value += start;
        end = entryEnd - start;
    } else if (Holds(value, end, '=')) {
        return; // per-protocol entries, none of them for HTTP
    }
    size_t colon = 0;
    while (colon < end && value[colon] != ':')
        ++colon;
    CopyCut(value, colon, address, addressSize);
    if (colon < end)
        CopyCut(value + colon + 1, end - colon - 1, portText, portSize);
}
