// The least a Win32 program under Wine can do to send a file over TCP: read
// it in blocks and hand each block to one blocking send. The benchmark runs it
// beside the monitor's senders as their floor: what is left between this
// program and a native sender is the price of Wine's sockets and files, not of
// the monitor.
//
//   wine_send FILE HOST PORT [--block N] [--spool-first COPY]
//
// --block N           bytes per read and per send (default 65536)
// --spool-first COPY  first write FILE to COPY in blocks of N (as a job is
//                     spooled before it is sent with its size), then send
//                     COPY read back in blocks of 1 MiB; COPY is deleted
//
// Prints "spool_ms SPOOL send_ms SEND bytes COUNT" on success (SPOOL is 0
// without --spool-first); exit 1 on any failure, 2 on bad arguments.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const DWORD kDefaultBlock = 65536;
const DWORD kMaxBlock = 16 * 1024 * 1024;
const DWORD kReplayBlock = 1048576;

struct Arguments {
    const char* file = nullptr;
    const char* host = nullptr;
    unsigned short port = 0;
    DWORD block = kDefaultBlock;
    const char* copy = nullptr;
};

bool ParseArguments(int argc, char** argv, Arguments* a)
{
    if (argc < 4)
        return false;
    a->file = argv[1];
    a->host = argv[2];
    long port = strtol(argv[3], nullptr, 10);
    if (port < 1 || port > 65535)
        return false;
    a->port = static_cast<unsigned short>(port);
    for (int i = 4; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--block") == 0) {
            long block = strtol(argv[i + 1], nullptr, 10);
            if (block < 1 || block > static_cast<long>(kMaxBlock))
                return false;
            a->block = static_cast<DWORD>(block);
        } else if (strcmp(argv[i], "--spool-first") == 0) {
            a->copy = argv[i + 1];
        } else {
            return false;
        }
    }
    return (argc - 4) % 2 == 0;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

SOCKET Connect(const char* host, unsigned short port)
{
    sockaddr_in remote;
    memset(&remote, 0, sizeof remote);
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = inet_addr(host);
    if (remote.sin_addr.s_addr == INADDR_NONE)
        return INVALID_SOCKET;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s != INVALID_SOCKET && connect(s, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
        closesocket(s);
        s = INVALID_SOCKET;
    }
    return s;
}

bool SendBlock(SOCKET s, const BYTE* data, DWORD length)
{
    while (length > 0) {
        int chunk = length > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(length);
        int sent = send(s, reinterpret_cast<const char*>(data), chunk, 0);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<DWORD>(sent);
    }
    return true;
}

// Sends the whole file in blocks of `block` bytes; the count of bytes sent in *total.
bool SendFile(HANDLE file, SOCKET s, BYTE* buffer, DWORD block, ULONGLONG* total)
{
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, block, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        if (!SendBlock(s, buffer, got))
            return false;
        *total += got;
    }
}

// Copies `from` into a new file `path` in blocks; the copy is open for reading from its start.
HANDLE SpoolCopy(HANDLE from, const char* path, BYTE* buffer, DWORD block)
{
    HANDLE copy = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (copy == INVALID_HANDLE_VALUE)
        return copy;
    for (;;) {
        DWORD got = 0, written = 0;
        if (!ReadFile(from, buffer, block, &got, nullptr) || (got > 0 && (!WriteFile(copy, buffer, got, &written, nullptr) || written != got))) {
            CloseHandle(copy);
            return INVALID_HANDLE_VALUE;
        }
        if (got == 0)
            break;
    }
    SetFilePointer(copy, 0, nullptr, FILE_BEGIN);
    return copy;
}

// The peer has everything once it closes after our end of sending.
bool CloseGracefully(SOCKET s)
{
    char scratch[1024];
    bool ok = shutdown(s, SD_SEND) == 0;
    while (ok) {
        int got = recv(s, scratch, sizeof scratch, 0);
        if (got == 0)
            break;
        ok = got > 0;
    }
    closesocket(s);
    return ok;
}

int Run(const Arguments& a)
{
    DWORD size = a.block > kReplayBlock ? a.block : kReplayBlock;
    BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size));
    HANDLE input = CreateFileA(a.file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!buffer || input == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open %s\n", a.file);
        return 1;
    }
    LARGE_INTEGER start, spooled, done;
    QueryPerformanceCounter(&start);
    HANDLE source = input;
    DWORD block = a.block;
    if (a.copy) {
        source = SpoolCopy(input, a.copy, buffer, a.block);
        block = kReplayBlock;
    }
    QueryPerformanceCounter(&spooled);
    ULONGLONG total = 0;
    SOCKET s = source == INVALID_HANDLE_VALUE ? INVALID_SOCKET : Connect(a.host, a.port);
    bool ok = s != INVALID_SOCKET && SendFile(source, s, buffer, block, &total);
    if (s != INVALID_SOCKET)
        ok = CloseGracefully(s) && ok;
    QueryPerformanceCounter(&done);
    if (source != input && source != INVALID_HANDLE_VALUE)
        CloseHandle(source);
    CloseHandle(input);
    HeapFree(GetProcessHeap(), 0, buffer);
    if (!ok) {
        fprintf(stderr, "sending failed\n");
        return 1;
    }
    printf("spool_ms %.1f send_ms %.1f bytes %llu\n", a.copy ? Milliseconds(start, spooled) : 0.0,
           Milliseconds(spooled, done), total);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Arguments arguments;
    if (!ParseArguments(argc, argv, &arguments)) {
        fprintf(stderr, "usage: wine_send FILE HOST PORT [--block N] [--spool-first COPY]\n");
        return 2;
    }
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 1;
    int result = Run(arguments);
    WSACleanup();
    return result;
}
