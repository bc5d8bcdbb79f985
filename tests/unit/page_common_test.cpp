// The port-name look-up the wizard and the configuration pages share: the
// spooler's port list read with a size call and a data call, asked again
// (a bounded number of times) when the list grew in between.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/monitor.h"
#include "standin/spooler_standin.h"
#include "support/fresh_monitor.h"
#include "ui/page_common.h"

namespace {

// A spooler whose port list gains `growth` names after every size call
// (until `growFor` size calls have been answered).
struct GrowingList {
    std::vector<std::string> ports;
    int growFor = 0;
    int sizeCalls = 0;   // without a buffer
    int dataCalls = 0;   // with a buffer
    int dataAnswers = 0; // data calls that filled the buffer
};
GrowingList g_list;

BOOL WINAPI GrowingEnumPorts(LPSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned)
{
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    DWORD total = 0;
    for (const std::string& port : g_list.ports)
        total += static_cast<DWORD>(sizeof(PORT_INFO_1A) + port.size() + 1);
    *needed = total;
    if (!buffer) {
        // A size call: the list grows before the data call comes.
        ++g_list.sizeCalls;
        if (g_list.sizeCalls <= g_list.growFor)
            g_list.ports.push_back("GREW" + std::to_string(g_list.sizeCalls));
    } else {
        ++g_list.dataCalls;
    }
    if (!buffer || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    ++g_list.dataAnswers;
    PORT_INFO_1A* info = reinterpret_cast<PORT_INFO_1A*>(buffer);
    char* text = reinterpret_cast<char*>(buffer) + size;
    for (const std::string& port : g_list.ports) {
        text -= port.size() + 1;
        memcpy(text, port.c_str(), port.size() + 1);
        (info++)->pName = text;
    }
    *returned = static_cast<DWORD>(g_list.ports.size());
    return TRUE;
}

class PortNameLookup : public ::testing::Test {
protected:
    FreshMonitor monitor;
    void SetUp() override
    {
        StandinReset();
        MonitorHostServices services = StandinServices(100);
        services.EnumPortsA = GrowingEnumPorts;
        InstallHostServices(&services);
        g_list = GrowingList{{"LPT1:", "Office"}, 0, 0, 0, 0};
    }
    void TearDown() override
    {
        MonitorHostServices services = StandinServices(100);
        InstallHostServices(&services);
    }
};

TEST_F(PortNameLookup, ComparesWithoutLetterCase)
{
    EXPECT_TRUE(PortNameExists("office"));
    EXPECT_TRUE(PortNameExists("LPT1:"));
    EXPECT_FALSE(PortNameExists("LPT1"));
    EXPECT_FALSE(PortNameExists(""));
}

TEST_F(PortNameLookup, AListThatGrewIsReadAgainAndItsNewNamesFound)
{
    g_list.growFor = 2; // the first two size calls are outdated at once
    EXPECT_TRUE(PortNameExists("grew2"));
    EXPECT_EQ(3, g_list.sizeCalls);
    EXPECT_EQ(3, g_list.dataCalls);
    EXPECT_EQ(1, g_list.dataAnswers);
}

TEST_F(PortNameLookup, AListThatKeepsGrowingIsGivenUpAfterThreeTries)
{
    g_list.growFor = 1000;
    EXPECT_FALSE(PortNameExists("Office")) << "no entries are used without a successful data call";
    EXPECT_EQ(3, g_list.sizeCalls);
    EXPECT_EQ(3, g_list.dataCalls);
    EXPECT_EQ(0, g_list.dataAnswers);
}

} // namespace
