// ParsePrinterUrlText.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "ipp/printer_url.h"

namespace {

struct Parsed {
    int result;
    std::string host;
    std::string path;
    uint32_t port;
};

// Host and path in heap blocks of exactly their field sizes.
Parsed Parse(const std::string& url, uint32_t port = 0xDEADBEEF)
{
    std::unique_ptr<char[]> host(new char[kUrlHostSize]);
    std::unique_ptr<char[]> path(new char[kUrlPathSize]);
    std::memset(host.get(), 'Z', kUrlHostSize);
    std::memset(path.get(), 'Z', kUrlPathSize);
    Parsed parsed;
    parsed.result = ParsePrinterUrlText(url.c_str(), host.get(), path.get(), &port);
    EXPECT_NE(nullptr, std::memchr(host.get(), '\0', kUrlHostSize));
    EXPECT_NE(nullptr, std::memchr(path.get(), '\0', kUrlPathSize));
    parsed.host = host.get();
    parsed.path = path.get();
    parsed.port = port;
    return parsed;
}

} // namespace

TEST(PrinterUrlTest, FieldSizes)
{
    EXPECT_EQ(65u, kUrlHostSize);
    EXPECT_EQ(33u, kUrlPathSize);
}

TEST(PrinterUrlTest, IppWithPath)
{
    const Parsed p = Parse("ipp://10.1.2.3/ipp");
    EXPECT_EQ(1, p.result);
    EXPECT_EQ("10.1.2.3", p.host);
    EXPECT_EQ(631u, p.port);
    EXPECT_EQ("/ipp", p.path);
}

TEST(PrinterUrlTest, CapitalHttpWithPortAndNoPath)
{
    const Parsed p = Parse("HTTP://10.1.2.3:8080");
    EXPECT_EQ(1, p.result);
    EXPECT_EQ("10.1.2.3", p.host);
    EXPECT_EQ(8080u, p.port);
    EXPECT_EQ("/", p.path);
}

TEST(PrinterUrlTest, SchemeDefaultsAndCase)
{
    EXPECT_EQ(80u, Parse("http://printer/p").port);
    EXPECT_EQ(80u, Parse("hTtP://printer").port);
    EXPECT_EQ(631u, Parse("IPP://printer").port);
    EXPECT_EQ(1, Parse("IpP://printer").result);
}

TEST(PrinterUrlTest, RefusedPortTexts)
{
    for (const char* url : {"http://h:0/", "http://h:abc/", "http://h:631x/", "http://h:/", "http://h:-1/",
                            "http://h: 80/", "http://h:80:90/", "http://h:4294967295/"}) {
        EXPECT_EQ(0, Parse(url).result) << url;
    }
}

TEST(PrinterUrlTest, PortTextEndedByAHexLetter)
{
    const Parsed p = Parse("http://h:12a/x");
    EXPECT_EQ(1, p.result);
    EXPECT_EQ(12u, p.port);
    EXPECT_EQ("h", p.host);
    EXPECT_EQ("/x", p.path);
}

TEST(PrinterUrlTest, PortsAboveTheTcpRangeAreNotRefused)
{
    const Parsed p = Parse("ipp://h:70000");
    EXPECT_EQ(1, p.result);
    EXPECT_EQ(70000u, p.port);
}

TEST(PrinterUrlTest, OtherSchemesAreRefused)
{
    for (const char* url : {"ipps://h/ipp", "lpr://h/q", "ftp://h/", "https://h/", "http:/h/", "http:h",
                            "ipp:", "http:", "h", "", "//h/", "http//h/", "abcdefghttp://h/", " http://h/"}) {
        const Parsed p = Parse(url, 7);
        EXPECT_EQ(0, p.result) << url;
        EXPECT_EQ("", p.host) << url;
        EXPECT_EQ("", p.path) << url;
        EXPECT_EQ(7u, p.port) << url; // not touched
    }
}

TEST(PrinterUrlTest, EmptyHostIsRefused)
{
    Parsed p = Parse("http:///ipp");
    EXPECT_EQ(0, p.result);
    EXPECT_EQ("", p.host);
    EXPECT_EQ("/ipp", p.path); // written as far as the parse got
    EXPECT_EQ(80u, p.port);
    EXPECT_EQ(0, Parse("ipp://").result);
    // Nothing in front of the port.
    p = Parse("http://:8080/ipp");
    EXPECT_EQ(0, p.result);
    EXPECT_EQ("", p.host);
}

TEST(PrinterUrlTest, UserInformationAndIpv6AreHostText)
{
    Parsed p = Parse("http://user@host/ipp");
    EXPECT_EQ(1, p.result);
    EXPECT_EQ("user@host", p.host);
    // The first ":" of an IPv6 literal starts the port text.
    EXPECT_EQ(0, Parse("http://[::1]:631/").result);
}

TEST(PrinterUrlTest, HostOfMoreThan64CharactersIsCut)
{
    const std::string host(65, 'h');
    const Parsed p = Parse("http://" + host + "/ipp/print");
    EXPECT_EQ(1, p.result);
    EXPECT_EQ(std::string(64, 'h'), p.host);
    EXPECT_EQ("/", p.path);
    // Whatever followed, even a port.
    const Parsed q = Parse("ipp://" + std::string(64, 'a') + ":8080/x");
    EXPECT_EQ(1, q.result);
    EXPECT_EQ(std::string(64, 'a'), q.host);
    EXPECT_EQ(631u, q.port);
    EXPECT_EQ("/", q.path);
}

TEST(PrinterUrlTest, HostOfExactly64Characters)
{
    const std::string host(64, 'h');
    Parsed p = Parse("http://" + host);
    EXPECT_EQ(1, p.result);
    EXPECT_EQ(host, p.host);
    EXPECT_EQ("/", p.path);
    // After 64 characters the rest is not looked at, even a "/".
    p = Parse("http://" + host + "/ipp");
    EXPECT_EQ(1, p.result);
    EXPECT_EQ(host, p.host);
    EXPECT_EQ("/", p.path);
    // 63 characters keep their path.
    p = Parse("http://" + std::string(63, 'h') + "/ipp");
    EXPECT_EQ("/ipp", p.path);
}

TEST(PrinterUrlTest, PathOf32CharactersIsTakenAndLongerRefused)
{
    const std::string path32 = "/" + std::string(31, 'p');
    Parsed p = Parse("ipp://h" + path32);
    EXPECT_EQ(1, p.result);
    EXPECT_EQ(path32, p.path);

    p = Parse("ipp://h:8631" + path32 + "q");
    EXPECT_EQ(0, p.result);
    EXPECT_EQ(path32, p.path); // cut and terminated
    EXPECT_EQ("h", p.host);
    EXPECT_EQ(8631u, p.port);

    p = Parse("ipp://h/" + std::string(10000, 'x'));
    EXPECT_EQ(0, p.result);
    EXPECT_EQ(32u, p.path.size());
}

TEST(PrinterUrlTest, VeryLongUrls)
{
    Parsed p = Parse("http://" + std::string(100000, 'h'));
    EXPECT_EQ(1, p.result);
    EXPECT_EQ(64u, p.host.size());
    p = Parse(std::string(100000, ':'));
    EXPECT_EQ(0, p.result);
}

TEST(PrinterUrlTest, MissingArguments)
{
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
