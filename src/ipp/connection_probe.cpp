// The connection test of the add-port wizard. A cancellation sets the
// cancellation mark that the socket waits look at, then takes the test's
// socket away under the lock and closes it (a pending wait or connect ends
// with an error), and repeats that while it waits, boundedly, for the thread:
// the test may have opened its next socket in between.
#include "ipp/connection_probe.h"

#include "ipp/ipp_job.h"
#include "ipp/ipp_policy.h"
#include "ipp/ipp_request.h"
#include "ipp/ipp_response.h"
#include "monitor/monitor.h"
#include "monitor/worker_thread.h"

namespace {

const DWORD kTestTimeout = 180000;
const DWORD kUserNameSize = 260;

// Resets the wizard's record for one test (caller holds the lock). The
// logon name goes as requesting-user-name.
bool PrepareTestRecord(PortRecord* port, IppSettings* ipp)
{
    ipp->requestCounter = 1;
    ipp->connection = INVALID_SOCKET;
    ipp->statusConnection = INVALID_SOCKET;
    port->receiveTimeout = port->sendTimeout = kTestTimeout;
    SharedWrite(&port->jobStatus, 0);
    port->errorCode = 0;
    // Each test starts with an empty model: a test that gets no answer must
    // not show the model an earlier test left.
    if (ipp->modelTextDestination)
        ZeroMemory(ipp->modelTextDestination, kIppModelSize);
    else
        ipp->modelTextDestination = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kIppModelSize));
    char user[kUserNameSize] = "";
    DWORD size = sizeof user;
    if (!GetUserNameA(user, &size))
        user[0] = '\0';
    FreeText(&port->userName);
    port->userName = CopyText(user);
    return ipp->modelTextDestination != nullptr;
}

} // namespace

DWORD WINAPI ConnectionTestThread(void* parameter)
{
    PortRecord* port = static_cast<PortRecord*>(parameter);
    IppSettings* ipp = IppOf(port);
    if (!ipp)
        return 0;
    BOOL ok = IppQueryOn(port, IPP_QUERY_MODEL, &ipp->statusConnection);
    bool answered = ConnectionTestAnswered(ok != FALSE, port->errorCode);
    MonitorLock();
    FreeText(&port->userName);
    MonitorUnlock();
    return answered ? 1 : 0;
}

BOOL StartConnectionTest(PortRecord* port, HANDLE* thread)
{
    IppSettings* ipp = IppOf(port);
    *thread = nullptr;
    if (!ipp)
        return FALSE;
    // Prepared before the thread runs, so that a cancellation at once is not undone.
    MonitorLock();
    bool prepared = PrepareTestRecord(port, ipp);
    MonitorUnlock();
    if (!prepared)
        return FALSE;
    *thread = StartWorkerThread(ConnectionTestThread, port, WORKER_LOWEST_PRIORITY);
    return *thread != nullptr;
}

namespace {

// How often a cancellation repeats the abort while it waits.
const DWORD kAbortRepeatMs = 50;

// Takes the test's socket away under the lock and closes it by abort.
void AbortTestConnection(PortRecord* port)
{
    IppSettings* ipp = IppOf(port);
    if (!ipp)
        return;
    MonitorLock();
    SOCKET s = ipp->statusConnection;
    ipp->statusConnection = INVALID_SOCKET;
    MonitorUnlock();
    if (s == INVALID_SOCKET)
        return;
    LINGER reset = {1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof reset);
    closesocket(s);
}

} // namespace

BOOL CancelConnectionTest(HWND window, PortRecord* port, HANDLE* thread, DWORD limitMs)
{
    (void)window;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    // The mark first: a socket the test opens after the abort sees it.
    MonitorLock();
    SharedWrite(&port->jobStatus, JOB_STATUS_DELETING);
    MonitorUnlock();
    AbortTestConnection(port);
    BOOL ended = TRUE;
    if (*thread) {
        DWORD start = GetTickCount();
        DWORD waited = 0;
        for (;;) {
            DWORD slice = limitMs - waited < kAbortRepeatMs ? limitMs - waited : kAbortRepeatMs;
            ended = WaitForSingleObject(*thread, slice) == WAIT_OBJECT_0;
            waited = GetTickCount() - start;
            if (ended || waited >= limitMs)
                break;
            AbortTestConnection(port);
        }
        CloseHandle(*thread);
        *thread = nullptr;
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    return ended;
}
