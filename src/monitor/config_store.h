// The registry store of port settings.
#pragma once

#include "monitor/monitor.h"
#include "monitor/port_record.h"

// Reads the port's values into the record and its settings record.
// Returns 0, or the registry error of opening the port key (nothing read).
// When the stored PrintMode (0 to 3) names another protocol than the one of
// the record's settings, the settings record is replaced by a fresh one of the
// stored protocol (port->settings must be NULL or made by NewSettingsRecord);
// ERROR_NOT_ENOUGH_MEMORY when that fails (record and settings unchanged).
// A stored PrintMode above 3 leaves the record's protocol and settings as
// they were. A port name that is empty, holds a backslash or does not fit the
// port key gives ERROR_INVALID_NAME.
LONG ReadPortSettings(PortRecord* port, const char* portName);

// Reads the port's stored UserName and PassWord (unscrambled) into `ipp`
// even when Base64 is 0, for an editor that must not lose them; the fields
// are emptied first. Returns 0, or the registry error of opening the port
// key (fields unchanged); ERROR_INVALID_NAME as ReadPortSettings.
LONG ReadStoredIppCredentials(IppSettings* ipp, const char* portName);

// Creates the port key with the values of a new port of `protocol`, taking the
// wizard's values from `templ` (which may be NULL for a zeroed record; a
// template of another protocol counts as zeroed too). An existing key is left
// untouched. Returns 1, or 0 when the key cannot be created.
BOOL WriteNewPortSettings(const SettingsHeader* templ, const char* portName, DWORD protocol);

// "<ports key>\<port name>": the ports key (at most kMonitorKeySize), a
// backslash and a key name of at most 255 characters.
const size_t kPortKeySize = kMonitorKeySize + 257;
// The port key of a port name that can be a single key name (not empty, no
// backslash) into `portKey` (empty on failure); false when there is none or
// it does not fit.
bool MakePortKey(const char* portName, char* portKey, size_t size);

// A port key name: at most 255 characters (the registry's limit) and the terminator.
const DWORD kPortKeyNameSize = 256;

// The ports key opened with `access`; NULL when there is none (or the
// monitor has no identity).
HKEY OpenPortsKey(REGSAM access);
// Walks the subkey names of the open ports key in registry order (a name
// that cannot be read is passed over; at most 100000 indices) until
// `stop(name, context)` is true: that name is then in `name` (of `size`
// bytes) and the result is true. False when the walk reached the end.
bool FindPortSubkey(HKEY ports, bool (*stop)(const char* name, void* context), void* context, char* name, DWORD size);

// Deletes the port key below the ports key: the registry's result, or
// ERROR_FILE_NOT_FOUND for a name that cannot be a single key name (or
// without a ports key). DeletePortSettings: 1 when deleted.
LONG DeletePortKey(const char* portName);
BOOL DeletePortSettings(const char* portName);

// One value of root\subkey (opened with KEY_ALL_ACCESS); 1 on success.
// As RegQueryValueExA: *size holds the size of `data` on entry and the size of
// the value on return (also when it does not fit); `data` may be NULL to ask
// for the size, and `type` may be NULL. At most *size bytes are written to
// `data`, and nothing unless the call succeeds. Texts come back as stored:
// they need not be NUL-terminated.
BOOL QueryRegValue(HKEY root, const char* subkey, const char* valueName, void* data, DWORD* size, DWORD* type);
// Sets one value of HKEY_LOCAL_MACHINE\subkey; 1 on success.
BOOL SetRegValue(const char* subkey, const char* valueName, const void* data, const DWORD* size, const DWORD* type);

// REG_DWORD helpers on an open key.
void SetDwordValue(HKEY key, const char* valueName, DWORD value);
// Reads a REG_DWORD of 4 bytes into *field; the field is unchanged (FALSE)
// when the value is absent or of another type or size.
BOOL QueryDwordValue(HKEY key, const char* valueName, DWORD* field);
// Reads a text value of `type` (REG_SZ or REG_BINARY) into `field` of
// `fieldSize` bytes (the read size); the field stays NUL-terminated and is
// unchanged (FALSE) when the value is absent, of another type, or longer.
// A stored text ends at its first zero byte; one that fills the whole read
// size without a zero byte leaves no room for the terminator and is refused.
BOOL QueryTextValue(HKEY key, const char* valueName, DWORD type, char* field, DWORD fieldSize);
