// Splitting a printer URL ("http://" or "ipp://") into host, port and path.
// Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

const size_t kUrlHostSize = 65; // 64 characters and terminator
const size_t kUrlPathSize = 257; // any path of a 256-character URL
const uint32_t kUrlPortMax = 65535;

// Fills host (kUrlHostSize bytes), path (kUrlPathSize bytes) and port as far
// as the parse gets. Returns 1 when the URL is usable, 0 when not (other
// scheme, empty host, host and ":port" longer than 64 characters, port zero,
// above 65535 or not a number, path longer than 256, a blank or control
// character in host or path).
int ParsePrinterUrlText(const char* url, char* host, char* path, uint32_t* port);
