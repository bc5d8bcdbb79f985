// The monitor DLL loaded as a spooler loads it, with the spooler stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/dll_monitor.h"

namespace {

const DWORD kSentinel = 0xdeadbeef;
// Times scaled by 20: refresh at most every 500 ms, waited for 150 ms.
const DWORD kDivisor = 20;
const DWORD kPastInterval = 10000 / kDivisor + 100;

std::vector<std::string> Names(const std::vector<DllMonitor::Port>& ports)
{
    std::vector<std::string> names;
    for (const auto& port : ports)
        names.push_back(port.name);
    return names;
}

const DllMonitor::Port* Find(const std::vector<DllMonitor::Port>& ports, const std::string& name)
{
    for (const auto& port : ports)
        if (port.name == name)
            return &port;
    return nullptr;
}

DWORD WINAPI NoNetwork(DWORD, DWORD, DWORD, LPNETRESOURCEA, LPHANDLE)
{
    return ERROR_NO_NETWORK;
}

// The host table is taken whole or not at all: none, or one of another size,
// is refused and changes nothing; members left NULL keep the functions in use.
TEST(MonitorDll, HostServicesOfAnotherSizeAreRefusedAndNullMembersKept)
{
    DllMonitor m;
    StandinSetNetPrinters({{"LPT3", "\\\\server\\laser", false}});
    ASSERT_TRUE(m.Load(kDivisor)) << m.error;
    auto set = reinterpret_cast<SetMonitorHostServicesFn>(
        reinterpret_cast<void*>(GetProcAddress(m.monitor.module, SET_MONITOR_HOST_SERVICES_EXPORT)));
    ASSERT_NE(set, nullptr);
    MonitorHostServices services = {};
    services.WNetOpenEnumA = NoNetwork;
    services.timeDivisor = kDivisor;
    for (DWORD size : {DWORD(0), DWORD(sizeof services - 4), DWORD(sizeof services + 4)}) {
        services.size = size;
        SetLastError(0);
        EXPECT_FALSE(set(&services)) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << size;
    }
    SetLastError(0);
    EXPECT_FALSE(set(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    MonitorHostServices empty = {};
    empty.size = sizeof empty;
    empty.timeDivisor = kDivisor;
    EXPECT_TRUE(set(&empty));
    EXPECT_NE(Find(m.Enumerate(2), "LPT3:"), nullptr) << "the stand-in's network is still asked";
}

// A key name longer than the usual buffers neither stops loading (RAW1 and XY
// come after it in the registry) nor loses its place in the order.
TEST(MonitorDll, RegistryPortsEnumerateLongestNameFirstWithTypesAndDescriptions)
{
    DllMonitor m;
    const std::string longName(230, 'P');
    m.SetPortDword(longName, "PrintMode", 3);
    m.SetPortDword("XY", "PrintMode", 0);
    m.SetPortDword("ABCD", "PrintMode", 1);
    m.SetPortDword("RAW1", "PrintMode", 3);
    m.SetPortDword("MAILBOX", "PrintMode", 2);
    m.SetPortDword("LOCAL", "PrintMode", 4); // not a network protocol: not loaded
    m.SetPortText("NOMODE", "HostName", "127.0.0.1"); // no PrintMode: loaded as LPR
    m.UseCatalogue("[MESSAGE]\r\nIDS_LPR_PORT=Fixture LPR type\r\nIDS_EMP_PORT=Fixture mail type\r\n");
    ASSERT_TRUE(m.Load(kDivisor)) << m.error;

    auto level1 = m.Enumerate(1);
    auto level2 = m.Enumerate(2);
    EXPECT_EQ(Names(level1), Names(level2));
    std::vector<std::string> expected = {longName, "MAILBOX", "NOMODE", "ABCD", "RAW1", "XY"};
    EXPECT_EQ(Names(level1), expected);

    for (const auto& port : level2) {
        EXPECT_EQ(port.monitor, m.monitorName);
        EXPECT_EQ(port.type, static_cast<DWORD>(PORT_TYPE_WRITE)) << port.name;
    }
    EXPECT_EQ(Find(level2, "XY")->description, "Fixture LPR type");
    EXPECT_EQ(Find(level2, "NOMODE")->description, "Fixture LPR type");
    EXPECT_EQ(Find(level2, "MAILBOX")->description, "Fixture mail type");
    // Keys missing from the catalogue fall back to the product's own names.
    EXPECT_EQ(Find(level2, "ABCD")->description, MONITOR_MODEL " Network Printer IPP Port");
    EXPECT_EQ(Find(level2, "RAW1")->description, MONITOR_MODEL " Network Printer Raw Port");
}

TEST(MonitorDll, EnumPortsSizesLevelsAndErrors)
{
    DllMonitor m;
    m.SetPortDword("ABCD", "PrintMode", 0);
    m.SetPortDword("XY", "PrintMode", 1);
    ASSERT_TRUE(m.Load(kDivisor)) << m.error;
    char server[] = "";
    for (DWORD level = 1; level <= 2; ++level) {
        DWORD needed = 0, count = kSentinel;
        SetLastError(kSentinel);
        EXPECT_FALSE(m.table().pfnEnumPorts(server, level, nullptr, 0, &needed, &count));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(count, kSentinel); // untouched on failure
        size_t structs = level == 1 ? sizeof(PORT_INFO_1A) : sizeof(PORT_INFO_2A);
        size_t texts = level == 1 ? strlen("ABCD") + strlen("XY") + 2
                                  : strlen("ABCD") + strlen("XY") + 2 + 2 * (m.monitorName.size() + 1) +
                                        2 * (strlen(MONITOR_MODEL " Network Printer LPR Port") + 1);
        ASSERT_EQ(needed, 2 * structs + texts);

        // One byte short: refused with the exact size again.
        std::vector<BYTE> buffer(needed + 16, 0xCC);
        DWORD again = 0;
        SetLastError(kSentinel);
        EXPECT_FALSE(m.table().pfnEnumPorts(server, level, buffer.data(), needed - 1, &again, &count));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(again, needed);

        // Exact size: the texts fill the buffer to its last byte and not beyond.
        ASSERT_TRUE(m.table().pfnEnumPorts(server, level, buffer.data(), needed, &again, &count));
        EXPECT_EQ(count, 2u);
        EXPECT_EQ(buffer[needed - 1], 0);
        EXPECT_EQ(buffer[needed], 0xCC);
        const char* firstText = level == 1 ? reinterpret_cast<PORT_INFO_1A*>(buffer.data())->pName
                                           : reinterpret_cast<PORT_INFO_2A*>(buffer.data())->pPortName;
        EXPECT_EQ(firstText + strlen(firstText) + 1, reinterpret_cast<char*>(buffer.data() + needed));
    }

    DWORD needed = kSentinel, count = kSentinel;
    EXPECT_TRUE(m.table().pfnEnumPorts(server, 0, nullptr, 0, &needed, &count));
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(count, 2u);

    SetLastError(kSentinel);
    EXPECT_FALSE(m.table().pfnEnumPorts(server, 3, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
}

TEST(MonitorDll, OpenPortFindsTheOtherSpellingOfANameAndLeavesErrorsAlone)
{
    DllMonitor m;
    m.SetPortDword("LPT9:", "PrintMode", 0);
    m.SetPortDword("NP1", "PrintMode", 3);
    ASSERT_TRUE(m.Load(kDivisor)) << m.error;
    const MONITOR95& t = m.table();
    struct Case {
        const char* name;
        bool found;
    } cases[] = {{"LPT9", true}, {"lpt9:", true}, {"NP1:", true}, {"np1", true}, {"", false}, {"LPT9::", true}, {"LPT", false}, {"NP", false}};
    for (const Case& c : cases) {
        std::string name = c.name;
        HANDLE port = nullptr;
        SetLastError(kSentinel);
        BOOL ok = t.pfnOpenPort(&name[0], &port);
        EXPECT_EQ(ok != FALSE, c.found) << c.name;
        EXPECT_EQ(name, c.name) << "the caller's text is never written";
        if (ok)
            EXPECT_TRUE(t.pfnClosePort(port));
        else
            EXPECT_EQ(GetLastError(), kSentinel) << c.name;
    }
}

TEST(MonitorDll, PortOperationsWithoutADocument)
{
    DllMonitor m;
    m.SetPortDword("P1", "PrintMode", 0);
    ASSERT_TRUE(m.Load(kDivisor)) << m.error;
    const MONITOR95& t = m.table();
    EXPECT_EQ(t.pfnOpenPortEx, nullptr) << "a port monitor has no OpenPortEx";
    char name[] = "P1";
    HANDLE port = nullptr;
    ASSERT_TRUE(t.pfnOpenPort(name, &port));
    BYTE buffer[16];
    DWORD read = kSentinel;
    EXPECT_TRUE(t.pfnReadPort(port, buffer, sizeof buffer, &read));
    EXPECT_EQ(read, 0u);
    char out[16];
    DWORD returned = 0;
    EXPECT_FALSE(t.pfnGetPrinterDataFromPort(port, 1, nullptr, nullptr, 0, out, sizeof out, &returned));
    COMMTIMEOUTS timeouts = {};
    EXPECT_FALSE(t.pfnSetPortTimeOuts(port, &timeouts, 0));
    EXPECT_TRUE(t.pfnClosePort(port));
}

// --- Connected network printers -------------------------------------------

// Connected printers appear as net-attached ports (a registered port of the
// same name takes the mark). Within the refresh interval the network is not
// asked again; after it, the ports of disconnected printers go, except a
// registered one (it loses the mark) and an open one (it goes once closed).
TEST(MonitorDll, NetworkPrintersComeAndGoWithTheirConnections)
{
    DllMonitor m;
    m.SetPortDword("REGISTERED", "PrintMode", 0);
    m.SetPortDword("LPT5:", "PrintMode", 0);
    StandinSetNetPrinters({{"LPT3", "\\\\server\\laser", false},
                           {"LPT4", "", true},
                           {"LPT5", "\\\\server\\colour", false},
                           {"LPT6", "\\\\server\\busy", false}});
    ASSERT_TRUE(m.Load(kDivisor)) << m.error;
    const DWORD net = PORT_TYPE_WRITE | PORT_TYPE_NET_ATTACHED;
    auto ports = m.Enumerate(2);
    for (const char* name : {"LPT3:", "LPT4:", "LPT5:", "LPT6:"}) {
        ASSERT_NE(Find(ports, name), nullptr) << name;
        EXPECT_EQ(Find(ports, name)->type, net) << name;
    }
    EXPECT_EQ(Find(ports, "LPT3:")->description, "\\\\server\\laser");
    EXPECT_EQ(Find(ports, "LPT4:")->description, ""); // a provider without remote name
    EXPECT_EQ(Find(ports, "LPT5:")->description, "\\\\server\\colour");
    EXPECT_EQ(Find(ports, "REGISTERED")->type, static_cast<DWORD>(PORT_TYPE_WRITE));
    EXPECT_EQ(StandinOpenEnumerations(), 0u);
    DWORD asked = StandinConnectedEnumerations();
    m.Enumerate(1);
    EXPECT_EQ(StandinConnectedEnumerations(), asked);

    char name[] = "LPT6:";
    HANDLE port = nullptr;
    ASSERT_TRUE(m.table().pfnOpenPort(name, &port));
    StandinSetNetPrinters({{"LPT3", "\\\\server\\laser2", false}});
    Sleep(kPastInterval);
    ports = m.Enumerate(2);
    EXPECT_EQ(StandinConnectedEnumerations(), asked + 1);
    EXPECT_EQ(Find(ports, "LPT4:"), nullptr);
    ASSERT_NE(Find(ports, "LPT3:"), nullptr);
    EXPECT_EQ(Find(ports, "LPT3:")->description, "\\\\server\\laser2");
    ASSERT_NE(Find(ports, "LPT5:"), nullptr) << "a registered port is never removed by the refresh";
    EXPECT_EQ(Find(ports, "LPT5:")->type, static_cast<DWORD>(PORT_TYPE_WRITE));
    EXPECT_EQ(Find(ports, "LPT5:")->description, MONITOR_MODEL " Network Printer LPR Port");
    EXPECT_NE(Find(ports, "LPT6:"), nullptr) << "an open port stays";
    EXPECT_TRUE(m.table().pfnClosePort(port));
    Sleep(kPastInterval);
    EXPECT_EQ(Find(m.Enumerate(1), "LPT6:"), nullptr);
}

TEST(MonitorDll, NoNetworkMeansNoRefresh)
{
    DllMonitor m;
    StandinSetNoNetwork(true);
    ASSERT_TRUE(m.Load(kDivisor)) << m.error;
    m.Enumerate(1);
    Sleep(kPastInterval);
    m.Enumerate(1);
    EXPECT_EQ(StandinConnectedEnumerations(), 0u);
}

TEST(MonitorDll, AProviderThatAlwaysWantsMoreDoesNotHangEnumPorts)
{
    DllMonitor m;
    StandinSetEndlessMoreData(true);
    ASSERT_TRUE(m.Load(1)) << m.error; // production times: the wait is 3 s at most
    DWORD start = GetTickCount();
    m.Enumerate(1);
    EXPECT_LT(GetTickCount() - start, 3500u);
    // The refresh thread finishes by itself and closes its enumeration.
    for (int i = 0; i < 300 && StandinOpenEnumerations() != 0; ++i)
        Sleep(10);
    EXPECT_EQ(StandinOpenEnumerations(), 0u);
}

TEST(MonitorDll, ASlowRefreshIsWaitedForOnlyBriefly)
{
    DllMonitor m;
    StandinSetNetPrinters({{"LPT7", "\\\\server\\slow", false}});
    StandinSetEnumDelay(1000); // the scaled wait is 150 ms
    ASSERT_TRUE(m.Load(kDivisor)) << m.error;
    EXPECT_EQ(Find(m.Enumerate(1), "LPT7:"), nullptr);
    for (int i = 0; i < 200 && !Find(m.Enumerate(1), "LPT7:"); ++i)
        Sleep(10);
    EXPECT_NE(Find(m.Enumerate(1), "LPT7:"), nullptr);
}

} // namespace
