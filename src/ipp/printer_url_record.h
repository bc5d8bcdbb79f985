// Splitting the printer URL held in an IPP settings record.
#pragma once

#include "monitor/port_record.h"

// Splits settings->url into host, path and port (as far as the parse gets)
// and selects the plain TCP transport (index 0). Returns 1 when the URL is
// usable, 0 when not.
int ParsePrinterUrl(IppSettings* settings);
