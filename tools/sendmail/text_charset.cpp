// Mail texts from the ANSI code page into the source character set.
#include "sendmail/text_charset.h"

#include <windows.h>

#include "mail/mail_params.h"

namespace {

const UINT kShiftJis = 932;
const UINT kLatin1 = 28591;

// ANSI text through UTF-16 into `codePage`; characters it lacks become "?".
std::string Convert(const std::string& ansi, UINT codePage)
{
    if (ansi.empty() || GetACP() == codePage)
        return ansi;
    int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (wide <= 0)
        return ansi;
    std::wstring utf16(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &utf16[0], wide);
    int bytes = WideCharToMultiByte(codePage, 0, utf16.data(), wide, nullptr, 0, "?", nullptr);
    if (bytes <= 0)
        return ansi;
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, utf16.data(), wide, &out[0], bytes, "?", nullptr);
    return out;
}

} // namespace

std::string SourceCharsetText(const std::string& ansi, uint16_t charCode)
{
    switch (charCode) {
    case MAIL_ISO_2022_JP: return Convert(ansi, kShiftJis);
    case MAIL_ISO_8859_1: return Convert(ansi, kLatin1);
    default: return ansi;
    }
}
