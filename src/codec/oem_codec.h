// The system OEM code page step of the text conversions (the one file of
// src/codec that calls the OS).
#pragma once

#include "codec/charset.h"

// Conversions between the OEM code page (GetOEMCP) and UTF-16.
const OemCodec* SystemOemCodec();
