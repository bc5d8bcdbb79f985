// The search command: opens the monitor's print-server search dialog on its
// own (the DLL's SearchPrintServers export), the way the wizard's LPR and Raw
// pages open it, and prints what it lists and what the user chose:
//
//   found 127.0.0.1        00:80:92:00:00:01  NP-5300
//   chosen 127.0.0.1 00:80:92:00:00:01 NP-5300 query port 19541
//
// A watcher thread reads the dialog's list every 100 ms and prints each
// server once, as it appears; with --close-after MS it presses OK after MS
// milliseconds (the first listed server is then chosen, if any). Exit code
// 0 when a server was chosen, 1 when none was, 2 when the dialog could not
// be shown.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "discovery/search_dialog.h"
#include "spoolhost.h"

namespace {

const DWORD kWatchPollMs = 100;

struct SearchWatch {
    DWORD dialogThread;
    DWORD closeAfter; // 0: never
    volatile LONG done;
    std::set<std::string> printed; // MAC addresses
};

BOOL CALLBACK FindSearchDialog(HWND window, LPARAM parameter)
{
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0 && GetDlgItem(window, kSearchListControlId)) {
        *reinterpret_cast<HWND*>(parameter) = window;
        return FALSE;
    }
    return TRUE;
}

std::string Cell(HWND list, int row, int column)
{
    char text[64] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

void PrintNewRows(SearchWatch* watch, HWND dialog)
{
    HWND list = GetDlgItem(dialog, kSearchListControlId);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        std::string mac = Cell(list, row, 1);
        if (mac.empty() || !watch->printed.insert(mac).second)
            continue;
        printf("found %-15s  %s  %s\n", Cell(list, row, 0).c_str(), mac.c_str(), Cell(list, row, 2).c_str());
    }
}

DWORD WINAPI WatchSearch(void* parameter)
{
    SearchWatch* watch = static_cast<SearchWatch*>(parameter);
    const DWORD start = GetTickCount();
    bool closing = false;
    while (!InterlockedCompareExchange(&watch->done, 0, 0)) {
        HWND dialog = nullptr;
        EnumThreadWindows(watch->dialogThread, FindSearchDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog) {
            PrintNewRows(watch, dialog);
            if (watch->closeAfter && !closing && GetTickCount() - start >= watch->closeAfter) {
                PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
                closing = true;
            }
        }
        Sleep(kWatchPollMs);
    }
    return 0;
}

} // namespace

int SearchCommand(const LoadedMonitor& monitor, const std::vector<std::string>& c)
{
    SearchWatch watch;
    watch.dialogThread = GetCurrentThreadId();
    watch.closeAfter = 0;
    watch.done = 0;
    for (size_t i = 1; i < c.size(); ++i) {
        ULONGLONG ms = 0;
        if (c[i] == "--close-after" && i + 1 < c.size() && ParseCount(c[i + 1], &ms) && ms > 0 && ms < 0xFFFFFFFFull) {
            watch.closeAfter = static_cast<DWORD>(ms);
            ++i;
        } else {
            Usage();
            return 2;
        }
    }
    FARPROC proc = GetProcAddress(monitor.module, SEARCH_PRINT_SERVERS_EXPORT);
    SearchPrintServersFn search = nullptr;
    static_assert(sizeof search == sizeof proc, "function pointers");
    memcpy(&search, &proc, sizeof search);
    if (!search) {
        fprintf(stderr, "the monitor has no print-server search (%s)\n", SEARCH_PRINT_SERVERS_EXPORT);
        return 2;
    }
    HANDLE watcher = CreateThread(nullptr, 0, WatchSearch, &watch, 0, nullptr);
    SearchResult chosen = {};
    INT_PTR result = search(nullptr, &chosen);
    InterlockedExchange(&watch.done, 1);
    if (watcher) {
        // Messages the watcher may still send to this thread are handled while it ends.
        while (MsgWaitForMultipleObjects(1, &watcher, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
        }
        CloseHandle(watcher);
    }
    if (result == 1) {
        printf("chosen %s %02X:%02X:%02X:%02X:%02X:%02X %s query port %u\n", chosen.address, chosen.mac[0],
               chosen.mac[1], chosen.mac[2], chosen.mac[3], chosen.mac[4], chosen.mac[5], chosen.model,
               static_cast<unsigned>(chosen.queryPort));
        return 0;
    }
    if (result == 0) {
        printf("no print server chosen\n");
        return 1;
    }
    fprintf(stderr, "the search dialog could not be shown\n");
    return 2;
}
