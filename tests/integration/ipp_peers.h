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
//   request.Field("transfer_encoding") == "chunked"; request.Document() == bytes;
//   request.Attribute("requesting-user-name") == "alice"; FaultEvents(fault) ...
//
//   PeerProcess proxy("proxy");
//   WORD pport = FreeTcpPort();
//   ASSERT_TRUE(StartHttpProxy(&proxy, pport)) << proxy.error;
//   ... an IPP port with UseProxy to 127.0.0.1:PPORT and the cupsd URL ...
//   ProxyRequestLines(proxy)[0] == "POST http://127.0.0.1:PORT/printers/raw HTTP/1.1"
//
// cupsd's queues (tests/peers/cups.sh): raw, auth (every request needs Basic
// authorization of kIppUser/kIppPassword), authjob (only Print-Job needs it;
// the 401 comes after the whole body), stopped (stopped, not accepting,
// reasons paused,media-jam-error,toner-low-warning), paused (stopped, still
// accepting: jobs wait), reject (not accepting). A wrong password blocks
// cupsd for about 2.5 s: keep such tests few.
// The fault server's scenarios and files are described at the top of
// tests/peers/ipp_fault_server.py; by default it answers every request as an
// idle, accepting printer.
#pragma once

#include <cctype>
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
// `options` are its own (--script, --gpa, --print, --require-auth, --rcvbuf,
// --stall-seconds).
inline std::string IppFaultServerCommand(WORD port, const std::string& unixDir, const std::string& options,
                                         DWORD lifetimeSeconds)
{
    return std::string("exec ") + kPython + " " + ShellQuote(PeersDir() + "/ipp_fault_server.py") + " --port " +
           std::to_string(port) + " --dir " + ShellQuote(unixDir) + " --lifetime " +
           std::to_string(lifetimeSeconds) + " " + options;
}

inline bool StartIppFaultServer(PeerProcess* peer, WORD port, const std::string& options = "",
                                DWORD lifetimeSeconds = 120)
{
    return peer->Start(IppFaultServerCommand(port, peer->unixDir, options, lifetimeSeconds), 0, lifetimeSeconds + 5) &&
           peer->WaitReady(kIppPeerStartMs);
}

// One field of a flat JSON object written by the peers: a string without its
// quotes (no escapes expected), or a number, null, boolean or array as written;
// empty when absent.
inline std::string PeerJsonField(const std::string& json, const std::string& key)
{
    std::string tag = "\"" + key + "\": ";
    size_t at = json.find(tag);
    if (at == std::string::npos)
        return "";
    at += tag.size();
    if (at >= json.size())
        return "";
    if (json[at] == '"')
        return json.substr(at + 1, json.find('"', at + 1) - at - 1);
    size_t end = json[at] == '[' ? json.find(']', at) + 1 : json.find_first_of(",}", at);
    return json.substr(at, end - at);
}

// What the fault server received on one connection.
struct FaultRequest {
    bool found = false;
    std::string json;  // req-N.json
    std::string head;  // the request head as received, ending with the empty line
    std::string body;  // the decoded body: IPP request, then the document
    std::string attrs; // req-N.attrs: "GROUP TAG NAME=VALUE" lines

    // request_line, host, authorization, content_length, transfer_encoding,
    // framing ("length", "chunked", "none"), chunks, chunk_count, last_chunk,
    // body_bytes, complete, version ("1.0"), operation (2, 11), request_id,
    // ipp_length, document_bytes, scenario, auth.
    std::string Field(const std::string& key) const { return PeerJsonField(json, key); }
    // The IPP request, and the document bytes that followed it.
    std::string Ipp() const
    {
        std::string length = Field("ipp_length");
        return length.empty() || length == "null" ? body : body.substr(0, std::stoul(length));
    }
    std::string Document() const
    {
        std::string length = Field("ipp_length");
        return length.empty() || length == "null" ? std::string() : body.substr(std::stoul(length));
    }
    // Values of the attribute `name` (its first value, then further values
    // written without a name), escaped as in req-N.attrs; empty when absent.
    std::vector<std::string> Values(const std::string& name) const
    {
        std::vector<std::string> values;
        bool inside = false;
        size_t at = 0;
        while (at < attrs.size()) {
            size_t end = attrs.find('\n', at);
            std::string line = attrs.substr(at, end == std::string::npos ? std::string::npos : end - at);
            at = end == std::string::npos ? attrs.size() : end + 1;
            if (line.size() < 6)
                continue;
            std::string item = line.substr(6); // after "GG TT "
            size_t equals = item.find('=');
            std::string itemName = item.substr(0, equals);
            if (!itemName.empty())
                inside = itemName == name;
            if (inside && equals != std::string::npos)
                values.push_back(item.substr(equals + 1));
        }
        return values;
    }
    std::string Attribute(const std::string& name) const
    {
        std::vector<std::string> values = Values(name);
        return values.empty() ? std::string() : values[0];
    }
    // The value of a request header (first one, any letter case); empty when absent.
    std::string Header(const std::string& name) const
    {
        size_t at = head.find("\r\n");
        while (at != std::string::npos) {
            size_t start = at + 2;
            size_t end = head.find("\r\n", start);
            if (end == std::string::npos || end == start)
                break;
            std::string line = head.substr(start, end - start);
            at = end;
            size_t colon = line.find(':');
            if (colon == std::string::npos || Lower(line.substr(0, colon)) != Lower(name))
                continue;
            size_t value = line.find_first_not_of(' ', colon + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
        return std::string();
    }
    static std::string Lower(std::string text)
    {
        for (char& c : text)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return text;
    }
};

// The record of connection n (1-based, accept order), once its request has
// been read (the file appears before the answer is sent).
inline FaultRequest ReadFaultRequest(PeerProcess& server, int n, DWORD boundMs = 10000)
{
    FaultRequest request;
    std::string base = "req-" + std::to_string(n);
    request.found = server.WaitFile(base + ".json", boundMs);
    if (!request.found)
        return request;
    request.json = server.ReadAll(base + ".json");
    request.head = server.ReadAll(base + ".head");
    request.body = server.ReadAll(base + ".body");
    request.attrs = server.ReadAll(base + ".attrs");
    return request;
}

// Requests read so far.
inline size_t FaultRequestCount(PeerProcess& server)
{
    return server.Files("req-", ".json").size();
}

// events.log: "accept N", "request N OP SCENARIO", "stalled N BYTES",
// "responded N", "client-closed N SECONDS", "held N", "closed N", ...
inline std::string FaultEvents(PeerProcess& server)
{
    return server.ReadAll("events.log");
}

// Waits until events.log holds `line` (a whole line).
inline bool WaitFaultEvent(PeerProcess& server, const std::string& line, DWORD boundMs = 10000)
{
    for (DWORD waited = 0;; waited += 20) {
        std::string events = "\n" + FaultEvents(server);
        if (events.find("\n" + line + "\n") != std::string::npos)
            return true;
        if (waited >= boundMs) {
            server.error = "no event \"" + line + "\" after " + std::to_string(boundMs) + " ms; events:" + events;
            return false;
        }
        Sleep(20);
    }
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
