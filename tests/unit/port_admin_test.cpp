// Port administration without dialogs on screen: adopting registry ports,
// registering new ports, deleting ports, and the calls whose dialog cannot or
// need not open.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "monitor/config_store.h"
#include "monitor/monitor.h"
#include "monitor/network_refresh.h"
#include "monitor/port_admin.h"
#include "monitor/port_ops.h"
#include "standin/spooler_standin.h"
#include "support/fresh_monitor.h"
#include "support/ui_driver.h"

namespace {

int Listed(const char* name)
{
    int count = 0;
    MonitorLock();
    for (PortRecord* port = g_monitor.ports; port; port = port->next)
        count += lstrcmpiA(port->name, name) == 0;
    MonitorUnlock();
    return count;
}

PortRecord* Record(const char* name)
{
    for (PortRecord* port = g_monitor.ports; port; port = port->next)
        if (lstrcmpA(port->name, name) == 0)
            return port;
    return nullptr;
}

std::string PortText(FreshMonitor& fresh, const char* port, const char* value)
{
    char text[128] = "";
    DWORD size = sizeof text - 1;
    QueryRegValue(HKEY_LOCAL_MACHINE, fresh.PortKey(port).c_str(), value, text, &size, nullptr);
    return text;
}

// Runs an administration call on a thread of its own, so that a dialog it
// should not show cannot block the test; fails when a dialog appears.
BOOL RunWithoutDialog(const std::function<BOOL()>& call, DWORD* error)
{
    UiThread* run = StartUiThread([&] {
        SetLastError(12345);
        BOOL result = call();
        *error = GetLastError();
        return static_cast<INT_PTR>(result);
    });
    EXPECT_EQ(nullptr, WaitDialog(run ? run->threadId : 0, nullptr, 0, 300)) << "no dialog may open";
    INT_PTR result = -1;
    EXPECT_TRUE(JoinUiThread(run, &result));
    return static_cast<BOOL>(result);
}

TEST(PortAdding, WithoutWindowAdoptsTheFirstRegistryPortOnly)
{
    FreshMonitor fresh;
    fresh.SetPortDword("KNOWN", "PrintMode", PROTOCOL_LPR);
    LoadPortList();
    fresh.SetPortDword("RAW9", "PrintMode", PROTOCOL_RAW);
    fresh.SetPortText("RAW9", "HostName", "printer.local");
    fresh.SetPortDword("RAW9", "PortNum", 9101);
    DWORD error = 0;
    EXPECT_TRUE(RunWithoutDialog([] { return AddPort(nullptr, nullptr, nullptr); }, &error));
    PortRecord* raw = Record("RAW9");
    ASSERT_NE(nullptr, raw);
    EXPECT_EQ(static_cast<DWORD>(PROTOCOL_RAW), raw->protocol);
    ASSERT_NE(nullptr, RawOf(raw));
    EXPECT_STREQ("printer.local", RawOf(raw)->host) << "the stored settings fill the record";
    EXPECT_EQ(9101, RawOf(raw)->portNumber);
    EXPECT_EQ(1, Listed("KNOWN"));

    DWORD needed = 0, count = 0;
    EnumPorts(nullptr, 1, nullptr, 0, &needed, &count);
    std::string buffer(needed, '\0');
    ASSERT_TRUE(EnumPorts(nullptr, 1, reinterpret_cast<LPBYTE>(&buffer[0]), needed, &needed, &count));
    EXPECT_EQ(2u, count);
    // With nothing left to adopt the wizard opens (tests/ui/wizard_test.cpp).
}

TEST(PortAdopting, RefusesWhatItCannotTakeOver)
{
    FreshMonitor fresh;
    SetLastError(0);
    EXPECT_FALSE(AdoptRegistryPort());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError()) << "no ports key";
    fresh.SetPortDword("LOCAL", "PrintMode", PROTOCOL_FILE);
    EXPECT_FALSE(AdoptRegistryPort()) << "a stored type above 3";
    EXPECT_EQ(0, Listed("LOCAL"));
    fresh.SetPortDword("LOCAL", "PrintMode", PROTOCOL_IPP);
    EXPECT_TRUE(AdoptRegistryPort());
    EXPECT_FALSE(AdoptRegistryPort()) << "every key is known now";
    EXPECT_EQ(1, Listed("LOCAL"));
}

TEST(PortConfiguring, AnswersWithoutDialogWhereNoneCanOpen)
{
    FreshMonitor fresh;
    ASSERT_NE(nullptr, CreatePortRecord(nullptr, "LOCAL1", "t", PROTOCOL_FILE));
    ASSERT_NE(nullptr, CreatePortRecord(nullptr, "IPP1", "t", PROTOCOL_IPP));
    ASSERT_NE(nullptr, CreatePortRecord(nullptr, "NP1:", "t", PROTOCOL_LPR));
    struct Case {
        const char* name;
        BOOL result;
    } cases[] = {
        {"LOCAL1", TRUE}, // a local-file port has nothing to configure
        {"IPP1", TRUE},   // a dialog that cannot open still counts as shown
        {"NP1", FALSE},   // no colon variant
        {"", FALSE},
    };
    for (const Case& c : cases) {
        DWORD error = 0;
        std::string name = c.name;
        EXPECT_EQ(c.result, RunWithoutDialog([&] { return ConfigurePort(nullptr, nullptr, &name[0]); }, &error)) << c.name;
        if (!c.result) {
            EXPECT_EQ(12345u, error) << c.name << ": a port not found leaves the last error alone";
        }
        EXPECT_EQ(0, SharedRead(&g_configureDialogOpen)) << c.name;
    }
}

TEST(PortDeleting, RemovesKeyAndRecordOrNeither)
{
    FreshMonitor fresh;
    const char* names[] = {"GONE", "OPENED", "PRINTING", "WATCHED", "ERRWIN", "NESTED", "NETONLY"};
    for (const char* name : names) {
        fresh.SetPortDword(name, "PrintMode", PROTOCOL_RAW);
        ASSERT_NE(nullptr, CreatePortRecord(nullptr, name, "t", PROTOCOL_RAW));
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, fresh.PortKey("NETONLY").c_str());
    fresh.SetPortDword("NESTED\\Sub", "X", 1); // a key the registry will not delete
    fresh.SetPortDword("ORPHAN", "PrintMode", PROTOCOL_RAW);
    HANDLE opened = nullptr;
    ASSERT_TRUE(OpenPort(const_cast<char*>("OPENED"), &opened));
    SetPortFlags(Record("PRINTING"), PORT_DOC_OPEN);
    SetPortFlags(Record("WATCHED"), PORT_WATCHER_RUNNING);
    SharedWrite(&Record("ERRWIN")->errorWindowOpen, 1);

    struct Case {
        const char* name;
        BOOL result;
        DWORD error; // 0: any error other than these
        bool keyStays, recordStays;
    } cases[] = {
        {"ORPHAN", FALSE, ERROR_UNKNOWN_PORT, true, false}, {"OPENED", FALSE, ERROR_BUSY, true, true},
        {"PRINTING", FALSE, ERROR_BUSY, true, true},        {"WATCHED", FALSE, ERROR_BUSY, true, true},
        {"ERRWIN", FALSE, ERROR_BUSY, true, true},          {"NESTED", FALSE, 0, true, true},
        {"NETONLY", TRUE, 0, false, false},                 {"gone", TRUE, 0, false, false},
    };
    for (const Case& c : cases) {
        std::string name = c.name;
        SetLastError(0);
        EXPECT_EQ(c.result, DeletePort(nullptr, nullptr, &name[0])) << c.name;
        DWORD error = GetLastError();
        if (!c.result && c.error) {
            EXPECT_EQ(c.error, error) << c.name;
        } else if (!c.result) {
            EXPECT_TRUE(error != 0 && error != ERROR_BUSY && error != ERROR_UNKNOWN_PORT) << c.name << " " << error;
        }
        EXPECT_EQ(c.keyStays, KeyExists(fresh.PortKey(c.name))) << c.name;
        EXPECT_EQ(c.recordStays ? 1 : 0, Listed(c.name)) << c.name;
    }
    ClosePort(opened);
    EXPECT_TRUE(DeletePort(nullptr, nullptr, const_cast<char*>("OPENED"))) << "free again once closed";
}

TEST(PortRegistering, OneRecordPerNameAndKeysNeverOverwritten)
{
    FreshMonitor fresh;
    LprSettings lpr = {};
    lpr.header.protocol = PROTOCOL_LPR;
    strcpy(lpr.host, "wizard-host");
    strcpy(lpr.queue, "lp1");
    lpr.portNumber = 515;

    fresh.SetPortDword("OLD", "PrintMode", PROTOCOL_LPR);
    fresh.SetPortText("OLD", "HostName", "stored-host");
    EXPECT_TRUE(RegisterNewPort(&lpr.header, "OLD", PROTOCOL_LPR));
    EXPECT_EQ("stored-host", PortText(fresh, "OLD", "HostName")) << "an existing key keeps its values";
    EXPECT_EQ(1, Listed("OLD"));

    EXPECT_TRUE(RegisterNewPort(&lpr.header, "NEW", PROTOCOL_LPR));
    EXPECT_EQ("wizard-host", PortText(fresh, "NEW", "HostName"));
    EXPECT_TRUE(RegisterNewPort(&lpr.header, "new", PROTOCOL_LPR));
    EXPECT_EQ(1, Listed("NEW")) << "a name already in memory gets no second record";

    // A key that cannot be created: the new record goes again, an older one stays.
    EXPECT_FALSE(RegisterNewPort(&lpr.header, "A\\B", PROTOCOL_LPR));
    EXPECT_EQ(0, Listed("A\\B"));
    ASSERT_NE(nullptr, CreatePortRecord(nullptr, "C\\D", "t", PROTOCOL_LPR));
    EXPECT_FALSE(RegisterNewPort(&lpr.header, "C\\D", PROTOCOL_LPR));
    EXPECT_EQ(1, Listed("C\\D"));
    EXPECT_FALSE(RegisterNewPort(&lpr.header, "FILE1", PROTOCOL_FILE));
}

TEST(PortAdopting, AKeyThatCannotBeAdoptedDoesNotBlockTheOnesAfterIt)
{
    FreshMonitor fresh;
    fresh.SetPortText("A-NO-MODE", "HostName", "nowhere"); // no PrintMode at all
    fresh.SetPortDword("B-LOCAL", "PrintMode", PROTOCOL_FILE);
    fresh.SetPortDword("C-RAW", "PrintMode", PROTOCOL_RAW);
    EXPECT_TRUE(AdoptRegistryPort());
    EXPECT_EQ(1, Listed("C-RAW"));
    EXPECT_EQ(0, Listed("A-NO-MODE") + Listed("B-LOCAL"));
    EXPECT_FALSE(AdoptRegistryPort());
}

TEST(PortAdopting, AKeyWithARecordInItsOtherSpellingOrCaseIsNotAdoptedAgain)
{
    FreshMonitor fresh;
    ASSERT_NE(nullptr, CreatePortRecord(nullptr, "lpt8:", "t", PROTOCOL_LPR));
    ASSERT_NE(nullptr, CreatePortRecord(nullptr, "Net2", "t", PROTOCOL_LPR));
    fresh.SetPortDword("LPT8", "PrintMode", PROTOCOL_RAW);
    fresh.SetPortDword("NET2:", "PrintMode", PROTOCOL_RAW);
    fresh.SetPortDword("ZRAW", "PrintMode", PROTOCOL_RAW);
    EXPECT_TRUE(AdoptRegistryPort());
    EXPECT_EQ(1, Listed("ZRAW")) << "the first key without a record";
    EXPECT_EQ(0, Listed("LPT8") + Listed("NET2:"));
    EXPECT_FALSE(AdoptRegistryPort());
}

TEST(PortRegistering, ARecordTheRefreshMadeStaysOnceItHasAKey)
{
    FreshMonitor fresh;
    MonitorHostServices services = StandinServices(100);
    InstallHostServices(&services);
    StandinSetNetPrinters({StandinNetPrinter{"LPT7", "\\\\server\\queue", false}});
    RefreshNetworkPorts();
    ASSERT_EQ(1, Listed("LPT7:"));
    LprSettings lpr = {};
    lpr.header.protocol = PROTOCOL_LPR;
    strcpy(lpr.host, "server");
    strcpy(lpr.queue, "queue");
    EXPECT_TRUE(RegisterNewPort(&lpr.header, "LPT7:", PROTOCOL_LPR));
    StandinSetNetPrinters({});
    RefreshNetworkPorts();
    EXPECT_EQ(1, Listed("LPT7:")) << "a registry port is not the refresh's to remove";
    EXPECT_TRUE(KeyExists(fresh.PortKey("LPT7:")));
}

} // namespace
