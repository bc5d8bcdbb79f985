// The internal-port-name query against the fake print server on a free UDP
// port of 0.0.0.0: chunks, retries of mismatched or malformed replies, the
// failures that end the query with -1, and the background lookup that posts
// its heap result with a generation number (freeing it itself when the
// window is gone). The discovery wait is the production 1000 ms divided by 10.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/port_name_query.h"
#include "monitor/timing.h"
#include "support/discovery_peer.h"
#include "support/fresh_monitor.h"
#include "support/ui_driver.h"

namespace {

const DWORD kDivisor = 10;
const UINT kFoundMessage = WM_APP + 7;
const char kWindowClass[] = "PortNameQueryTestWindow";

std::vector<PortNameLookup*> g_posted;

LRESULT CALLBACK Receiver(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kFoundMessage) {
        PortNameLookup* found = reinterpret_cast<PortNameLookup*>(lParam);
        EXPECT_EQ(wParam, found->generation);
        g_posted.push_back(found);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class PortNameQuery : public ::testing::Test {
protected:
    FreshMonitor monitor;
    PeerProcess peer{"names"};
    WORD port = 0;
    HWND window = nullptr;

    void SetUp() override
    {
        REQUIRE_LOOPBACK_ONLY();
        EnsureWinsock();
        ScaleTiming(kDivisor);
        g_posted.clear();
        WNDCLASSA type = {};
        type.lpfnWndProc = Receiver;
        type.hInstance = GetModuleHandleA(nullptr);
        type.lpszClassName = kWindowClass;
        RegisterClassA(&type);
        window = CreateWindowA(kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, window);
    }

    void TearDown() override
    {
        if (window)
            DestroyWindow(window);
        for (PortNameLookup* found : g_posted)
            FreePortNameLookup(found);
        g_posted.clear();
        ScaleTiming(1);
    }

    void Serve(const std::string& script, const std::string& options = "")
    {
        port = FreeUdpPort();
        ASSERT_NE(0, port);
        ASSERT_TRUE(peer.Start(FakePrintServerCommand(peer.unixDir, script, port, 0, options))) << peer.error;
        ASSERT_TRUE(peer.WaitReady()) << peer.error << "\n" << peer.ReadAll("peer.log");
    }

    int Query(std::string* answer = nullptr)
    {
        in_addr address;
        address.s_addr = htonl(INADDR_LOOPBACK);
        PortNameAssembly assembly;
        int total = QueryPortNames(address, port, &assembly);
        if (answer && total >= 0)
            *answer = std::string(reinterpret_cast<char*>(assembly.answer), static_cast<size_t>(total));
        return total;
    }

    // The port-name requests the server saw: "op/offset" each.
    std::vector<std::string> Requests()
    {
        std::vector<std::string> requests;
        for (const DatagramSeen& datagram : DatagramsOfKind(peer, "port-name"))
            requests.push_back(std::to_string(datagram.op) + "/" + std::to_string(datagram.offset));
        return requests;
    }

    // Pumps this thread's messages until a result was posted.
    PortNameLookup* WaitPosted(size_t count = 1, DWORD boundMs = 10000)
    {
        bool arrived = WaitUntil(
            [&] {
                MSG message;
                while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageA(&message);
                return g_posted.size() >= count;
            },
            boundMs);
        return arrived ? g_posted.back() : nullptr;
    }

    static std::vector<std::string> ComboEntries(HWND combo)
    {
        std::vector<std::string> entries;
        LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[64] = "";
            SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            entries.push_back(text);
        }
        return entries;
    }
};

using Texts = std::vector<std::string>;
const Texts kDefaults = {"lp", "lp_p1", "lp_p2", "lp_s1", "sp"};

TEST_F(PortNameQuery, ChunksAreJoinedInOrderThenTheExchangeEnds)
{
    Serve("names", "--chunk 5");
    std::string answer;
    EXPECT_EQ(16, Query(&answer));
    EXPECT_EQ(std::string("\x01LPT1\0COM1\0SCSI\0", 16), answer);
    ASSERT_TRUE(peer.WaitFiles("dgram-", ".json", 5));
    EXPECT_EQ((Texts{"1/0", "2/5", "2/10", "2/15", "3/16"}), Requests());
}

TEST_F(PortNameQuery, ReplyWithAWrongOffsetIsAFailedAttemptAndTheSameRequestGoesAgain)
{
    Serve("wrong-offset", "--chunk 8");
    EXPECT_EQ(16, Query());
    ASSERT_TRUE(peer.WaitFiles("dgram-", ".json", 5));
    EXPECT_EQ((Texts{"1/0", "1/0", "2/8", "2/8", "3/16"}), Requests());
}

TEST_F(PortNameQuery, ChunkLongerThanItsDatagramIsRefusedFiveTimes)
{
    Serve("bad-length");
    EXPECT_EQ(-1, Query());
    EXPECT_EQ((Texts{"1/0", "1/0", "1/0", "1/0", "1/0"}), Requests()) << "no end-of-exchange request";
}

TEST_F(PortNameQuery, SilenceEndsAfterFiveWaits)
{
    Serve("silence");
    DWORD start = GetTickCount();
    EXPECT_EQ(-1, Query());
    EXPECT_GE(GetTickCount() - start, 5 * g_timing.discoveryWait);
    EXPECT_EQ(5u, Requests().size());
}

TEST_F(PortNameQuery, AnswerOver1024BytesEndsWithMinusOne)
{
    Serve("over-1024");
    EXPECT_EQ(-1, Query());
    EXPECT_EQ((Texts{"1/0", "2/512", "2/1024"}), Requests());
}

TEST_F(PortNameQuery, MoreDataWithAnEmptyChunkEndsAtOnce)
{
    Serve("more-forever");
    DWORD start = GetTickCount();
    EXPECT_EQ(-1, Query());
    EXPECT_LT(GetTickCount() - start, g_timing.discoveryWait * 5);
    EXPECT_EQ((Texts{"1/0"}), Requests());
}

TEST_F(PortNameQuery, LookupPostsTheMappedQueueNamesWithItsGeneration)
{
    Serve("names", "--chunk 7");
    ASSERT_TRUE(LookupPortNames(window, kFoundMessage, "127.0.0.1", port, 41));
    PortNameLookup* found = WaitPosted();
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(41u, found->generation);
    EXPECT_EQ(16, found->total);
    ASSERT_EQ(2u, found->queues.count);
    EXPECT_STREQ("lp_p1", found->queues.names[0]);
    EXPECT_STREQ("lp_s1", found->queues.names[1]);

    HWND combo = CreateWindowA("COMBOBOX", "", CBS_DROPDOWNLIST, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, combo);
    FillDefaultQueueNames(combo);
    ApplyPortNameLookup(combo, found);
    EXPECT_EQ((Texts{"lp_p1", "lp_s1"}), ComboEntries(combo));
    EXPECT_EQ(0, SendMessageA(combo, CB_GETCURSEL, 0, 0));
    DestroyWindow(combo);
    EXPECT_EQ(1, PortNameLookupsOutstanding());
}

TEST_F(PortNameQuery, AnswerWithoutKnownNamesGivesTheDefaults)
{
    Serve("unknown-names");
    ASSERT_TRUE(LookupPortNames(window, kFoundMessage, "127.0.0.1", port, 1));
    PortNameLookup* found = WaitPosted();
    ASSERT_NE(nullptr, found);
    EXPECT_GT(found->total, 0);
    EXPECT_EQ(0u, found->queues.count);
    HWND combo = CreateWindowA("COMBOBOX", "", CBS_DROPDOWNLIST, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("old"));
    ApplyPortNameLookup(combo, found);
    EXPECT_EQ(kDefaults, ComboEntries(combo)) << "an answer replaces the list, then an empty list gets the defaults";
    DestroyWindow(combo);
}

TEST_F(PortNameQuery, FailedLookupKeepsTheListOrGivesAnEmptyOneTheDefaults)
{
    Serve("silence");
    ASSERT_TRUE(LookupPortNames(window, kFoundMessage, "127.0.0.1", port, 2));
    PortNameLookup* found = WaitPosted();
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(-1, found->total);
    HWND combo = CreateWindowA("COMBOBOX", "", CBS_DROPDOWNLIST, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("kept"));
    ApplyPortNameLookup(combo, found);
    EXPECT_EQ((Texts{"kept"}), ComboEntries(combo));
    EXPECT_EQ(0, SendMessageA(combo, CB_GETCURSEL, 0, 0));
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    ApplyPortNameLookup(combo, found);
    EXPECT_EQ(kDefaults, ComboEntries(combo));
    DestroyWindow(combo);
}

TEST_F(PortNameQuery, UnterminatedLastNameAndOverlongNames)
{
    Serve("unterminated");
    ASSERT_TRUE(LookupPortNames(window, kFoundMessage, "127.0.0.1", port, 3));
    PortNameLookup* found = WaitPosted();
    ASSERT_NE(nullptr, found);
    ASSERT_EQ(2u, found->queues.count);
    EXPECT_STREQ("lp_p2", found->queues.names[0]);
    EXPECT_STREQ("lp_s2", found->queues.names[1]) << "the last name ends with the answer";
    ASSERT_TRUE(peer.Stop());

    PeerProcess second("long-name");
    WORD secondPort = FreeUdpPort();
    ASSERT_TRUE(second.Start(FakePrintServerCommand(second.unixDir, "long-name", secondPort))) << second.error;
    ASSERT_TRUE(second.WaitReady()) << second.error;
    ASSERT_TRUE(LookupPortNames(window, kFoundMessage, "127.0.0.1", secondPort, 4));
    found = WaitPosted(2);
    ASSERT_NE(nullptr, found);
    ASSERT_EQ(1u, found->queues.count) << "the 40-character name is skipped";
    EXPECT_STREQ("lp_p1", found->queues.names[0]);
}

TEST_F(PortNameQuery, AddressThatIsNotDottedDecimalAsksByBroadcast)
{
    Serve("names");
    ASSERT_TRUE(LookupPortNames(window, kFoundMessage, "printserver", port, 5));
    PortNameLookup* found = WaitPosted();
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(16, found->total);
    std::vector<DatagramSeen> requests = DatagramsOfKind(peer, "port-name");
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ("255.255.255.255", requests[0].to);
}

TEST_F(PortNameQuery, LateAnswerForAClosedWindowIsFreedByTheThread)
{
    ScaleTiming(1); // the production wait: the answer comes 300 ms late, within it
    Serve("late-names", "--delay-ms 300");
    const LONG before = PortNameLookupsOutstanding();
    ASSERT_TRUE(LookupPortNames(window, kFoundMessage, "127.0.0.1", port, 6));
    DestroyWindow(window);
    window = nullptr;
    // The thread gets its answer, finds no window, and frees the result.
    EXPECT_TRUE(peer.WaitFiles("dgram-", ".json", 2)) << "the end-of-exchange request followed the answer";
    EXPECT_TRUE(WaitUntil([&] { return PortNameLookupsOutstanding() == before; }, 10000))
        << PortNameLookupsOutstanding() - before << " result(s) not freed";
    EXPECT_EQ(nullptr, WaitPosted(1, 300)) << "nothing arrived anywhere";
}

} // namespace
