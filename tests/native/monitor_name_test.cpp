// Monitor name and registry key texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "monitor/monitor_name.h"

namespace {

const char kKeyPrefix[] = "System\\CurrentControlSet\\Control\\Print\\Monitors";
const size_t kCallerNameSize = 320; // the callers' name/key buffers
const size_t kCallerKeySize = 400;

std::string Name(const std::string& path, size_t size = kCallerNameSize, bool* ok = nullptr)
{
    std::vector<char> buffer(size + 1, 'Z');
    const bool result = BuildMonitorName(path.c_str(), buffer.data(), size);
    if (ok != nullptr)
        *ok = result;
    EXPECT_EQ('Z', buffer[size]) << "wrote past the buffer";
    return size > 0 ? std::string(buffer.data()) : std::string();
}

} // namespace

TEST(MonitorNameTest, PrefixMacroIsTheRegistryPath)
{
    EXPECT_STREQ(kKeyPrefix, MONITORS_KEY);
    EXPECT_EQ(47u, std::strlen(MONITORS_KEY));
    EXPECT_STREQ(" Network Printer Port", MONITOR_NAME_SUFFIX);
}

TEST(MonitorNameTest, GoldenModulePath)
{
    bool ok = false;
    EXPECT_EQ("MV-DRT0000000000 Network Printer Port", Name("C:\\WINDOWS\\SYSTEM\\MV-DRT0000000000mon.dll", 320, &ok));
    EXPECT_TRUE(ok);
}

TEST(MonitorNameTest, GoldenKeys)
{
    char name[320];
    char monitorKey[400];
    char portsKey[400];
    ASSERT_TRUE(BuildMonitorName("C:\\WINDOWS\\SYSTEM\\MV-DRT0000000000mon.dll", name, sizeof name));
    ASSERT_TRUE(BuildMonitorKeys(name, monitorKey, sizeof monitorKey, portsKey, sizeof portsKey));
    EXPECT_STREQ("System\\CurrentControlSet\\Control\\Print\\Monitors\\MV-DRT0000000000 Network Printer Port",
                 monitorKey);
    EXPECT_STREQ("System\\CurrentControlSet\\Control\\Print\\Monitors\\MV-DRT0000000000 Network Printer Port\\Ports",
                 portsKey);
}

TEST(MonitorNameTest, OnlyTheFileNameAfterTheLastBackslashCounts)
{
    EXPECT_EQ("ABC Network Printer Port", Name("C:\\dir.with.dots\\sub\\ABCmon.dll"));
    // Forward slashes are no separators.
    EXPECT_EQ("x/ABC Network Printer Port", Name("C:\\x/ABCmon.dll"));
}

TEST(MonitorNameTest, ShortFileNamesGiveAnEmptyModelPart)
{
    EXPECT_EQ(" Network Printer Port", Name("C:\\mon.dll"));   // 7 characters
    EXPECT_EQ(" Network Printer Port", Name("C:\\on.dll"));    // 6
    EXPECT_EQ(" Network Printer Port", Name("C:\\a"));         // 1
    EXPECT_EQ(" Network Printer Port", Name("C:\\dir\\"));     // 0
    EXPECT_EQ("X Network Printer Port", Name("C:\\Xmon.dll")); // 8
}

TEST(MonitorNameTest, NoBackslashGivesAnEmptyName)
{
    bool ok = true;
    EXPECT_EQ("", Name("MV-DRT0000000000mon.dll", 320, &ok));
    EXPECT_FALSE(ok);
    EXPECT_EQ("", Name("", 320, &ok));
    EXPECT_FALSE(ok);
}

TEST(MonitorNameTest, BackslashInTheFirstCharacterIsNotSearched)
{
    bool ok = true;
    EXPECT_EQ("", Name("\\MV-DRT0000000000mon.dll", 320, &ok));
    EXPECT_FALSE(ok);
    // The second character is searched.
    EXPECT_EQ("MV-DRT0000000000 Network Printer Port", Name("C\\MV-DRT0000000000mon.dll", 320, &ok));
    EXPECT_TRUE(ok);
}

TEST(MonitorNameTest, NullArgumentsAreRefused)
{
    char name[64] = "junk";
    EXPECT_FALSE(BuildMonitorName(nullptr, name, sizeof name));
    EXPECT_STREQ("", name);
    EXPECT_FALSE(BuildMonitorName("C:\\ABCmon.dll", nullptr, 64));
    char untouched = 'Z';
    EXPECT_FALSE(BuildMonitorName("C:\\ABCmon.dll", &untouched, 0));
    EXPECT_EQ('Z', untouched);
}

TEST(MonitorNameTest, ExactBufferFitsAndOneByteShortFails)
{
    const std::string expected = "MV-DRT0000000000 Network Printer Port"; // 37
    const std::string path = "C:\\WINDOWS\\SYSTEM\\MV-DRT0000000000mon.dll";
    bool ok = false;
    EXPECT_EQ(expected, Name(path, expected.size() + 1, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ("", Name(path, expected.size(), &ok));
    EXPECT_FALSE(ok);
    EXPECT_EQ("", Name(path, 1, &ok));
    EXPECT_FALSE(ok);
}

TEST(MonitorNameTest, AnyPathLengthWorks)
{
    // A directory part far beyond MAX_PATH.
    const std::string path = "C:\\" + std::string(100000, 'd') + "\\MV-DRT0000000000mon.dll";
    EXPECT_EQ("MV-DRT0000000000 Network Printer Port", Name(path));

    // A file name too long for the callers' buffer: refused, never overflowed.
    const std::string longFile = "C:\\" + std::string(5000, 'm') + "mon.dll";
    bool ok = true;
    EXPECT_EQ("", Name(longFile, kCallerNameSize, &ok));
    EXPECT_FALSE(ok);
    // With room enough it is built.
    EXPECT_EQ(std::string(5000, 'm') + " Network Printer Port", Name(longFile, 6000, &ok));
    EXPECT_TRUE(ok);
}

TEST(MonitorNameTest, ThirtyNineCharacterNameFitsTheCallersBuffers)
{
    char name[kCallerNameSize];
    char monitorKey[kCallerKeySize];
    char portsKey[kCallerKeySize];
    ASSERT_TRUE(BuildMonitorName("C:\\W\\MV-DRT0000000000XYmon.dll", name, sizeof name));
    EXPECT_EQ(39u, std::strlen(name));
    ASSERT_TRUE(BuildMonitorKeys(name, monitorKey, sizeof monitorKey, portsKey, sizeof portsKey));
    EXPECT_EQ(87u, std::strlen(monitorKey));
    EXPECT_EQ(93u, std::strlen(portsKey));
    // The 320-byte size of the other callers as well.
    char monitorKey320[320];
    char portsKey320[320];
    EXPECT_TRUE(BuildMonitorKeys(name, monitorKey320, sizeof monitorKey320, portsKey320, sizeof portsKey320));
    EXPECT_STREQ(portsKey, portsKey320);
}

TEST(MonitorNameTest, KeysExactSizesAndOneByteShort)
{
    const char* name = "MV-DRT0000000000XY Network Printer Port"; // 39
    std::vector<char> monitorKey(88 + 1, 'Z');
    std::vector<char> portsKey(94 + 1, 'Z');
    EXPECT_TRUE(BuildMonitorKeys(name, monitorKey.data(), 88, portsKey.data(), 94));
    EXPECT_EQ(87u, std::strlen(monitorKey.data()));
    EXPECT_EQ(93u, std::strlen(portsKey.data()));
    EXPECT_EQ('Z', monitorKey[88]);
    EXPECT_EQ('Z', portsKey[94]);

    // Monitor key one short: both empty.
    EXPECT_FALSE(BuildMonitorKeys(name, monitorKey.data(), 87, portsKey.data(), 94));
    EXPECT_STREQ("", monitorKey.data());
    EXPECT_STREQ("", portsKey.data());
    // Ports key one short: both empty.
    EXPECT_FALSE(BuildMonitorKeys(name, monitorKey.data(), 88, portsKey.data(), 93));
    EXPECT_STREQ("", monitorKey.data());
    EXPECT_STREQ("", portsKey.data());
    EXPECT_EQ('Z', monitorKey[88]);
    EXPECT_EQ('Z', portsKey[94]);
}

TEST(MonitorNameTest, KeysOfAnEmptyOrMissingNameAreRefused)
{
    char monitorKey[400] = "junk";
    char portsKey[400] = "junk";
    EXPECT_FALSE(BuildMonitorKeys("", monitorKey, sizeof monitorKey, portsKey, sizeof portsKey));
    EXPECT_STREQ("", monitorKey);
    EXPECT_STREQ("", portsKey);
    std::strcpy(monitorKey, "junk");
    std::strcpy(portsKey, "junk");
    EXPECT_FALSE(BuildMonitorKeys(nullptr, monitorKey, sizeof monitorKey, portsKey, sizeof portsKey));
    EXPECT_STREQ("", monitorKey);
    EXPECT_STREQ("", portsKey);
    EXPECT_FALSE(BuildMonitorKeys("N", nullptr, 400, portsKey, sizeof portsKey));
    EXPECT_STREQ("", portsKey);
    EXPECT_FALSE(BuildMonitorKeys("N", monitorKey, sizeof monitorKey, nullptr, 400));
    EXPECT_STREQ("", monitorKey);
}

TEST(MonitorNameTest, KeysOfAHugeNameAreRefused)
{
    const std::string name(100000, 'n');
    char monitorKey[400];
    char portsKey[400];
    EXPECT_FALSE(BuildMonitorKeys(name.c_str(), monitorKey, sizeof monitorKey, portsKey, sizeof portsKey));
    EXPECT_STREQ("", monitorKey);
    EXPECT_STREQ("", portsKey);
}

TEST(PortKeyTest, Golden)
{
    char key[400];
    const char* ports = "System\\CurrentControlSet\\Control\\Print\\Monitors\\MV-DRT0000000000 Network Printer Port\\Ports";
    ASSERT_TRUE(BuildPortKey(ports, "IPP_1", key, sizeof key));
    EXPECT_EQ(std::string(ports) + "\\IPP_1", key);
}

TEST(PortKeyTest, EmptyPartsAreRefused)
{
    char key[400] = "junk";
    EXPECT_FALSE(BuildPortKey("", "IPP_1", key, sizeof key));
    EXPECT_STREQ("", key);
    std::strcpy(key, "junk");
    EXPECT_FALSE(BuildPortKey("Ports", "", key, sizeof key));
    EXPECT_STREQ("", key);
    std::strcpy(key, "junk");
    EXPECT_FALSE(BuildPortKey(nullptr, "IPP_1", key, sizeof key));
    EXPECT_STREQ("", key);
    std::strcpy(key, "junk");
    EXPECT_FALSE(BuildPortKey("Ports", nullptr, key, sizeof key));
    EXPECT_STREQ("", key);
    EXPECT_FALSE(BuildPortKey("Ports", "P", nullptr, 400));
    char untouched = 'Z';
    EXPECT_FALSE(BuildPortKey("Ports", "P", &untouched, 0));
    EXPECT_EQ('Z', untouched);
}

TEST(PortKeyTest, ExactSizeAndOneByteShort)
{
    const char* ports = "A\\Ports"; // 7
    const char* port = "LPT9:";     // 5 -> 13 characters, 14 bytes
    std::vector<char> key(15, 'Z');
    EXPECT_TRUE(BuildPortKey(ports, port, key.data(), 14));
    EXPECT_STREQ("A\\Ports\\LPT9:", key.data());
    EXPECT_EQ('Z', key[14]);
    std::fill(key.begin(), key.end(), 'Z');
    EXPECT_FALSE(BuildPortKey(ports, port, key.data(), 13));
    EXPECT_STREQ("", key.data());
    EXPECT_EQ('Z', key[13]);
}

TEST(PortKeyTest, HugePortNameIsRefused)
{
    const std::string port(100000, 'p');
    char key[400];
    EXPECT_FALSE(BuildPortKey("Ports", port.c_str(), key, sizeof key));
    EXPECT_STREQ("", key);
}
