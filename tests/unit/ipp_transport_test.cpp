// The IPP transport's closing chunk, through a send slot of the test's own.
#include <gtest/gtest.h>

#include <string>

#include "ipp/ipp_transport.h"
#include "monitor/error_reporter.h"
#include "monitor/monitor.h"
#include "resource.h"
#include "support/fresh_monitor.h"
#include "support/ui_driver.h"

namespace {

std::string g_wire;
int g_calls = 0;

// The first call takes two bytes and times out; every later one takes all.
BOOL TwoBytesThenAll(PortRecord* port, SOCKET, const BYTE* data, DWORD length, DWORD* counter, BOOL)
{
    DWORD take = ++g_calls == 1 && length > 2 ? 2 : length;
    g_wire.append(reinterpret_cast<const char*>(data), take);
    *counter += take;
    if (take == length)
        return TRUE;
    port->errorCode = ERR_TIMEOUT;
    return FALSE;
}

struct LastChunk : PortFixture {
    IppTransport saved = g_ippTransports[0];
    void TearDown() override
    {
        g_ippTransports[0] = saved;
        PortFixture::TearDown();
    }
};

TEST_F(LastChunk, APartlySentClosingChunkResumesAtItsFirstUnsentByte)
{
    MakePort("IPP1", PROTOCOL_IPP);
    OpenJob();
    IppSettings* ipp = IppOf(port);
    ASSERT_NE(ipp, nullptr);
    ipp->connection = 1; // never touched by the test's send
    g_ippTransports[0].send = TwoBytesThenAll;
    g_wire.clear();
    g_calls = 0;
    // The time-out shows the error window; its Retry sends the rest.
    UiThread* run = StartUiThread([&] { return static_cast<INT_PTR>(SendLastChunk(port)); });
    HWND window = WaitDialog(0, nullptr, IDC_RETRY); // on the window's own thread
    ASSERT_NE(window, nullptr);
    Click(window, IDC_RETRY);
    INT_PTR sent = 0;
    ASSERT_TRUE(JoinUiThread(run, &sent));
    EXPECT_TRUE(sent);
    EXPECT_EQ(g_calls, 2);
    EXPECT_EQ(g_wire, "0\r\n\r\n") << "every byte of the closing chunk exactly once";
    ipp->connection = INVALID_SOCKET;
}

} // namespace
