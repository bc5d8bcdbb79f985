#include "ui/page_common.h"

#include <winspool.h>

#include <cstdlib>

#include "monitor/monitor.h"

namespace {

// The list may grow between the size call and the data call; after this many
// tries the answer is "not found" rather than an endless loop.
const int kEnumTries = 3;

// EnumPorts level 1 into a buffer of its own; NULL when it cannot be read.
// The caller frees the buffer.
PORT_INFO_1A* ReadPortList(DWORD* count)
{
    for (int attempt = 0; attempt < kEnumTries; ++attempt) {
        DWORD needed = 0, returned = 0;
        g_monitor.host.EnumPortsA(nullptr, 1, nullptr, 0, &needed, &returned);
        if (needed == 0)
            return nullptr;
        BYTE* buffer = static_cast<BYTE*>(std::calloc(1, needed));
        if (!buffer)
            return nullptr;
        if (g_monitor.host.EnumPortsA(nullptr, 1, buffer, needed, &needed, &returned)) {
            *count = returned;
            return reinterpret_cast<PORT_INFO_1A*>(buffer);
        }
        std::free(buffer);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return nullptr;
    }
    return nullptr;
}

} // namespace

bool PortNameExists(const char* name)
{
    DWORD count = 0;
    PORT_INFO_1A* ports = ReadPortList(&count);
    if (!ports)
        return false;
    bool found = false;
    for (DWORD i = 0; i < count && !found; ++i)
        found = ports[i].pName && lstrcmpiA(ports[i].pName, name) == 0;
    std::free(ports);
    return found;
}

int FitCheckBoxCaption(HWND control, HFONT font, int extraWidth, int height)
{
    char text[512] = "";
    int length = GetWindowTextA(control, text, sizeof text);
    SIZE extent = {0, 0};
    HDC dc = GetDC(control);
    if (dc) {
        HGDIOBJ previous = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32A(dc, text, length, &extent);
        SelectObject(dc, previous);
        ReleaseDC(control, dc);
    }
    int width = extent.cx + extraWidth;
    SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return width;
}

DWORD ButtonChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
}

INT_PTR PageAnswer(HWND page, LONG_PTR result)
{
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
    return TRUE;
}
