#include "ipp/proxy_setting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Proxy {
    std::string address, port;
};

Proxy Parse(const std::string& value, size_t addressSize = 257, size_t portSize = 11)
{
    char address[300], port[300];
    std::memset(address, 'x', sizeof address);
    std::memset(port, 'x', sizeof port);
    ParseProxyServer(value.data(), value.size(), address, addressSize, port, portSize);
    return Proxy{address, port};
}

} // namespace

TEST(ProxySettingTest, OneProxyOrTheHttpEntry)
{
    struct Case {
        std::string value, address, port;
    } cases[] = {
        {"proxy.example:8080", "proxy.example", "8080"},
        {"proxy.example", "proxy.example", ""},
        {"http=web:3128;ftp=files:21", "web", "3128"},
        {"ftp=files:21;HTTP=web:3128;https=secure:443", "web", "3128"},
        {"ftp=files:21;Http=web", "web", ""},
        {"http=", "", ""},
        {"", "", ""},
        {"a:b:c", "a", "b:c"},
    };
    for (const Case& c : cases) {
        Proxy p = Parse(c.value);
        EXPECT_EQ(c.address, p.address) << c.value;
        EXPECT_EQ(c.port, p.port) << c.value;
    }
}

// Per-protocol entries without one for HTTP name no HTTP proxy: taking the
// whole text as an address would offer "ftp=files" as the proxy.
TEST(ProxySettingTest, EntriesWithoutHttpGiveNothing)
{
    for (const char* value : {"ftp=files:21", "https=secure:443;socks=s:1080", "=:"}) {
        Proxy p = Parse(value);
        EXPECT_EQ("", p.address) << value;
        EXPECT_EQ("", p.port) << value;
    }
}

// A registry text need not be terminated, and may be longer than the fields.
TEST(ProxySettingTest, UnterminatedAndLongValuesStayInBounds)
{
    const char raw[] = {'h', 'o', 's', 't', ':', '8', '0'}; // no terminator
    char address[8], port[4];
    ParseProxyServer(raw, sizeof raw, address, sizeof address, port, sizeof port);
    EXPECT_STREQ("host", address);
    EXPECT_STREQ("80", port);
    ParseProxyServer(raw, 3, address, sizeof address, port, sizeof port);
    EXPECT_STREQ("hos", address);
    EXPECT_STREQ("", port);

    Proxy p = Parse(std::string(400, 'a') + ":" + std::string(40, '9'));
    EXPECT_EQ(std::string(256, 'a'), p.address);
    EXPECT_EQ(std::string(10, '9'), p.port);
    p = Parse(std::string("web:80\0ftp=x", 12));
    EXPECT_EQ("web", p.address);
    EXPECT_EQ("80", p.port);
}
