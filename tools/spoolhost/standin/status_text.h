// Spooler job and printer status bits as text ("PRINTING,PAUSED", "OFFLINE").
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>

// Names of the set bits joined by commas, unknown bits as one hex number;
// "-" when no bit is set.
std::string JobStatusText(DWORD status);
std::string PrinterStatusText(DWORD status);
