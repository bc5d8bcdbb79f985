// Building the monitor name and its registry keys from the module file name.
// Pure code: no OS header.
#pragma once

#include <cstddef>

// Registry key under which every monitor keeps its key.
#define MONITORS_KEY "System\\CurrentControlSet\\Control\\Print\\Monitors"
// Appended to the model part of the module file name.
#define MONITOR_NAME_SUFFIX " Network Printer Port"

// Monitor name from the module's full path: the file name after the last
// backslash (searched from the end down to the second character) less its
// last seven characters, followed by MONITOR_NAME_SUFFIX. A file name of seven
// characters or fewer gives an empty model part. No backslash: empty name.
// Returns false (and an empty name) when the result does not fit `size`.
bool BuildMonitorName(const char* modulePath, char* name, size_t size);

// "MONITORS_KEY\<name>" and "MONITORS_KEY\<name>\Ports". Returns false (both
// outputs empty) when either does not fit its buffer.
bool BuildMonitorKeys(const char* monitorName, char* monitorKey, size_t monitorKeySize, char* portsKey, size_t portsKeySize);

// "<portsKey>\<portName>"; false (empty output) when it does not fit.
bool BuildPortKey(const char* portsKey, const char* portName, char* portKey, size_t size);
