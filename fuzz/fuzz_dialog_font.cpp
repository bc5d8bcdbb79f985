// Fuzzes ParseFontSetting and CharsetFromName.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "text/dialog_font.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

const int kValues[] = {1, 0, 2, 128, 129, 134, 136, 255, 130, 177, 178, 161, 162, 163, 222, 238, 204, 77, 186};

bool IsTableValue(int value)
{
    for (int v : kValues)
        if (v == value)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* setting = text.c_str(); // cut at the first NUL, as the catalogue reader does

    const int value = CharsetFromName(setting);
    Check(value == -1 || IsTableValue(value));

    FontSetting out;
    std::memset(&out, 0x5A, sizeof out);
    if (ParseFontSetting(setting, &out)) {
        Check(out.size >= 1 && out.size <= 200);
        Check(IsTableValue(out.charset));
        const void* end = std::memchr(out.face, '\0', sizeof out.face);
        Check(end != nullptr);
        const size_t faceLength = static_cast<const char*>(end) - out.face;
        Check(faceLength > 0);
        Check(std::strchr(out.face, ',') == nullptr);
        // The face is the first non-empty token (cut to the field).
        const size_t start = std::strspn(setting, ",");
        Check(std::strncmp(setting + start, out.face, faceLength) == 0);
    } else {
        FontSetting fresh;
        std::memset(&fresh, 0x5A, sizeof fresh);
        Check(std::memcmp(&out, &fresh, sizeof out) == 0); // untouched on failure
    }
    return 0;
}
