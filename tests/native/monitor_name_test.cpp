// Monitor name and registry key texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "monitor/monitor_name.h"

namespace {

const char kGoldenPath[] = "C:\\WINDOWS\\SYSTEM\\MV-DRT0000000000mon.dll";
const char kGoldenName[] = "MV-DRT0000000000 Network Printer Port"; // 37 characters
const char kSuffix[] = " Network Printer Port";

// The name built into a buffer of `size` bytes with a guard byte behind it.
std::string Name(const std::string& path, size_t size, bool* ok)
{
    std::vector<char> buffer(size + 1, 'Z');
    *ok = BuildMonitorName(path.c_str(), buffer.data(), size);
    EXPECT_EQ('Z', buffer[size]) << "wrote past the buffer";
    return std::string(buffer.data());
}

} // namespace

TEST(MonitorNameTest, FileNameLessItsLastSevenCharacters)
{
    const std::string longFile = std::string(5000, 'm');
    const struct {
        std::string path;
        size_t size;
        std::string expected; // empty: refused
    } cases[] = {
        {kGoldenPath, 320, kGoldenName},
        {"C:\\dir.with.dots\\sub\\ABCmon.dll", 320, std::string("ABC") + kSuffix},
        {"C:\\x/ABCmon.dll", 320, std::string("x/ABC") + kSuffix}, // "/" is no separator
        {"C:\\mon.dll", 320, kSuffix}, {"C:\\a", 320, kSuffix}, // no model part
        {"MV-DRT0000000000mon.dll", 320, ""}, {"", 320, ""}, // no backslash
        // The backslash is searched for down to the second character only.
        {"\\MV-DRT0000000000mon.dll", 320, ""}, {"C\\MV-DRT0000000000mon.dll", 320, kGoldenName},
        {kGoldenPath, 38, kGoldenName}, {kGoldenPath, 37, ""}, // exactly, one byte short
        {"C:\\" + std::string(100000, 'd') + "\\MV-DRT0000000000mon.dll", 320, kGoldenName},
        {"C:\\" + longFile + "mon.dll", 320, ""}, // refused, never overflowed
        {"C:\\" + longFile + "mon.dll", 6000, longFile + kSuffix},
    };
    for (const auto& c : cases) {
        bool ok = false;
        EXPECT_EQ(c.expected, Name(c.path, c.size, &ok)) << c.path.substr(0, 40) << " into " << c.size;
        EXPECT_EQ(!c.expected.empty(), ok) << c.path.substr(0, 40) << " into " << c.size;
    }

    char name[64] = "junk";
    EXPECT_FALSE(BuildMonitorName(nullptr, name, sizeof name));
    EXPECT_STREQ("", name);
    EXPECT_FALSE(BuildMonitorName("C:\\ABCmon.dll", nullptr, 64));
    char untouched = 'Z';
    EXPECT_FALSE(BuildMonitorName("C:\\ABCmon.dll", &untouched, 0));
    EXPECT_EQ('Z', untouched);
}

TEST(MonitorNameTest, KeysFitExactlyOrAreRefusedTogether)
{
    const std::string prefix = "System\\CurrentControlSet\\Control\\Print\\Monitors\\";
    const char* name = "MV-DRT0000000000XY Network Printer Port";             // 39
    const std::string monitorText = prefix + name, portsText = monitorText + "\\Ports"; // 87, 93
    std::vector<char> monitorKey(89, 'Z'), portsKey(95, 'Z');
    ASSERT_TRUE(BuildMonitorKeys(name, monitorKey.data(), 88, portsKey.data(), 94));
    EXPECT_EQ(monitorText, monitorKey.data());
    EXPECT_EQ(portsText, portsKey.data());

    const std::string huge(100000, 'n');
    const struct {
        const char* name;
        size_t monitorSize, portsSize;
    } refused[] = {{name, 87, 94}, {name, 88, 93}, {"", 88, 94}, {nullptr, 88, 94}, {huge.c_str(), 88, 94}};
    for (const auto& c : refused) {
        EXPECT_FALSE(BuildMonitorKeys(c.name, monitorKey.data(), c.monitorSize, portsKey.data(), c.portsSize));
        EXPECT_STREQ("", monitorKey.data());
        EXPECT_STREQ("", portsKey.data());
        EXPECT_EQ('Z', monitorKey[88]);
        EXPECT_EQ('Z', portsKey[94]);
        monitorKey[0] = portsKey[0] = 'j';
    }
    EXPECT_FALSE(BuildMonitorKeys("N", nullptr, 400, portsKey.data(), 94));
    EXPECT_STREQ("", portsKey.data());
    EXPECT_FALSE(BuildMonitorKeys("N", monitorKey.data(), 88, nullptr, 400));
    EXPECT_STREQ("", monitorKey.data());
}

TEST(PortKeyTest, FitsExactlyAndRefusesEmptyOrOversizeParts)
{
    std::vector<char> key(15, 'Z');
    ASSERT_TRUE(BuildPortKey("A\\Ports", "LPT9:", key.data(), 14)); // 13 characters
    EXPECT_STREQ("A\\Ports\\LPT9:", key.data());

    const std::string huge(100000, 'p');
    const struct {
        const char* ports;
        const char* port;
        size_t size;
    } refused[] = {{"A\\Ports", "LPT9:", 13}, {"", "IPP_1", 14}, {"Ports", "", 14}, {nullptr, "P", 14},
                   {"Ports", nullptr, 14}, {"Ports", huge.c_str(), 14}};
    for (const auto& c : refused) {
        key[0] = 'j';
        EXPECT_FALSE(BuildPortKey(c.ports, c.port, key.data(), c.size));
        EXPECT_STREQ("", key.data());
        EXPECT_EQ('Z', key[14]);
    }
    EXPECT_FALSE(BuildPortKey("Ports", "P", nullptr, 400));
    char untouched = 'Z';
    EXPECT_FALSE(BuildPortKey("Ports", "P", &untouched, 0));
    EXPECT_EQ('Z', untouched);
}
