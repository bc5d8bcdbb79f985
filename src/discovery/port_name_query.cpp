// The internal-port-name query and the background lookup for the wizard.
#include "discovery/port_name_query.h"

#include <cstring>

#include "monitor/timing.h"
#include "monitor/worker_thread.h"
#include "net/socket_layer.h"

namespace {

const size_t kAddressTextMax = 15;

// What the lookup thread takes with it: copies only.
struct LookupRequest {
    HWND window;
    UINT message;
    DWORD generation;
    WORD port;
    char address[kAddressTextMax + 1];
};

LONG g_outstanding = 0;

// One attempt: send the request, wait once for a reply. True when the
// reply answers this request (operation and offset) with its whole chunk.
bool Attempt(SOCKET s, const sockaddr_in& server, const BYTE* request, uint16_t operation, uint16_t offset,
             BYTE* reply, PortNameChunk* chunk)
{
    SendDatagram(s, reinterpret_cast<const char*>(request), kPortNameRequestSize, 0, &server);
    memset(reply, 0, kPortNameReplyMax);
    sockaddr_in from;
    int received = ReceiveDatagramWithTimeout(s, reinterpret_cast<char*>(reply), kPortNameReplyMax, 0, &from,
                                              g_timing.discoveryWait);
    return received > 0 && ParsePortNameReply(reply, static_cast<size_t>(received), operation, offset, chunk);
}

PortNameLookup* NewLookup(DWORD generation)
{
    PortNameLookup* result = static_cast<PortNameLookup*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PortNameLookup)));
    if (!result)
        return nullptr;
    InterlockedIncrement(&g_outstanding);
    result->generation = generation;
    result->total = -1;
    return result;
}

DWORD WINAPI LookupThread(void* parameter)
{
    LookupRequest* request = static_cast<LookupRequest*>(parameter);
    in_addr address;
    address.s_addr = inet_addr(request->address);
    PortNameAssembly* answer = static_cast<PortNameAssembly*>(HeapAlloc(GetProcessHeap(), 0, sizeof(PortNameAssembly)));
    PortNameLookup* result = answer ? NewLookup(request->generation) : nullptr;
    if (result) {
        result->total = QueryPortNames(address, request->port, answer);
        if (result->total > 0)
            MapAnswerNames(answer->answer, static_cast<size_t>(result->total), &result->queues);
        if (!PostMessageA(request->window, request->message, request->generation, reinterpret_cast<LPARAM>(result)))
            FreePortNameLookup(result);
    }
    if (answer)
        HeapFree(GetProcessHeap(), 0, answer);
    HeapFree(GetProcessHeap(), 0, request);
    return 0;
}

} // namespace

int QueryPortNames(in_addr address, WORD port, PortNameAssembly* answer)
{
    SOCKET s = INVALID_SOCKET;
    if (!OpenDatagramSocket(&s, 0))
        return -1;
    sockaddr_in server;
    memset(&server, 0, sizeof server);
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr = address;
    StartPortNameAssembly(answer);
    BYTE request[kPortNameRequestSize];
    BYTE reply[kPortNameReplyMax];
    for (;;) {
        const uint16_t operation = answer->operation;
        const uint16_t offset = static_cast<uint16_t>(answer->length);
        BuildPortNameRequest(operation, offset, request, sizeof request);
        PortNameChunk chunk;
        bool answered = false;
        for (int attempt = 0; attempt < kPortNameAttempts && !answered; ++attempt)
            answered = Attempt(s, server, request, operation, offset, reply, &chunk);
        const PortNameStep step = answered ? AddPortNameChunk(answer, chunk) : PORT_NAMES_FAILED;
        if (step == PORT_NAMES_FAILED) {
            CloseDatagramSocket(s);
            return -1;
        }
        if (step == PORT_NAMES_COMPLETE) {
            // The end of the exchange: sent once, whatever comes back.
            BuildPortNameRequest(answer->operation, static_cast<uint16_t>(answer->length), request, sizeof request);
            Attempt(s, server, request, answer->operation, static_cast<uint16_t>(answer->length), reply, &chunk);
            CloseDatagramSocket(s);
            return static_cast<int>(answer->length);
        }
    }
}

BOOL LookupPortNames(HWND window, UINT message, const char* addressText, WORD port, DWORD generation)
{
    LookupRequest* request = static_cast<LookupRequest*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(LookupRequest)));
    if (!request)
        return FALSE;
    request->window = window;
    request->message = message;
    request->generation = generation;
    request->port = port;
    if (addressText)
        lstrcpynA(request->address, addressText, sizeof request->address);
    HANDLE thread = StartWorkerThread(LookupThread, request, WORKER_LOWEST_PRIORITY);
    if (!thread) {
        HeapFree(GetProcessHeap(), 0, request);
        return FALSE;
    }
    CloseHandle(thread);
    return TRUE;
}

void FillDefaultQueueNames(HWND comboBox)
{
    for (const char* name : kDefaultQueueNames)
        SendMessageA(comboBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageA(comboBox, CB_SETCURSEL, 0, 0);
}

void ApplyPortNameLookup(HWND comboBox, const PortNameLookup* result)
{
    if (result && result->total > 0) {
        SendMessageA(comboBox, CB_RESETCONTENT, 0, 0);
        for (size_t i = 0; i < result->queues.count; ++i)
            SendMessageA(comboBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(result->queues.names[i]));
    }
    if (SendMessageA(comboBox, CB_GETCOUNT, 0, 0) <= 0)
        FillDefaultQueueNames(comboBox);
    SendMessageA(comboBox, CB_SETCURSEL, 0, 0);
}

void FreePortNameLookup(PortNameLookup* result)
{
    if (!result)
        return;
    HeapFree(GetProcessHeap(), 0, result);
    InterlockedDecrement(&g_outstanding);
}

LONG PortNameLookupsOutstanding()
{
    return InterlockedCompareExchange(&g_outstanding, 0, 0);
}
