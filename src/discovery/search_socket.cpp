// The print-server search's socket: broadcast request, replies as window messages.
#include "discovery/search_socket.h"

#include <cstring>

#include "net/socket_layer.h"

namespace {

const int kAddressLength = sizeof(sockaddr_in);

sockaddr_in Destination(uint32_t address)
{
    sockaddr_in to;
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscoveryPort);
    to.sin_addr.s_addr = htonl(address);
    return to;
}

} // namespace

bool SystemLeadByte(unsigned char c)
{
    return IsDBCSLeadByte(c) != FALSE;
}

void InitSearchSession(SearchSession* session)
{
    memset(session, 0, sizeof *session);
    session->socket = INVALID_SOCKET;
}

BOOL SearchStart(SearchSession* session, HWND window)
{
    SearchStop(session);
    BuildSearchRequest(session->request, sizeof session->request);
    LoadBroadcastList(&session->list);
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET)
        return FALSE;
    BOOL broadcast = TRUE;
    bool ready = setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast), sizeof broadcast) == 0;
    if (ready) {
        sockaddr_in local = AnyLocalAddress(0);
        ready = bind(s, reinterpret_cast<const sockaddr*>(&local), kAddressLength) == 0 ||
                WSAGetLastError() == WSAEADDRNOTAVAIL;
    }
    ready = ready && WSAAsyncSelect(s, window, WM_SEARCH_REPLY, FD_READ) == 0;
    if (!ready) {
        closesocket(s);
        return FALSE;
    }
    session->socket = s;
    return TRUE;
}

void SearchSend(const SearchSession* session)
{
    if (session->socket == INVALID_SOCKET)
        return;
    const char* request = reinterpret_cast<const char*>(session->request);
    sockaddr_in to = Destination(0xFFFFFFFFu);
    SendDatagram(session->socket, request, sizeof session->request, 0, &to);
    for (size_t i = 0; i < session->list.count; ++i) {
        to = Destination(session->list.addresses[i]);
        SendDatagram(session->socket, request, sizeof session->request, 0, &to);
    }
}

BOOL SearchReceive(SearchSession* session, WPARAM socket, LPARAM event, SearchReply* reply)
{
    if (session->socket == INVALID_SOCKET || static_cast<SOCKET>(socket) != session->socket ||
        WSAGETSELECTEVENT(event) != FD_READ || WSAGETSELECTERROR(event) != 0)
        return FALSE;
    BYTE buffer[kSearchReplyMax];
    memset(buffer, 0, sizeof buffer);
    sockaddr_in from;
    memset(&from, 0, sizeof from);
    int received = ReceiveDatagram(session->socket, reinterpret_cast<char*>(buffer), sizeof buffer, 0, &from);
    // A longer datagram is read as its first 512 bytes.
    if (received == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE)
        received = sizeof buffer;
    if (received <= 0 || from.sin_family != AF_INET)
        return FALSE;
    return ParseSearchReply(buffer, static_cast<size_t>(received), ntohs(from.sin_port), SystemLeadByte, reply);
}

void SearchStop(SearchSession* session)
{
    if (session->socket == INVALID_SOCKET)
        return;
    closesocket(session->socket);
    session->socket = INVALID_SOCKET;
}
