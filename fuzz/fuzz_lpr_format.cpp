// Fuzzes the line printer daemon formats: whatever the names and buffer
// sizes, the output fits, holds exactly six lines, no name adds a line, and
// the announced control-file length is the length built.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/lpr_format.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Splits the input at the first two 0xFF bytes into three names.
void Split(const std::string& input, std::string* host, std::string* user, std::string* document)
{
    const size_t a = input.find('\xFF');
    const size_t b = a == std::string::npos ? std::string::npos : input.find('\xFF', a + 1);
    *host = input.substr(0, a);
    *user = a == std::string::npos ? std::string() : input.substr(a + 1, b == std::string::npos ? b : b - a - 1);
    *document = b == std::string::npos ? std::string() : input.substr(b + 1);
}

// Shift_JIS lead bytes: names are then cut on character boundaries.
bool ShiftJisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

void CheckControlFile(const char* host, const char* user, const char* document, unsigned number,
                      LprLeadByteTest isLead)
{
    char file[kLprControlFileMax];
    const size_t length = LprBuildControlFile(host, user, document, number, file, sizeof file, isLead);
    Check(length > 0 && length == std::strlen(file));
    size_t lines = 0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(file[i]);
        Check(c == '\n' || (c >= 0x20 && c != 0x7F));
        if (c == '\n')
            ++lines;
    }
    Check(lines == 6 && file[length - 1] == '\n');
    Check(file[0] == 'H');

    char command[kLprCommandMax];
    const size_t n = LprControlFileCommand(static_cast<uint32_t>(length), number, host, command, sizeof command);
    Check(n > 0 && command[0] == 0x02 && command[n - 1] == '\n');
    Check(static_cast<size_t>(std::strtoul(command + 1, nullptr, 10)) == length);

    // Any smaller buffer fails cleanly and leaves the bytes past it alone.
    const size_t small = length % 64;
    char tiny[kLprControlFileMax];
    std::memset(tiny, 'Z', sizeof tiny);
    Check(LprBuildControlFile(host, user, document, number, tiny, small, isLead) == 0);
    Check(tiny[small] == 'Z');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string host, user, document;
    Split(input, &host, &user, &document);
    const unsigned number = size > 0 ? LprJobNumber(data[0] * 131u + static_cast<uint32_t>(size)) : 0;
    CheckControlFile(host.c_str(), user.c_str(), document.c_str(), number, nullptr);
    CheckControlFile(host.c_str(), user.c_str(), document.c_str(), number, ShiftJisLead);

    char command[kLprCommandMax];
    const size_t job = LprReceiveJobCommand(user.c_str(), command, sizeof command);
    bool control = false;
    for (const char* c = user.c_str(); *c; ++c)
        control = control || static_cast<unsigned char>(*c) < 0x20 || static_cast<unsigned char>(*c) == 0x7F;
    Check(control ? job == 0 : (job == std::strlen(user.c_str()) + 2 || job == 0));

    const size_t streamed = LprDataFileCommand(static_cast<uint32_t>(size), true, number, host.c_str(), command,
                                               sizeof command);
    Check(streamed > 0 && std::strncmp(command + 1, kLprStreamedLength, std::strlen(kLprStreamedLength)) == 0);
    Check(std::strchr(command, '\n') == command + streamed - 1);
    return 0;
}
