// IPP/1.0 request bodies (Get-Printer-Attributes, Print-Job) in the binary
// encoding, written through a bounded writer. Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/charset.h"

// Bounded writer over a caller's buffer: writes past the capacity are
// dropped and mark the writer as overflowed.
struct ByteWriter {
    uint8_t* data;
    size_t capacity;
    size_t length;
    bool overflow;
};

ByteWriter MakeWriter(uint8_t* data, size_t capacity);
void PutByte(ByteWriter* writer, uint8_t value);
void PutUint16(ByteWriter* writer, uint16_t value); // big-endian
void PutUint32(ByteWriter* writer, uint32_t value); // big-endian
void PutBytes(ByteWriter* writer, const void* bytes, size_t length);

// Operation ids, tags.
const uint16_t IPP_OP_PRINT_JOB = 0x0002;
const uint16_t IPP_OP_GET_PRINTER_ATTRIBUTES = 0x000B;
const uint8_t IPP_TAG_OPERATION = 0x01;
const uint8_t IPP_TAG_JOB = 0x02;
const uint8_t IPP_TAG_END = 0x03;
const uint8_t IPP_TAG_INTEGER = 0x21;
const uint8_t IPP_TAG_BOOLEAN = 0x22;
const uint8_t IPP_TAG_ENUM = 0x23;
const uint8_t IPP_TAG_TEXT_LANG = 0x35;
const uint8_t IPP_TAG_NAME_LANG = 0x36;
const uint8_t IPP_TAG_TEXT = 0x41;
const uint8_t IPP_TAG_NAME = 0x42;
const uint8_t IPP_TAG_KEYWORD = 0x44;
const uint8_t IPP_TAG_URI = 0x45;
const uint8_t IPP_TAG_CHARSET = 0x47;
const uint8_t IPP_TAG_LANGUAGE = 0x48;
const uint8_t IPP_TAG_MIME = 0x49;
const uint8_t IPP_TAG_EXTENSION = 0x7F;

// Longest values put into a request.
const size_t kIppNameMax = 255;     // octets of a name value (UTF-8)
const size_t kIppUrlMax = 256;      // printer-uri
const size_t kIppLanguageMax = 16;  // attributes-natural-language

// Query kinds of Get-Printer-Attributes.
enum IppQueryKind : int {
    IPP_QUERY_MODEL = 0,  // connection test: printer-make-and-model
    IPP_QUERY_CHECK = 1,  // before a job: state, reasons, accepting
    IPP_QUERY_STATUS = 2, // status watcher: state, reasons
};

// Largest body either request can reach with the limits above; a body
// buffer of this size never overflows.
const size_t kIppRequestMax = 1280;

// The request counter. A request takes the counter's value as its id (a value
// outside 1..0x7FFFFFFF is taken as 1) and leaves NextRequestId of that id in
// the counter. Shared counters advance with a compare-and-exchange loop:
//   do { old = counter; id = ValidRequestId(old); }
//   while (InterlockedCompareExchange(&counter, NextRequestId(id), old) != old);
uint32_t ValidRequestId(uint32_t counter);
// id + 1, wrapping from 0x7FFFFFFF to 1.
uint32_t NextRequestId(uint32_t id);

// What a request carries.
struct IppRequestFields {
    uint32_t requestId;
    const char* language;     // attributes-natural-language (cut to 16; empty: "en")
    const char* url;          // printer-uri as stored (cut to 256)
    const char* userName;     // OEM text or null: requesting-user-name
    const char* documentName; // OEM text or null: job-name and document-name
    bool jobSheets;           // Print-Job asks for job-sheets "standard"
    const OemCodec* codec;    // OEM -> UTF-16 step for the names
    uint8_t minorVersion;     // 0 (IPP/1.0), or 1 for a printer that refuses 1.0
};

// Version 1.minorVersion, operation, request id, the group tag,
// attributes-charset "utf-8" and attributes-natural-language. Returns the
// bytes written.
size_t PutRequestHeader(ByteWriter* writer, uint16_t operation, uint32_t requestId, const char* language,
                        uint8_t groupTag, uint8_t minorVersion = 0);

// One attribute: value tag, name-length, name (none: a further value of the
// attribute before), value-length and value. valueLength 0 takes the value's
// text length, except for a name (tag 0x42), whose bytes are taken by the
// given length only: a name of length 0 is sent empty. Returns the bytes
// written (0 for a value longer than a length field holds).
size_t PutAttribute(ByteWriter* writer, const char* name, uint8_t tag, const void* value, size_t valueLength);

// A nameWithoutLanguage attribute whose value is the OEM text converted to
// UTF-8 and cut to 255 octets on a character boundary; a conversion that
// fails sends an empty value.
size_t PutNameAttribute(ByteWriter* writer, const char* name, const char* oemText, const OemCodec* codec);

// Whole request bodies, ending with the end-of-attributes tag. Return the
// body length, 0 when the buffer was too small (never with kIppRequestMax).
size_t EncodeGetPrinterAttributes(uint8_t* out, size_t capacity, const IppRequestFields& fields, int kind);
size_t EncodePrintJob(uint8_t* out, size_t capacity, const IppRequestFields& fields);
