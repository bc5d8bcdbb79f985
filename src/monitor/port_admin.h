// Port administration: adding, adopting, configuring, registering and
// deleting ports. AddPort, ConfigurePort and DeletePort are monitor-table
// operations (declared in port_ops.h).
#pragma once

#include "monitor/port_record.h"

// 1 while the add-port wizard is shown, 1 while a configuration dialog is
// shown. Each is claimed and released atomically by the operation that shows
// its dialog; at most one of each runs in the process.
extern volatile LONG g_addDialogOpen;
extern volatile LONG g_configureDialogOpen;

// Makes a port of `protocol` (0 to 3) named `name` from the settings record
// `templ` (as filled by the wizard; NULL or another protocol count as a
// zeroed record), in memory and in the registry. A name already in the port
// list gets no second record. 1 when the port exists in memory and registry
// afterwards; 0 otherwise, with the record made here removed again.
BOOL RegisterNewPort(const SettingsHeader* templ, const char* name, DWORD protocol);

// Takes over the first subkey of the ports key that has no record yet, with
// its stored settings. 1 when a port was taken over; 0 when there was none or
// it could not be read (ERROR_INVALID_PARAMETER when the ports key is missing).
BOOL AdoptRegistryPort();

// A port record outside the port list (NewPortRecord without a type name),
// with a zero-filled settings record of `protocol` and its own copy of
// `name`: the working copy of a configuration dialog, or the temporary record
// of an adoption. NULL when an allocation fails.
PortRecord* NewDetachedPort(const char* name, DWORD protocol);
// Frees a record made by NewDetachedPort (NULL is ignored).
void FreeDetachedPort(PortRecord* port);
