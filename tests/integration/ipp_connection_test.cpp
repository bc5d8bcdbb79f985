// The add-port wizard's connection test on a temporary IPP port record:
// what counts as an answer, the make and model it brings back, and a
// cancellation that wakes an exchange the printer never answers.
#include <gtest/gtest.h>

#include <string>

#include "integration/ipp_peers.h"
#include "ipp/connection_probe.h"
#include "ipp/printer_url_record.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"
#include "support/ui_driver.h"

namespace {

struct TestRecord {
    PortRecord* port;
    IppSettings* ipp;

    explicit TestRecord(const std::string& url)
    {
        port = static_cast<PortRecord*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PortRecord) + 16));
        port->protocol = PROTOCOL_IPP;
        port->settings = NewSettingsRecord(PROTOCOL_IPP);
        ipp = IppOf(port);
        lstrcpynA(ipp->url, url.c_str(), sizeof ipp->url);
        lstrcpynA(ipp->language, "en-us", sizeof ipp->language);
        ParsePrinterUrl(ipp);
    }
    ~TestRecord()
    {
        if (ipp->modelTextDestination)
            HeapFree(GetProcessHeap(), 0, ipp->modelTextDestination);
        HeapFree(GetProcessHeap(), 0, port->settings);
        HeapFree(GetProcessHeap(), 0, port);
    }
    // Runs the test to its end; its exit code.
    DWORD Run()
    {
        HANDLE thread = nullptr;
        if (!StartConnectionTest(port, &thread))
            return 2;
        WaitForSingleObject(thread, 60000);
        DWORD code = 2;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        return code;
    }
};

std::string FaultUrl(WORD port)
{
    return "http://127.0.0.1:" + std::to_string(port) + "/ipp";
}

TEST(IppConnectionTest, AnswersCountAsReachableAndBringTheModel)
{
    FreshMonitor fresh;
    EnsureWinsock();
    struct Row {
        const char* gpa;
        DWORD exitCode;
        const char* model;
    } rows[] = {
        {"idle:model=Office%20Laser%209", 1, "Office Laser 9"},
        {"401", 1, ""},
        {"500", 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.gpa);
        PeerProcess server("ippfault");
        WORD port = FreeTcpPort();
        ASSERT_TRUE(StartIppFaultServer(&server, port, std::string("--gpa ") + row.gpa)) << server.error;
        TestRecord record(FaultUrl(port));
        EXPECT_EQ(record.Run(), row.exitCode);
        ASSERT_NE(record.ipp->modelTextDestination, nullptr);
        EXPECT_STREQ(record.ipp->modelTextDestination, row.model);
        FaultRequest request = ReadFaultRequest(server, 1);
        EXPECT_EQ(request.Field("request_id"), "1");
        EXPECT_EQ(request.Field("requested-attributes"), "printer-make-and-model");
        char user[260] = "";
        DWORD size = sizeof user;
        GetUserNameA(user, &size);
        EXPECT_EQ(request.Field("requesting-user-name"), user);
        EXPECT_EQ(record.port->userName, nullptr) << "the logon name is released";
    }
    TestRecord nobody(FaultUrl(FreeTcpPort()));
    EXPECT_EQ(nobody.Run(), 0u);
}

TEST(IppConnectionTest, CancelWakesAnExchangeThePrinterNeverAnswers)
{
    FreshMonitor fresh;
    EnsureWinsock();
    // Under Wine a shutdown does not wake a pending readiness wait; the
    // cancellation mark ends it within one (scaled) slice.
    ScaleTiming(100);
    // A listener that never accepts: the connect and the request succeed
    // (the backlog takes them), the answer never comes.
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    int length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    TestRecord record(FaultUrl(ntohs(address.sin_port)));
    HANDLE thread = nullptr;
    ASSERT_TRUE(StartConnectionTest(record.port, &thread));
    // The exchange is under way once its socket is published.
    EXPECT_TRUE(WaitUntil([&] { return record.ipp->statusConnection != INVALID_SOCKET; }));
    // The receive would wait 180 s; the cancellation must end it now.
    EXPECT_TRUE(CancelConnectionTest(nullptr, record.port, &thread, g_timing.connectionTestStopLimit));
    EXPECT_EQ(thread, nullptr);
    EXPECT_EQ(record.ipp->statusConnection, INVALID_SOCKET) << "the test's thread closed its socket";
    closesocket(listener);
    ScaleTiming(1);
}

} // namespace
