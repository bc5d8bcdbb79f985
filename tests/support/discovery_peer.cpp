#include "support/discovery_peer.h"

#include <algorithm>
#include <cstdlib>

bool LoopbackOnlyNetwork()
{
    char value[8] = "";
    DWORD length = GetEnvironmentVariableA("NETMON_LOOPBACK_ONLY", value, sizeof value);
    return length == 1 && value[0] == '1';
}

WORD FreeUdpPort()
{
    EnsureWinsock();
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    int length = sizeof address;
    WORD port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    closesocket(s);
    return port;
}

std::string FakePrintServerCommand(const std::string& unixDir, const std::string& script, WORD port, WORD sourcePort,
                                   const std::string& options)
{
    std::string command = std::string("exec ") + kPython + " " + ShellQuote(PeersDir() + "/fake_print_server.py") +
                          " --dir " + ShellQuote(unixDir) + " --script " + ShellQuote(script) + " --port " +
                          std::to_string(port);
    if (sourcePort)
        command += " --source-port " + std::to_string(sourcePort);
    return command + " " + options;
}

std::vector<DatagramSeen> DatagramsSeen(const PeerProcess& peer)
{
    std::vector<DatagramSeen> seen;
    for (const std::string& name : peer.Files("dgram-", ".json")) {
        std::string json = peer.ReadAll(name);
        DatagramSeen datagram;
        datagram.number = atoi(JsonField(json, "n").c_str());
        datagram.kind = JsonField(json, "kind");
        datagram.to = JsonField(json, "to");
        datagram.toPort = atoi(JsonField(json, "to_port").c_str());
        datagram.op = atoi(JsonField(json, "op").c_str());
        datagram.offset = atoi(JsonField(json, "offset").c_str());
        seen.push_back(datagram);
    }
    std::sort(seen.begin(), seen.end(), [](const DatagramSeen& a, const DatagramSeen& b) { return a.number < b.number; });
    return seen;
}

std::vector<DatagramSeen> DatagramsOfKind(const PeerProcess& peer, const std::string& kind)
{
    std::vector<DatagramSeen> all = DatagramsSeen(peer), chosen;
    for (const DatagramSeen& datagram : all)
        if (datagram.kind == kind)
            chosen.push_back(datagram);
    return chosen;
}
