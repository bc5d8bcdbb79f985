// The broadcast-address list in "Dwlmon.ini" of the installation directory
// (Parts 6.1, 6.3): read by every search, written by the settings dialog.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "discovery/broadcast_list.h"

struct BroadcastList {
    uint32_t addresses[kBroadcastListMax]; // first octet most significant
    size_t count;
};

// The path of Dwlmon.ini (CataloguePath); false, with an empty path, when
// the monitor key names no installation directory.
bool BroadcastListPath(char* path, DWORD size);

// UDPCount (0..16, see ParseUdpCount) and that many UDPnn values (see
// ParseUdpAddress: unreadable or missing ones count as 0). Empty when there
// is no file or no installation directory.
void LoadBroadcastList(BroadcastList* list);

// Writes `count` addresses as the settings dialog's OK does: UDPCount as
// decimal text (deleted for an empty list), UDP00.. for each address, and
// every further key up to the old count (clamped to 100) deleted. False when
// there is no installation directory or a write failed.
bool SaveBroadcastList(const uint32_t* addresses, size_t count);
