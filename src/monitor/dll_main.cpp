// The library entry of the monitor DLL.
#include <windows.h>

#include "monitor/monitor.h"

extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID)
{
    // Only the instance is remembered: the entry runs under the loader lock,
    // where window library calls can deadlock (the common controls are
    // registered at the first dialog).
    if (reason == DLL_PROCESS_ATTACH)
        g_monitor.instance = instance;
    return TRUE;
}

// The C runtime's entry calls DllMain; the monitor's entry is DllEntryPoint.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return DllEntryPoint(instance, reason, reserved);
}
