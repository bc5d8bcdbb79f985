// The system's OEM code page step of the IPP text conversions.
#pragma once

#include "ipp/charset.h"

// Conversions between the OEM code page (GetOEMCP) and UTF-16.
const OemCodec* SystemOemCodec();
