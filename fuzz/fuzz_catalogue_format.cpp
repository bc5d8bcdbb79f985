// Fuzzes FormatCatalogueText and ExpandEscapes.
// Input: byte 0 picks the argument kind, bytes 1-4 a number, byte 5 the output
// size; the rest is "text\0argument".
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <string>

#include "text/escapes.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// ExpandEscapes over a string, put as replacements: "\\n" and "\\t" are
// two characters each and no replacement makes a new one.
std::string ExpandModel(std::string text, int* lines)
{
    *lines = 1;
    for (size_t at; (at = text.find("\\n")) != std::string::npos; ++*lines)
        text.replace(at, 2, "\r\n");
    for (size_t at; (at = text.find("\\t")) != std::string::npos;)
        text.replace(at, 2, "\t");
    return text;
}

void FuzzExpand(const std::string& text)
{
    // A heap block of exactly the text's length: no terminator to lean on.
    const size_t length = text.size();
    std::unique_ptr<char[]> exact(new char[length > 0 ? length : 1]);
    if (length > 0)
        std::memcpy(exact.get(), text.data(), length);
    const int lines = ExpandEscapes(exact.get(), length);
    int expectedLines = 0;
    const std::string expected = ExpandModel(text, &expectedLines);
    Check(lines == expectedLines);
    if (length == 0)
        return;
    size_t got = 0;
    while (got < length && exact[got] != '\0')
        ++got;
    Check(std::string(exact.get(), got) == expected); // never grows: got <= length
    for (size_t i = got; i < length; ++i)
        Check(exact[i] == '\0');
}

// Offset of the first "%" that is not in a "%%" pair, and how many there are.
size_t LonePercents(const std::string& text, size_t* first = nullptr)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
        } else if (count++ == 0 && first != nullptr) {
            *first = i;
        }
    }
    return count;
}

// Independent oracle: a text that a regular expression accepts as one valid
// conversion (short width and precision) is formatted by the C library.
bool OracleFormat(const std::string& text, const CatalogueArg& arg, std::string* expected)
{
    if (text.size() > 200)
        return false;
    static const std::regex textConv("^([^%]|%%)*%-*([1-9][0-9]{0,2})?(\\.[0-9]{0,3})?s([^%]|%%)*$");
    static const std::regex numberConv(
        "^([^%]|%%)*%([-+ 0]*([1-9][0-9]{0,2})?(\\.[0-9]{0,3})?l?[diu]|[-+ 0#]*([1-9][0-9]{0,2})?(\\.[0-9]{0,3})?l?[xX])([^%]|%%)*$");
    std::string format = text;
    // The oracle passes no "l": the value is 32-bit.
    char buffer[8192];
    if (arg.kind == CatalogueArg::TEXT && std::regex_match(text, textConv)) {
        std::snprintf(buffer, sizeof buffer, format.c_str(), arg.text);
    } else if (arg.kind == CatalogueArg::NUMBER && std::regex_match(text, numberConv)) {
        size_t percent = 0;
        LonePercents(format, &percent);
        const size_t type = format.find_first_of("diuxX", percent);
        const char conversion = format[type];
        if (format[type - 1] == 'l')
            format.erase(type - 1, 1);
        if (conversion == 'd' || conversion == 'i')
            std::snprintf(buffer, sizeof buffer, format.c_str(), static_cast<int>(arg.number));
        else
            std::snprintf(buffer, sizeof buffer, format.c_str(), static_cast<unsigned int>(arg.number));
    } else {
        return false;
    }
    *expected = buffer;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6)
        return 0;
    const uint8_t kind = data[0] % 3;
    const uint32_t bits = static_cast<uint32_t>(data[1]) | (static_cast<uint32_t>(data[2]) << 8) |
                          (static_cast<uint32_t>(data[3]) << 16) | (static_cast<uint32_t>(data[4]) << 24);
    const size_t outSize = data[5] == 0xFF ? 2000 : data[5] * 3u; // 0 .. 762, and a big one
    const std::string rest(reinterpret_cast<const char*>(data + 6), size - 6);
    const size_t split = rest.find('\0');
    const std::string text = rest.substr(0, split);
    const std::string argText = split == std::string::npos ? std::string() : rest.substr(split + 1);

    CatalogueArg arg = ArgNone();
    if (kind == 1)
        arg = ArgText(argText.c_str());
    else if (kind == 2)
        arg = ArgNumber(static_cast<long>(static_cast<int32_t>(bits)));

    std::unique_ptr<char[]> out(new char[outSize + 1]);
    std::memset(out.get(), 'Z', outSize + 1);
    const size_t n = FormatCatalogueText(text.c_str(), arg, out.get(), outSize);
    Check(out[outSize] == 'Z');
    if (outSize == 0) {
        Check(n == 0);
    } else {
        Check(n < outSize);
        Check(n <= kCatalogueTextMax);
        Check(std::strlen(out.get()) == n);
        const size_t limit = std::min(outSize - 1, kCatalogueTextMax);
        // Without an argument, or with other than one conversion, the text
        // stands as it is.
        if (kind == 0 || LonePercents(text) != 1)
            Check(std::string(out.get()) == text.substr(0, limit));
        std::string expected;
        if (OracleFormat(text, arg, &expected))
            Check(std::string(out.get()) == expected.substr(0, limit));
    }

    FuzzExpand(text);
    return 0;
}
