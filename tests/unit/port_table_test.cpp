// Port records: creation from templates, list order, lookup.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "monitor/monitor.h"
#include "monitor/port_defaults.h"
#include "support/fresh_monitor.h"

namespace {

std::vector<std::string> ListedNames()
{
    std::vector<std::string> names;
    for (PortRecord* port = g_monitor.ports; port; port = port->next)
        names.push_back(port->name);
    return names;
}

TEST(PortTable, ListIsOrderedByNameLengthThenCreation)
{
    FreshMonitor fresh;
    ASSERT_NE(CreatePortRecord(nullptr, "XY", "t", PROTOCOL_LPR), nullptr);
    ASSERT_NE(CreatePortRecord(nullptr, "ABCD", "t", PROTOCOL_LPR), nullptr);
    ASSERT_NE(CreatePortRecord(nullptr, "QQ", "t", PROTOCOL_RAW), nullptr);
    ASSERT_NE(CreatePortRecord(nullptr, "WXYZ", "t", PROTOCOL_IPP), nullptr);
    ASSERT_NE(CreatePortRecord(nullptr, "A", "t", PROTOCOL_EMAIL), nullptr);
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"ABCD", "WXYZ", "XY", "QQ", "A"}));
}

TEST(PortTable, RecordBasicsAndDescriptions)
{
    FreshMonitor fresh;
    PortRecord* named = CreatePortRecord(nullptr, "P1", "Some type", PROTOCOL_RAW);
    PortRecord* empty = CreatePortRecord(nullptr, "P2", "", PROTOCOL_RAW);
    PortRecord* none = CreatePortRecord(nullptr, "P3", nullptr, PROTOCOL_RAW);
    ASSERT_TRUE(named && empty && none);
    EXPECT_STREQ(named->description, "Some type");
    EXPECT_STREQ(empty->description, "P2");
    EXPECT_EQ(none->description, nullptr);
    EXPECT_EQ(named->protocol, static_cast<DWORD>(PROTOCOL_RAW));
    ASSERT_NE(RawOf(named), nullptr);
    EXPECT_EQ(RawOf(named)->connection, INVALID_SOCKET);
    EXPECT_EQ(LprOf(named), nullptr) << "a Raw record is never seen as LPR";
}

TEST(PortTable, TemplatesGiveEachProtocolItsInitialValues)
{
    FreshMonitor fresh;
    LprSettings lpr = {};
    lpr.header.protocol = PROTOCOL_LPR;
    strcpy(lpr.host, "printsrv");
    strcpy(lpr.queue, "lp1");
    lpr.portNumber = 515;
    lpr.noByteCount = 1;
    lpr.nonRfcPorts = 0;
    PortRecord* port = CreatePortRecord(&lpr.header, "L", "t", PROTOCOL_LPR);
    ASSERT_NE(port, nullptr);
    EXPECT_STREQ(LprOf(port)->host, "printsrv");
    EXPECT_STREQ(LprOf(port)->queue, "lp1");
    EXPECT_EQ(LprOf(port)->portNumber, 515);
    EXPECT_EQ(LprOf(port)->noByteCount, 0u);
    EXPECT_EQ(LprOf(port)->nonRfcPorts, 1u);

    IppSettings ipp = {};
    ipp.header.protocol = PROTOCOL_IPP;
    strcpy(ipp.url, "ipp://127.0.0.1/printers/q");
    strcpy(ipp.userName, "alice");
    strcpy(ipp.password, "secret");
    ipp.authenticate = 1;
    ipp.chunked = 1;
    ipp.port = 631;
    port = CreatePortRecord(&ipp.header, "I", "t", PROTOCOL_IPP);
    ASSERT_NE(port, nullptr);
    IppSettings* made = IppOf(port);
    EXPECT_STREQ(made->url, ipp.url);
    EXPECT_STREQ(made->userName, "");
    EXPECT_STREQ(made->password, "");
    EXPECT_EQ(made->authenticate, 0u);
    EXPECT_EQ(made->chunked, 1u);

    EmailSettings mail = {};
    mail.header.protocol = PROTOCOL_EMAIL;
    strcpy(mail.subject, "Subject");
    strcpy(mail.toAddr, "a@example.invalid");
    mail.editBody = 1;
    mail.divideFile = 1;
    port = CreatePortRecord(&mail.header, "M", "t", PROTOCOL_EMAIL);
    ASSERT_NE(port, nullptr);
    EXPECT_STREQ(EmailOf(port)->toAddr, "a@example.invalid");
    EXPECT_STREQ(EmailOf(port)->subject, "") << "the body comes from the edit dialog";
    EXPECT_EQ(EmailOf(port)->divideFile, 0u);
    mail.editBody = 0;
    port = CreatePortRecord(&mail.header, "M2", "t", PROTOCOL_EMAIL);
    EXPECT_STREQ(EmailOf(port)->subject, "Subject");
}

TEST(PortTable, ATemplateOfAnotherProtocolCountsAsZeroed)
{
    FreshMonitor fresh;
    LprSettings lpr = {};
    lpr.header.protocol = PROTOCOL_LPR;
    memset(lpr.host, 'h', sizeof lpr.host - 1);
    PortRecord* port = CreatePortRecord(&lpr.header, "I", "t", PROTOCOL_IPP);
    ASSERT_NE(port, nullptr);
    EXPECT_STREQ(IppOf(port)->url, "");
}

TEST(PortTable, FindPortTriesTheOtherSpellingWithoutTouchingTheName)
{
    FreshMonitor fresh;
    CreatePortRecord(nullptr, "LPT9:", "t", PROTOCOL_LPR);
    CreatePortRecord(nullptr, "NP1", "t", PROTOCOL_LPR);
    MonitorLock();
    // String literals live in read-only memory: a write would fault.
    EXPECT_STREQ(FindPort("LPT9")->name, "LPT9:");
    EXPECT_STREQ(FindPort("np1:")->name, "NP1");
    EXPECT_EQ(FindPort(""), nullptr);
    EXPECT_EQ(FindPort(":"), nullptr);
    EXPECT_EQ(FindPort(nullptr), nullptr);
    std::string huge(5000, 'x');
    EXPECT_EQ(FindPort(huge.c_str()), nullptr);
    MonitorUnlock();
}

int Answering(const char* name)
{
    int count = 0;
    for (PortRecord* port = g_monitor.ports; port; port = port->next)
        count += lstrcmpiA(port->name, name) == 0;
    return count;
}

// The walk over the port keys asks of each key name what FindPort answers:
// a record in either spelling and any case counts, also one made earlier
// (here as the network refresh makes them) and one the walk itself made.
TEST(PortTable, LoadingTheKeysMakesOneRecordPerNameInEitherSpellingAndCase)
{
    FreshMonitor fresh;
    // In the code page of the test run (932 under the Japanese locale):
    // "PRINTER" in full-width letters, upper case, and in lower case.
    const std::string wideUpper = "\x82\x6F\x82\x71\x82\x68\x82\x6D\x82\x73\x82\x64\x82\x71";
    const std::string wideLower = "\x82\x90\x82\x92\x82\x89\x82\x8E\x82\x94\x82\x85\x82\x92";
    ASSERT_NE(CreatePortRecord(nullptr, "lpt7:", nullptr, PROTOCOL_LPR), nullptr);
    ASSERT_NE(CreatePortRecord(nullptr, "Net1", nullptr, PROTOCOL_LPR), nullptr);
    ASSERT_NE(CreatePortRecord(nullptr, (wideLower + ":").c_str(), nullptr, PROTOCOL_LPR), nullptr);
    fresh.SetPortDword("LPT7", kValuePrintMode, PROTOCOL_RAW);
    fresh.SetPortDword("NET1:", kValuePrintMode, PROTOCOL_RAW);
    fresh.SetPortDword(wideUpper.c_str(), kValuePrintMode, PROTOCOL_RAW);
    fresh.SetPortDword("PAIR", kValuePrintMode, PROTOCOL_IPP);
    fresh.SetPortDword("pair:", kValuePrintMode, PROTOCOL_IPP);
    fresh.SetPortDword("NEWRAW", kValuePrintMode, PROTOCOL_RAW);
    fresh.SetPortDword("LOCAL", kValuePrintMode, PROTOCOL_FILE);
    fresh.SetPortText("NOMODE", kValueHostName, "printer.local");
    // Whether the full-width spellings are one name is lstrcmpiA's to say.
    bool wideSame = lstrcmpiA(wideUpper.c_str(), wideLower.c_str()) == 0;

    LoadPortList();
    LoadPortList(); // every key has its record now: nothing new
    MonitorLock();
    EXPECT_EQ(Answering("lpt7:") + Answering("LPT7"), 1) << "the earlier record in the other spelling stands for the key";
    EXPECT_EQ(Answering("NET1:") + Answering("Net1"), 1);
    EXPECT_EQ(Answering(wideUpper.c_str()) + Answering((wideLower + ":").c_str()), wideSame ? 1 : 2);
    EXPECT_EQ(Answering("PAIR") + Answering("pair:"), 1) << "the first of the two spellings the walk meets";
    EXPECT_EQ(Answering("NEWRAW"), 1);
    ASSERT_NE(FindExactPort("NEWRAW"), nullptr);
    EXPECT_EQ(FindExactPort("NEWRAW")->protocol, static_cast<DWORD>(PROTOCOL_RAW));
    EXPECT_EQ(Answering("LOCAL"), 0) << "a key of another protocol gets no record";
    ASSERT_NE(FindExactPort("NOMODE"), nullptr);
    EXPECT_EQ(FindExactPort("NOMODE")->protocol, static_cast<DWORD>(PROTOCOL_LPR)) << "no PrintMode: LPR";
    EXPECT_EQ(ListedNames().size(), wideSame ? 6u : 7u);
    MonitorUnlock();
}

} // namespace
