// What the IPP tests share: cupsd as the real printer, the scriptable
// fault-injecting HTTP/IPP server and the HTTP proxy of tests/peers, each on
// a free port of 127.0.0.1 for one test, and readers of what they recorded.
//
//   PeerProcess cups("cups");
//   WORD port = FreeTcpPort();
//   ASSERT_TRUE(StartCups(&cups, port)) << cups.error;
//   std::string url = CupsPrinterUrl(port, "raw");      // http://127.0.0.1:PORT/printers/raw
//   ... print job bytes through an IPP port with that URL ...
//   ASSERT_TRUE(WaitCupsJob(cups, 1)) << cups.error;      // CUPS job IDs start at 1
//   CupsJob job = ReadCupsJob(cups, 1);                  // job.bytes, job.user, job.title
//
//   PeerProcess fault("ippfault");
//   WORD fport = FreeTcpPort();
//   ASSERT_TRUE(StartIppFaultServer(&fault, fport, "--gpa idle --print interim-same")) << fault.error;
//   ... print to http://127.0.0.1:FPORT/ipp ...
//   FaultRequest request = ReadFaultRequest(fault, 2);   // connection 2: the Print-Job
//   request.Field("framing") == "chunked"; request.document == bytes;
//   request.Field("requesting-user-name") == "alice";
//
//   PeerProcess proxy("proxy");
//   WORD pport = FreeTcpPort();
//   ASSERT_TRUE(StartHttpProxy(&proxy, pport)) << proxy.error;
//   ... an IPP port with UseProxy to 127.0.0.1:PPORT and the cupsd URL ...
//   ProxyRequestLines(proxy)[0] == "POST http://127.0.0.1:PORT/printers/raw HTTP/1.1"
//
// cupsd's queues (tests/peers/cups.sh): raw, auth (every request needs Basic
// authorization of kIppUser/kIppPassword), authjob (only Print-Job needs it;
// the 401 comes after the whole body), paused (stopped, still accepting:
// jobs wait; reason media-jam-error), reject (not accepting). A wrong password blocks
// cupsd for about 2.5 s: keep such tests few.
// The fault server's scenarios and files are described at the top of
// tests/peers/ipp_fault_server.py; by default it answers every request as an
// idle, accepting printer.
#pragma once

#include <string>
#include <vector>

#include "support/peer_process.h"

// The local user of cupsd's Basic authorization (created by ./run setup).
const char kIppUser[] = "ipptest";
const char kIppPassword[] = "ipp-secret";
// Time for a started peer to listen, and for a job to reach the capture.
const DWORD kIppPeerStartMs = 10000;
const DWORD kCupsJobBoundMs = 30000;

// ---- cupsd -----------------------------------------------------------------

// cupsd on 127.0.0.1:port with its private tree in <peer>/cups and the
// captured jobs in <peer>/cups/jobs. `options`: cups.sh's (--quiet, --digest).
inline bool StartCups(PeerProcess* peer, WORD port, const std::string& options = "", DWORD lifetimeSeconds = 180)
{
    std::string command = "exec /bin/bash " + ShellQuote(PeersDir() + "/cups.sh") + " " +
                          ShellQuote(peer->unixDir + "/cups") + " " + std::to_string(port) + " " + options;
    return peer->Start(command, port, lifetimeSeconds) && peer->WaitReady(kIppPeerStartMs);
}

// The URL of a cupsd queue: http://127.0.0.1:PORT/printers/QUEUE (or ipp://...).
inline std::string CupsPrinterUrl(WORD port, const std::string& queue, const std::string& scheme = "http")
{
    return scheme + "://127.0.0.1:" + std::to_string(port) + "/printers/" + queue;
}

struct CupsJob {
    bool found = false;
    std::string bytes; // the job's bytes exactly as cupsd received them
    std::string user;  // the job's user (requesting-user-name), UTF-8
    std::string title; // the job's title (job-name), UTF-8
};

inline std::string CupsJobName(int jobId, const char* suffix)
{
    return "cups\\jobs\\job-" + std::to_string(jobId) + suffix;
}

// Waits until the capture of CUPS job `jobId` is complete.
inline bool WaitCupsJob(PeerProcess& peer, int jobId, DWORD boundMs = kCupsJobBoundMs)
{
    return peer.WaitFile(CupsJobName(jobId, ".bin"), boundMs);
}

inline CupsJob ReadCupsJob(PeerProcess& peer, int jobId)
{
    CupsJob job;
    job.found = peer.Exists(CupsJobName(jobId, ".bin"));
    if (!job.found)
        return job;
    job.bytes = peer.ReadAll(CupsJobName(jobId, ".bin"));
    std::string text = peer.ReadAll(CupsJobName(jobId, ".txt"));
    size_t newline = text.find('\n');
    job.user = text.substr(0, newline);
    if (newline != std::string::npos)
        job.title = text.substr(newline + 1, text.find('\n', newline + 1) - newline - 1);
    return job;
}

// cupsd's error log (LogLevel debug: shows e.g. "1.0 Print-Job" per request).
inline std::string CupsErrorLog(PeerProcess& peer)
{
    return peer.ReadAll("cups\\log\\error_log");
}

// ---- the fault server --------------------------------------------------------

// ipp_fault_server.py on 127.0.0.1:port recording into the peer's directory;
// `options` are its own (--script, --gpa, --print, --rcvbuf, --stall-seconds).
inline bool StartIppFaultServer(PeerProcess* peer, WORD port, const std::string& options = "",
                                DWORD lifetimeSeconds = 120)
{
    std::string command = std::string("exec ") + kPython + " " + ShellQuote(PeersDir() + "/ipp_fault_server.py") +
                          " --port " + std::to_string(port) + " --dir " + ShellQuote(peer->unixDir) + " --lifetime " +
                          std::to_string(lifetimeSeconds) + " " + options;
    return peer->Start(command, 0, lifetimeSeconds + 5) && peer->WaitReady(kIppPeerStartMs);
}

// What the fault server received on one connection.
struct FaultRequest {
    bool found = false;
    std::string json;     // req-N.json
    std::string document; // the bytes after the IPP request

    // operation (2, 11), request_id, framing ("length", "chunked", "none"),
    // complete, document_bytes, and the first value of an IPP attribute by name.
    std::string Field(const std::string& key) const { return JsonField(json, key); }
};

// The record of connection n (1-based, accept order), once its request has
// been read (the file appears before the answer is sent).
inline FaultRequest ReadFaultRequest(PeerProcess& server, int n, DWORD boundMs = 10000)
{
    FaultRequest request;
    std::string base = "req-" + std::to_string(n);
    request.found = server.WaitFile(base + ".json", boundMs);
    request.json = server.ReadAll(base + ".json");
    request.document = server.ReadAll(base + ".doc");
    return request;
}

// Requests read so far.
inline size_t FaultRequestCount(PeerProcess& server)
{
    return server.Files("req-", ".json").size();
}

// ---- the HTTP proxy ----------------------------------------------------------

inline bool StartHttpProxy(PeerProcess* peer, WORD port, DWORD lifetimeSeconds = 120)
{
    std::string command = std::string("exec ") + kPython + " " + ShellQuote(PeersDir() + "/http_proxy.py") +
                          " --port " + std::to_string(port) + " --dir " + ShellQuote(peer->unixDir) + " --lifetime " +
                          std::to_string(lifetimeSeconds);
    return peer->Start(command, 0, lifetimeSeconds + 5) && peer->WaitReady(kIppPeerStartMs);
}

// The request lines the proxy received, in order.
inline std::vector<std::string> ProxyRequestLines(PeerProcess& proxy)
{
    std::vector<std::string> lines;
    std::string log = proxy.ReadAll("requests.log");
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        std::string line = log.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? log.size() : end + 1;
        size_t blank = line.find(' ');
        if (blank != std::string::npos)
            lines.push_back(line.substr(blank + 1));
    }
    return lines;
}
