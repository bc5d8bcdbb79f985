// The OEM code page step of the IPP text conversions: every text on the
// Windows side of the monitor is in the OEM code page, never the ANSI one.
#include "codec/oem_codec.h"

#include <windows.h>

static_assert(sizeof(uint16_t) == sizeof(WCHAR), "UTF-16 units");

namespace {

int OemToWide(const char* text, int length, uint16_t* out, int capacity)
{
    if (length <= 0 || capacity <= 0)
        return 0;
    return MultiByteToWideChar(GetOEMCP(), 0, text, length, reinterpret_cast<WCHAR*>(out), capacity);
}

int WideToOem(const uint16_t* units, int count, char* out, int capacity)
{
    if (count <= 0)
        return 0;
    return WideCharToMultiByte(GetOEMCP(), 0, reinterpret_cast<const WCHAR*>(units), count, capacity > 0 ? out : nullptr,
                               capacity, nullptr, nullptr);
}

const OemCodec kSystemCodec = {OemToWide, WideToOem};

} // namespace

const OemCodec* SystemOemCodec()
{
    return &kSystemCodec;
}
