// The library entry of the monitor DLL.
#include <windows.h>
#include <commctrl.h>

#include "monitor/monitor.h"

extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_monitor.instance = instance;
        InitCommonControls();
    }
    return TRUE;
}

// The C runtime's entry calls DllMain; the monitor's entry is DllEntryPoint.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return DllEntryPoint(instance, reason, reserved);
}
