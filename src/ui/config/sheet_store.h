// Writing a configuration sheet's working copy to the port key: the key
// opened for writing and the single value writes the sheets' save functions
// share.
#pragma once

#include <windows.h>

// The port key opened for writing below the ports key (opened as two steps:
// a long path in one piece can be refused); NULL when it is missing or the
// name cannot be a single key name.
HKEY OpenPortKeyForWriting(const char* name);

// One value; false when it could not be written.
bool WriteSheetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size);
bool WriteSheetDword(HKEY key, const char* name, DWORD value);
