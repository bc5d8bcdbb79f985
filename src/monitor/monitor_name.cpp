// Monitor name and registry key texts. Pure code: no OS header.
#include "monitor/monitor_name.h"

#include <cstring>

namespace {

// Characters the file name loses at its end ("mon" and a four-character
// extension such as ".dll").
const size_t kDroppedTail = 7;

// Empties `out` when it has room for the terminator.
void Clear(char* out, size_t size)
{
    if (out != nullptr && size > 0)
        out[0] = '\0';
}

// Writes the concatenation of `count` pieces (pointer and length each) into
// `out`. Returns false, leaving `out` empty, when the result and its
// terminator do not fit `size` bytes. No piece is read beyond its length.
struct Piece {
    const char* text;
    size_t length;
};

bool Join(const Piece* pieces, size_t count, char* out, size_t size)
{
    if (out == nullptr || size == 0)
        return false;
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        if (pieces[i].length > size - 1 - total) { // overflow-free fit test
            out[0] = '\0';
            return false;
        }
        total += pieces[i].length;
    }
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        if (pieces[i].length > 0)
            std::memcpy(out + at, pieces[i].text, pieces[i].length);
        at += pieces[i].length;
    }
    out[at] = '\0';
    return true;
}

Piece Text(const char* text) { return Piece{text, std::strlen(text)}; }

} // namespace

bool BuildMonitorName(const char* modulePath, char* name, size_t size)
{
    Clear(name, size);
    if (modulePath == nullptr || name == nullptr || size == 0)
        return false;

    const size_t length = std::strlen(modulePath);
    // Last backslash, searched from the end down to the second character:
    // a backslash in the first character is not taken.
    size_t slash = 0;
    bool found = false;
    for (size_t i = length; i > 1; --i) {
        if (modulePath[i - 1] == '\\') {
            slash = i - 1;
            found = true;
            break;
        }
    }
    if (!found)
        return false;

    const char* file = modulePath + slash + 1;
    const size_t fileLength = length - slash - 1;
    const size_t modelLength = fileLength > kDroppedTail ? fileLength - kDroppedTail : 0;
    const Piece pieces[] = {{file, modelLength}, Text(MONITOR_NAME_SUFFIX)};
    return Join(pieces, 2, name, size);
}

bool BuildMonitorKeys(const char* monitorName, char* monitorKey, size_t monitorKeySize, char* portsKey,
                      size_t portsKeySize)
{
    Clear(monitorKey, monitorKeySize);
    Clear(portsKey, portsKeySize);
    // An empty name would give the key of every monitor: never built.
    if (monitorName == nullptr || monitorName[0] == '\0')
        return false;

    const Piece name = Text(monitorName);
    const Piece monitorPieces[] = {Text(MONITORS_KEY), Text("\\"), name};
    const Piece portsPieces[] = {Text(MONITORS_KEY), Text("\\"), name, Text("\\Ports")};
    if (!Join(monitorPieces, 3, monitorKey, monitorKeySize) || !Join(portsPieces, 4, portsKey, portsKeySize)) {
        Clear(monitorKey, monitorKeySize);
        Clear(portsKey, portsKeySize);
        return false;
    }
    return true;
}

bool BuildPortKey(const char* portsKey, const char* portName, char* portKey, size_t size)
{
    Clear(portKey, size);
    // An empty part would name the ports key itself or a key under the root.
    if (portsKey == nullptr || portsKey[0] == '\0' || portName == nullptr || portName[0] == '\0')
        return false;
    const Piece pieces[] = {Text(portsKey), Text("\\"), Text(portName)};
    return Join(pieces, 3, portKey, size);
}
