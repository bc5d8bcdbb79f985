#include "support/peer_process.h"

#include "support/test_files.h"

#include "support/fresh_monitor.h"
#include "support/ui_driver.h"

#include <algorithm>
#include <fstream>

namespace {

// Wine's own mapping of DOS names to Unix names (kernel32 under Wine).
typedef char*(CDECL* UnixNameFunction)(LPCWSTR);

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    return static_cast<bool>(std::ofstream(path, std::ios::binary) << bytes);
}

std::string ParentOf(const std::string& unixPath)
{
    size_t slash = unixPath.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : unixPath.substr(0, slash);
}


// Starts a Unix command line through /bin/sh; Wine returns at once.
bool StartShell(const std::string& script, std::string* error)
{
    // Windows command-line quoting: backslashes are literal unless they
    // precede a quote, where they are doubled and the quote escaped.
    std::string line = "/bin/sh -c \"";
    size_t backslashes = 0;
    for (char c : script) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        *error = "CreateProcessA failed: " + std::to_string(GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

void EnsureWinsock()
{
    static LONG started = 0;
    if (InterlockedCompareExchange(&started, 1, 0) == 0) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
}

WORD FreeTcpPort()
{
    EnsureWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    int length = sizeof address;
    WORD port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    closesocket(s);
    return port;
}

bool WaitAccepting(WORD port, DWORD boundMs)
{
    EnsureWinsock();
    return WaitUntil(
        [port] {
            SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address = Loopback(port);
            bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            closesocket(s);
            return ok;
        },
        boundMs);
}

std::string UnixPath(const std::string& windowsPath)
{
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    UnixNameFunction toUnix = reinterpret_cast<UnixNameFunction>(reinterpret_cast<void*>(found));
    std::string result;
    wchar_t wide[MAX_PATH * 2];
    if (!toUnix || !MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2))
        return result;
    char* unixName = toUnix(wide);
    if (unixName) {
        result = unixName;
        HeapFree(GetProcessHeap(), 0, unixName);
    }
    return result;
}

std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string PeersDir()
{
    char fromEnvironment[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("PEERS_DIR", fromEnvironment, sizeof fromEnvironment);
    if (length > 0 && length < sizeof fromEnvironment)
        return fromEnvironment;
    char module[MAX_PATH];
    length = GetModuleFileNameA(nullptr, module, sizeof module);
    std::string dir = length > 0 && length < sizeof module ? ParentOf(UnixPath(module)) : std::string("/");
    for (int depth = 0; depth < 8 && dir != "/"; ++depth) {
        if (FileExists(WindowsPath(dir + "/tests/peers/run_peer.sh")))
            return dir + "/tests/peers";
        dir = ParentOf(dir);
    }
    return std::string();
}

std::string RawSinkCommand(WORD port, const std::string& unixDir)
{
    return "exec /bin/sh " + ShellQuote(PeersDir() + "/raw_sink.sh") + " " + std::to_string(port) + " " + ShellQuote(unixDir);
}

std::string FaultServerCommand(WORD port, const std::string& unixDir, const std::string& options)
{
    return std::string("exec ") + kPython + " " + ShellQuote(PeersDir() + "/fault_server.py") + " --port " +
           std::to_string(port) + " --dir " + ShellQuote(unixDir) + " " + options;
}

PeerProcess::PeerProcess(const std::string& label)
{
    static LONG counter = 0;
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    std::string base = length > 0 && length < sizeof temp ? std::string(temp) : std::string("C:\\");
    if (base.back() != '\\')
        base += '\\';
    dir = base + "peer-" + label + "-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(InterlockedIncrement(&counter));
    DeleteDirectoryTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    unixDir = UnixPath(dir);
}

PeerProcess::~PeerProcess()
{
    if (started)
        Stop();
    if (GetEnvironmentVariableA("PEER_KEEP_DIRS", nullptr, 0) == 0)
        DeleteDirectoryTree(dir);
}

bool PeerProcess::Start(const std::string& command, WORD readyPort, DWORD lifetimeSeconds)
{
    std::string peers = PeersDir();
    if (unixDir.empty() || peers.empty()) {
        error = "no Unix path for the peer directory or tests/peers";
        return false;
    }
    if (!WriteWholeFile(Path("command.sh"), command + "\n")) {
        error = "cannot write command.sh";
        return false;
    }
    std::string script = "exec /bin/bash " + ShellQuote(peers + "/run_peer.sh");
    if (readyPort)
        script += " --ready-port " + std::to_string(readyPort);
    script += " " + ShellQuote(unixDir) + " " + std::to_string(lifetimeSeconds) + " /bin/sh " +
              ShellQuote(unixDir + "/command.sh") + " >" + ShellQuote(unixDir + "/wrapper.log") + " 2>&1 </dev/null";
    started = StartShell(script, &error);
    return started && WaitFile("pid", 5000);
}

bool PeerProcess::WaitReady(DWORD boundMs)
{
    return WaitFile("ready", boundMs);
}

bool PeerProcess::WaitFile(const std::string& name, DWORD boundMs)
{
    bool found = WaitUntil([&] { return Exists(name); }, boundMs);
    if (!found)
        error = "no " + name + " in " + dir + " after " + std::to_string(boundMs) + " ms; peer.log: " + ReadAll("peer.log");
    return found;
}

bool PeerProcess::WaitFiles(const std::string& prefix, const std::string& suffix, size_t count, DWORD boundMs)
{
    bool found = WaitUntil([&] { return Files(prefix, suffix).size() >= count; }, boundMs);
    if (!found)
        error = std::to_string(Files(prefix, suffix).size()) + " of " + std::to_string(count) + " files " + prefix + "*" +
                suffix + " in " + dir;
    return found;
}

bool PeerProcess::Stop(DWORD boundMs)
{
    if (!started)
        return true;
    Touch("stop");
    bool gone = WaitFile("gone", boundMs);
    started = !gone;
    return gone;
}

std::string PeerProcess::Path(const std::string& name) const
{
    return dir + "\\" + name;
}

void PeerProcess::Touch(const std::string& name) const
{
    WriteWholeFile(Path(name), std::string());
}

bool PeerProcess::Exists(const std::string& name) const
{
    return FileExists(Path(name));
}

std::string PeerProcess::ReadAll(const std::string& name) const
{
    return ReadFileBytes(Path(name));
}

std::vector<std::string> PeerProcess::Files(const std::string& prefix, const std::string& suffix) const
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(Path(prefix + "*" + suffix).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            // FindFirstFile also matches 8.3 names; keep exact matches only.
            if (name.size() >= prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string JsonField(const std::string& json, const std::string& key)
{
    std::string tag = "\"" + key + "\": ";
    size_t at = json.find(tag);
    if (at == std::string::npos || at + tag.size() >= json.size())
        return "";
    at += tag.size();
    if (json[at] == '"')
        return json.substr(at + 1, json.find('"', at + 1) - at - 1);
    size_t end = json[at] == '[' ? json.find(']', at) + 1 : json.find_first_of(",}", at);
    return json.substr(at, end - at);
}

std::string TestPattern(size_t size, unsigned seed)
{
    std::string data(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        data[i] = static_cast<char>((state >> 16) & 0xFF);
    }
    return data;
}

size_t FirstDifference(const std::string& a, const std::string& b)
{
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i)
        if (a[i] != b[i])
            return i;
    return a.size() == b.size() ? std::string::npos : common;
}

sockaddr_in Loopback(WORD port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}
