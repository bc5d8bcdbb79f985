// The print-server search's socket: one request sent by
// broadcast to 255.255.255.255 and to every address of the broadcast-address
// list, at UDP port 19541; the replies arrive as window messages while the
// socket is open (WSAAsyncSelect), each read and checked by SearchReceive.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "discovery/broadcast_store.h"
#include "discovery/search_codec.h"

// Posted to the search window when a datagram can be read: wParam is the
// socket, lParam the select event and error (WSAMAKESELECTREPLY).
const UINT WM_SEARCH_REPLY = WM_USER + 50; // 1074

struct SearchSession {
    SOCKET socket;        // INVALID_SOCKET while closed
    BroadcastList list;   // loaded by SearchStart
    BYTE request[kDiscoveryRequestSize];
};

// A closed session (call once before the first SearchStart).
void InitSearchSession(SearchSession* session);

// Prepares the request, loads the broadcast-address list and opens the
// socket: UDP, SO_BROADCAST, bound to any local address and port (a bind
// refused with WSAEADDRNOTAVAIL is accepted), FD_READ posted to `window` as
// WM_SEARCH_REPLY. FALSE (the socket closed again) when any other step
// fails. A session still open is stopped first.
BOOL SearchStart(SearchSession* session, HWND window);

// Sends the request to 255.255.255.255:19541, then to each listed address
// at 19541, in list order. A failed send does not stop the others.
void SearchSend(const SearchSession* session);

// For one WM_SEARCH_REPLY: only for the session's socket and an FD_READ
// without error. One recvfrom of up to 512 bytes into a zeroed buffer; TRUE
// with the reply (its query port the sender's source port) only for a valid
// reply (ParseSearchReply).
BOOL SearchReceive(SearchSession* session, WPARAM socket, LPARAM event, SearchReply* reply);

// Closes the socket (nothing when it is closed).
void SearchStop(SearchSession* session);

// IsDBCSLeadByte of the system's code page, for the pure codecs.
bool SystemLeadByte(unsigned char c);
