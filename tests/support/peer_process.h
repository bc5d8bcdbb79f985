// Real and fault-injecting servers ("peers") for the Wine tests.
//
// A Wine program can start a Unix command but can neither wait for it nor
// read its exit code, so a peer runs under tests/peers/run_peer.sh, which
// puts it in a process group of its own, writes files the test watches, and
// stops the whole group when the test writes a stop file or when the
// peer's lifetime (a bound given at start) has passed:
//
//   PeerProcess peer("raw");                       // %TEMP%\peer-raw-<pid>-<n>
//   WORD port = FreeTcpPort();
//   ASSERT_TRUE(peer.Start(RawSinkCommand(port, peer.unixDir), port)) << peer.error;
//   ASSERT_TRUE(peer.WaitReady()) << peer.error;  // a listener is on 127.0.0.1:port
//   ... print ...
//   ASSERT_TRUE(peer.WaitFiles("conn-", ".bin", 1));
//   std::string bytes = peer.ReadAll(peer.Files("conn-", ".bin")[0]);
//   // the destructor stops the peer, waits (bounded) until it is gone and
//   // removes its directory (kept when PEER_KEEP_DIRS is set)
//
// The removal goes through Win32 calls, which follow symbolic links: a peer
// must never link a system directory into its own (copy what it needs), or
// the removal would empty the link's target.
//
// The command is a /bin/sh command line with Unix paths: use peer.unixDir for
// the peer's directory and PeersDir() for the scripts. Start's readyPort lets
// the wrapper write "ready" once a listener is bound (read from /proc/net/tcp,
// so no probe connection reaches the peer); a peer that writes "ready" into
// its directory itself (fault_server.py does) needs no port. The peer's own
// output is in "peer.log".
//
// Peers bind to 127.0.0.1 only; the test run is inside a network namespace.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

// Starts Winsock once for the process (never cleaned up).
void EnsureWinsock();
// A TCP port on 127.0.0.1 that nothing is bound to at the moment; 0 on failure.
WORD FreeTcpPort();
// 127.0.0.1:port.
sockaddr_in Loopback(WORD port);
// True once a TCP connect to 127.0.0.1:port succeeds, polled up to the bound.
bool WaitAccepting(WORD port, DWORD boundMs = 10000);

// Wine's Unix name of a Windows path, and the Z: drive name of a Unix path.
std::string UnixPath(const std::string& windowsPath);
std::string WindowsPath(const std::string& unixPath);
// Single-quoted for /bin/sh.
std::string ShellQuote(const std::string& text);
// Unix path of tests/peers: $PEERS_DIR, else found above the test program.
std::string PeersDir();
// Debian's Python (the one with the distribution's modules).
const char* const kPython = "/usr/bin/python3";

// Command lines of the peers in tests/peers.
std::string RawSinkCommand(WORD port, const std::string& unixDir);
// fault_server.py with --port, --dir and the given extra options.
std::string FaultServerCommand(WORD port, const std::string& unixDir, const std::string& options);

struct PeerProcess {
    explicit PeerProcess(const std::string& label);
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    std::string dir;     // the peer's directory, Windows path
    std::string unixDir; // the same, Unix path
    std::string error;   // why the last Start / Wait / Stop failed
    bool started = false;

    // Starts `command` under run_peer.sh for at most `lifetimeSeconds`.
    bool Start(const std::string& command, WORD readyPort = 0, DWORD lifetimeSeconds = 90);
    // Waits for the file "ready" in the peer's directory.
    bool WaitReady(DWORD boundMs = 10000);
    // Waits for a file of the peer's directory.
    bool WaitFile(const std::string& name, DWORD boundMs = 10000);
    // Waits until `count` files named prefix*suffix exist.
    bool WaitFiles(const std::string& prefix, const std::string& suffix, size_t count, DWORD boundMs = 10000);
    // Asks the wrapper to stop the peer's group and waits for "gone".
    bool Stop(DWORD boundMs = 8000);

    std::string Path(const std::string& name) const; // Windows path of a file of the directory
    void Touch(const std::string& name) const;
    bool Exists(const std::string& name) const;
    std::string ReadAll(const std::string& name) const;
    // Names (not paths) of the files prefix*suffix, sorted.
    std::vector<std::string> Files(const std::string& prefix, const std::string& suffix) const;
};

// One field of a flat JSON object the peers write: a string without its
// quotes (no escapes expected), or a number, null, boolean or array as
// written; empty when absent.
std::string JsonField(const std::string& json, const std::string& key);

// Bytes for a job: a pattern that shows shifted, repeated or lost blocks.
std::string TestPattern(size_t size, unsigned seed = 1);
// Where two byte strings first differ (npos when equal).
size_t FirstDifference(const std::string& a, const std::string& b);
