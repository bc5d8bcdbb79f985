// Decoding of an IPP/1.0 response body: one walk over the attributes,
// keeping the few that decide a job. Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/charset.h"

// One item of the walk; pointers go into the body.
struct IppAttribute {
    int32_t tag;            // value or delimiter tag
    int conversionCode;     // of the response's attributes-charset (UTF-8 until one is seen)
    const uint8_t* name;    // last non-empty name (null before the first)
    uint32_t nameLength;
    const uint8_t* value;
    uint32_t valueLength;
    bool furtherValue;      // name-length 0: a further value of `name`
};

// Takes one item of bytes[0..left): returns the bytes taken (1 or 5 for a
// delimiter), 0 when the item runs past the end.
size_t ReadAttribute(IppAttribute* attribute, const uint8_t* bytes, size_t left);

// The value of an attribute by its tag: integers (0x21-0x23, big-endian) into
// *integer, texts (0x35/0x36 text part, 0x41/0x42 converted by the
// conversion code; 0x44-0x49 copied) into text, bounded by capacity, cut on a
// character boundary and terminated. The text is emptied first; other tags
// give 0 and empty text. Either destination may be null.
void AttributeValue(const IppAttribute& attribute, const OemCodec* codec, char* text, size_t capacity,
                    uint32_t* integer);

// Severity bits.
const uint16_t IPP_SEVERITY_NONE = 0x1;
const uint16_t IPP_SEVERITY_REPORT = 0x2;
const uint16_t IPP_SEVERITY_WARNING = 0x4;
const uint16_t IPP_SEVERITY_ERROR = 0x8;

// Printer status flags (the spooler's values).
const uint32_t PRINTER_FLAG_ERROR = 0x00000002;
const uint32_t PRINTER_FLAG_PAPER_JAM = 0x00000008;
const uint32_t PRINTER_FLAG_PAPER_OUT = 0x00000010;
const uint32_t PRINTER_FLAG_OFFLINE = 0x00000080;
const uint32_t PRINTER_FLAG_OUTPUT_BIN_FULL = 0x00000800;
const uint32_t PRINTER_FLAG_PROCESSING = 0x00004000;
const uint32_t PRINTER_FLAG_TONER_LOW = 0x00020000;
const uint32_t PRINTER_FLAG_NO_TONER = 0x00040000;
const uint32_t PRINTER_FLAG_USER_INTERVENTION = 0x00100000;
const uint32_t PRINTER_FLAG_DOOR_OPEN = 0x00400000;

struct ReasonRow {
    const char* keyword;
    uint32_t flags;
};
// The printer-state-reason table, ending with a row whose keyword is null.
extern const ReasonRow kReasonTable[];
// Longest base keyword looked up; longer ones give 0.
const size_t kReasonKeywordMax = 255;

// Printer status flags of one printer-state-reasons keyword; ORs the
// keyword's severity into *severity. The suffix is split off only when it is
// exactly "report", "warning" or "error"; otherwise the whole keyword is
// looked up. "none" sets IPP_SEVERITY_NONE.
uint32_t ReasonFlags(uint16_t* severity, const char* keyword, size_t length);

// Printer states.
const uint32_t IPP_PRINTER_IDLE = 3;
const uint32_t IPP_PRINTER_PROCESSING = 4;
const uint32_t IPP_PRINTER_STOPPED = 5;

// Size of the make-and-model destination the callers give.
const size_t kIppModelSize = 1024;

// What a response said.
struct IppResponseResult {
    uint32_t errorCode;      // 0, 102 (malformed), 103/104 (state), or the IPP status-code (>= 0x0400)
    uint16_t statusCode;
    uint32_t requestId;
    bool hasPrinterState;
    uint32_t printerState;
    uint32_t accepting;      // printer-is-accepting-jobs; 1 when absent
    bool hasAccepting;
    bool hasJobId;
    uint32_t jobId;
    uint32_t printerStatus;  // OR of the reasons' flags
    uint16_t severityBits;
    int charsetCode;         // attributes-charset's code; UTF-8 when absent or unknown
    bool hasModel;           // printer-make-and-model was written to the destination
};

// Decodes body[0..length). The make-and-model goes to `model` (capacity
// bytes, kIppModelSize normally) when given; the codec converts UTF-8 texts.
void ParseIppResponse(const uint8_t* body, size_t length, const OemCodec* codec, char* model, size_t modelCapacity,
                      IppResponseResult* result);
