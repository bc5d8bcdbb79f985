// Administration operations. Adding, configuring and deleting ports arrive
// with the wizard and the configuration dialogs; until then they are refused.
#include "monitor/monitor.h"
#include "monitor/port_ops.h"

BOOL WINAPI AddPort(LPSTR, HWND, LPSTR)
{
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL WINAPI ConfigurePort(LPSTR, HWND, LPSTR)
{
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL WINAPI DeletePort(LPSTR, HWND, LPSTR)
{
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}
