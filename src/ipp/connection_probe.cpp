// The connection test of the add-port wizard. The test's exchange owns its
// socket; a cancellation only wakes it (shutdown, and the cancellation mark
// that the socket waits look at) and waits for the thread.
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
    if (!ipp->modelTextDestination)
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

BOOL CancelConnectionTest(HWND window, PortRecord* port, HANDLE* thread, DWORD limitMs)
{
    (void)window;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    IppSettings* ipp = IppOf(port);
    MonitorLock();
    SharedWrite(&port->jobStatus, JOB_STATUS_DELETING);
    if (ipp && ipp->statusConnection != INVALID_SOCKET)
        shutdown(ipp->statusConnection, SD_BOTH);
    MonitorUnlock();
    BOOL ended = TRUE;
    if (*thread) {
        ended = WaitForSingleObject(*thread, limitMs) == WAIT_OBJECT_0;
        CloseHandle(*thread);
        *thread = nullptr;
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    return ended;
}
