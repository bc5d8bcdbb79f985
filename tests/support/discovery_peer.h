// The discovery tests' fake print server (tests/peers/fake_print_server.py)
// and the network-safety guard of every test that sends a search.
//
// The search is a broadcast: these tests run only inside the test run's
// private network namespace, where nothing can leave the machine. `./run`
// sets NETMON_LOOPBACK_ONLY=1 when `ip -o link` shows nothing but lo there;
// RequireLoopbackOnly() fails the test without it (and the fake server
// itself refuses to start in a namespace with another interface).
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/peer_process.h"

// True when the runner marked this namespace as loopback-only.
bool LoopbackOnlyNetwork();
// In a test body or SetUp: fails (fatally) unless LoopbackOnlyNetwork().
#define REQUIRE_LOOPBACK_ONLY()                                                                                      \
    do {                                                                                                             \
        if (!LoopbackOnlyNetwork())                                                                                  \
            FAIL() << "refusing to broadcast: NETMON_LOOPBACK_ONLY is not set (run the tests with ./run test, "     \
                      "inside a network namespace that has only lo)";                                                \
    } while (0)

// A UDP port on 0.0.0.0 that nothing is bound to at the moment; 0 on failure.
WORD FreeUdpPort();

// fake_print_server.py with its directory, script list, port (19541 by
// default), a second source port (0: none) and further options.
std::string FakePrintServerCommand(const std::string& unixDir, const std::string& script, WORD port = 19541,
                                   WORD sourcePort = 0, const std::string& options = "");

// One datagram the fake server received (its dgram-<n>.json).
struct DatagramSeen {
    int number;
    std::string kind; // "search", "port-name", "other"
    std::string to;   // destination address
    int toPort;
    int op;     // port-name requests
    int offset; // port-name requests
};
// Every datagram recorded so far, in arrival order.
std::vector<DatagramSeen> DatagramsSeen(const PeerProcess& peer);
// Those of one kind.
std::vector<DatagramSeen> DatagramsOfKind(const PeerProcess& peer, const std::string& kind);
