// Writing a configuration sheet's working copy to the port key.
#include "ui/config/sheet_store.h"

#include <cstring>

#include "monitor/config_store.h"

HKEY OpenPortKeyForWriting(const char* name)
{
    if (!name || !name[0] || strchr(name, '\\'))
        return nullptr;
    HKEY ports = OpenPortsKey(KEY_READ);
    if (!ports)
        return nullptr;
    HKEY key = nullptr;
    if (RegOpenKeyExA(ports, name, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        key = nullptr;
    RegCloseKey(ports);
    return key;
}

bool WriteSheetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size)
{
    return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool WriteSheetDword(HKEY key, const char* name, DWORD value)
{
    return WriteSheetValue(key, name, REG_DWORD, &value, sizeof value);
}
