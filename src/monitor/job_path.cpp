// Job operations. Printing arrives with the job path; until then a port
// refuses to start a document.
#include "monitor/monitor.h"
#include "monitor/port_ops.h"

BOOL WINAPI StartDocPort(HANDLE, LPSTR, DWORD, DWORD, LPBYTE)
{
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL WINAPI WritePort(HANDLE, LPBYTE, DWORD, LPDWORD written)
{
    if (written)
        *written = 0;
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL WINAPI EndDocPort(HANDLE)
{
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}
