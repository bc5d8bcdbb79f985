// The product's model field and every fixed text derived from it.
#pragma once

// Build-time model field: exactly 16 characters. Override with -DMONITOR_MODEL="...".
#ifndef MONITOR_MODEL
#define MONITOR_MODEL "MV-DRT0000000000"
#endif

static_assert(sizeof(MONITOR_MODEL) - 1 == 16, "the model field must be 16 characters");

#define PRODUCT_DESCRIPTOR MONITOR_MODEL " Network Printer"
#define PRODUCT_PORT_TEXT PRODUCT_DESCRIPTOR " Port"
// Caption of start-up and catalogue message boxes when no catalogue supplies one:
// the product descriptor followed by the Japanese for "error message" in code page 932.
#define PRODUCT_ERROR_CAPTION PRODUCT_DESCRIPTOR " \x83\x47\x83\x89\x81\x5B\x83\x81\x83\x62\x83\x5A\x81\x5B\x83\x57"
