// ParsePrinterUrlText.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "ipp/printer_url.h"

namespace {

const uint32_t kUntouched = 0xDEADBEEF;

struct Parsed {
    int result;
    std::string host;
    std::string path;
    uint32_t port;
};

// The URL, host and path in heap blocks of exactly their sizes.
Parsed Parse(const std::string& url)
{
    std::unique_ptr<char[]> text(new char[url.size() + 1]);
    std::memcpy(text.get(), url.c_str(), url.size() + 1);
    std::unique_ptr<char[]> host(new char[kUrlHostSize]);
    std::unique_ptr<char[]> path(new char[kUrlPathSize]);
    std::memset(host.get(), 'Z', kUrlHostSize);
    std::memset(path.get(), 'Z', kUrlPathSize);
    Parsed parsed{0, "", "", kUntouched};
    parsed.result = ParsePrinterUrlText(text.get(), host.get(), path.get(), &parsed.port);
    EXPECT_NE(nullptr, std::memchr(host.get(), '\0', kUrlHostSize));
    EXPECT_NE(nullptr, std::memchr(path.get(), '\0', kUrlPathSize));
    parsed.host = host.get();
    parsed.path = path.get();
    return parsed;
}

} // namespace

TEST(PrinterUrlTest, HostPortAndPath)
{
    const std::string h64(64, 'h'), path256 = "/" + std::string(255, 'p');
    const struct {
        std::string url;
        int result;
        std::string host;
        uint32_t port;
        std::string path;
    } cases[] = {
        {"ipp://10.1.2.3/ipp", 1, "10.1.2.3", 631, "/ipp"}, {"HTTP://10.1.2.3:8080", 1, "10.1.2.3", 8080, "/"},
        {"hTtP://printer", 1, "printer", 80, "/"},         {"IpP://printer", 1, "printer", 631, "/"},
        {"http://h:12a/x", 1, "h", 12, "/x"},              // a hex letter ends the port text
        {"ipp://h:65535", 1, "h", 65535, "/"},             {"ipp://h:65536", 0, "h:65536", 631, ""},
        {"ipp://h:99999999999", 0, "h:99999999999", 631, ""},
        {"http://user@host/ipp", 1, "user@host", 80, "/ipp"},
        // An empty host is refused, with the fields written as far as the parse got.
        {"http:///ipp", 0, "", 80, "/ipp"}, {"ipp://", 0, "", 631, ""}, {"http://:8080/ipp", 0, "", 8080, "/ipp"},
        // Host and ":port" hold 64 characters; a longer one is refused, not cut.
        {"http://" + h64, 1, h64, 80, "/"}, {"http://" + h64.substr(3) + ":80/p", 1, h64.substr(3), 80, "/p"},
        {"http://" + h64 + "h/ipp/print", 0, h64, 80, ""}, {"ipp://" + h64 + ":8080/x", 0, h64, 631, ""},
        {"http://" + std::string(100000, 'h'), 0, h64, 80, ""},
        // Any path of a 256-character URL is taken (CUPS paths are long);
        // a longer one is cut and refused.
        {"ipp://localhost:631/printers/a-long-queue-name-of-a-printer", 1, "localhost", 631,
         "/printers/a-long-queue-name-of-a-printer"},
        {"ipp://h" + path256, 1, "h", 631, path256},        {"ipp://h:8631" + path256 + "q", 0, "h", 8631, path256},
        {"ipp://h/" + std::string(10000, 'x'), 0, "h", 631, "/" + std::string(255, 'x')},
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(c.url);
        const std::string shown = c.url.substr(0, 80);
        EXPECT_EQ(c.result, p.result) << shown;
        EXPECT_EQ(c.host, p.host) << shown;
        EXPECT_EQ(c.port, p.port) << shown;
        EXPECT_EQ(c.path, p.path) << shown;
    }
}

TEST(PrinterUrlTest, RefusedPortsAndSchemes)
{
    for (const char* url : {"http://h:0/", "http://h:abc/", "http://h:631x/", "http://h:/", "http://h:-1/",
                            "http://h: 80/", "http://h:80:90/", "http://h:4294967295/", "http://[::1]:631/"})
        EXPECT_EQ(0, Parse(url).result) << url;
    // Another scheme leaves the port untouched and host and path empty.
    const std::string colons(100000, ':');
    for (const char* url : {"ipps://h/ipp", "lpr://h/q", "ftp://h/", "https://h/", "http:/h/", "http:h", "ipp:",
                            "http:", "h", "", "//h/", "http//h/", "abcdefghttp://h/", " http://h/", colons.c_str()}) {
        const Parsed p = Parse(url);
        EXPECT_EQ(0, p.result) << url;
        EXPECT_EQ("", p.host) << url;
        EXPECT_EQ("", p.path) << url;
        EXPECT_EQ(kUntouched, p.port) << url;
    }

    char host[kUrlHostSize] = "junk";
    char path[kUrlPathSize] = "junk";
    uint32_t port = 5;
    EXPECT_EQ(0, ParsePrinterUrlText(nullptr, host, path, &port));
    EXPECT_STREQ("", host);
    EXPECT_STREQ("", path);
    EXPECT_EQ(0, ParsePrinterUrlText("ipp://h/", nullptr, path, &port));
    EXPECT_EQ(0, ParsePrinterUrlText("ipp://h/", host, nullptr, &port));
    EXPECT_EQ(0, ParsePrinterUrlText("ipp://h/", host, path, nullptr));
    EXPECT_EQ(5u, port);
}

// Host and path are written verbatim into the request line and the Host
// header: a blank or control character there would end the line or the field
// early, so such a URL is refused instead of stored or sent.
TEST(PrinterUrlTest, BlanksAndControlsRefused)
{
    for (const char* url : {"http://print er/ipp", "http://h/ipp/print er", "http://h/ipp\r\nX-Injected: 1",
                            "http://h\t/ipp", "ipp://h/a\x7f", "http://h/\x01", "http://h:631/p q"})
        EXPECT_EQ(0, Parse(url).result) << url;
    // Percent-encoded blanks and bytes above 0x7F stay usable.
    for (const char* url : {"http://h/ipp/print%20er", "http://h/\x83\x76\x83\x8a"})
        EXPECT_EQ(1, Parse(url).result) << url;
}
