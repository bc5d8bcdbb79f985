// Splitting the printer URL held in an IPP settings record.
#include "ipp/printer_url_record.h"

#include <cstring>

#include "ipp/printer_url.h"

static_assert(sizeof(IppSettings::host) == kUrlHostSize, "host field size");
static_assert(sizeof(IppSettings::path) == kUrlPathSize, "path field size");

int ParsePrinterUrl(IppSettings* settings)
{
    // The record's URL is normally terminated; a bounded copy makes sure the
    // parser never reads past the field when it is not.
    char url[sizeof settings->url];
    memcpy(url, settings->url, sizeof url);
    url[sizeof url - 1] = '\0';

    uint32_t port = settings->port;
    int usable = ParsePrinterUrlText(url, settings->host, settings->path, &port);
    settings->port = port;
    settings->transportIndex = 0;
    return usable;
}
