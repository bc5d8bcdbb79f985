// IPP/1.0 request bodies through a bounded writer.
#include "ipp/ipp_request.h"

#include <cstring>

namespace {

const uint32_t kRequestIdLast = 0x7FFFFFFF;

// Header (85 with a 16-character language) + printer-uri (272) + three
// names (280 + 268 + 273) + job group, job-sheets and end (25).
static_assert(8 + 1 + 28 + 32 + kIppLanguageMax + 5 + 11 + kIppUrlMax + 3 * (5 + kIppNameMax) + 20 + 8 + 13 + 1 +
                      23 + 1 <= kIppRequestMax,
              "the body buffer holds the largest request");

void PutKeywordValues(ByteWriter* writer, const char* first, const char* second, const char* third)
{
    PutAttribute(writer, "requested-attributes", IPP_TAG_KEYWORD, first, 0);
    if (second != nullptr)
        PutAttribute(writer, nullptr, IPP_TAG_KEYWORD, second, 0);
    if (third != nullptr)
        PutAttribute(writer, nullptr, IPP_TAG_KEYWORD, third, 0);
}

// Header, printer-uri and (with a user name) requesting-user-name.
void PutCommonAttributes(ByteWriter* writer, uint16_t operation, const IppRequestFields& fields)
{
    PutRequestHeader(writer, operation, fields.requestId, fields.language, IPP_TAG_OPERATION, fields.minorVersion);
    const char* url = fields.url != nullptr ? fields.url : "";
    PutAttribute(writer, "printer-uri", IPP_TAG_URI, url, strnlen(url, kIppUrlMax));
    if (fields.userName != nullptr)
        PutNameAttribute(writer, "requesting-user-name", fields.userName, fields.codec);
}

size_t Finish(const ByteWriter& writer) { return writer.overflow ? 0 : writer.length; }

} // namespace

ByteWriter MakeWriter(uint8_t* data, size_t capacity)
{
    ByteWriter writer = {data, data != nullptr ? capacity : 0, 0, false};
    return writer;
}

void PutBytes(ByteWriter* writer, const void* bytes, size_t length)
{
    if (length == 0)
        return;
    if (writer->overflow || length > writer->capacity - writer->length) {
        writer->overflow = true;
        return;
    }
    memcpy(writer->data + writer->length, bytes, length);
    writer->length += length;
}

void PutByte(ByteWriter* writer, uint8_t value) { PutBytes(writer, &value, 1); }

void PutUint16(ByteWriter* writer, uint16_t value)
{
    const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    PutBytes(writer, bytes, sizeof bytes);
}

void PutUint32(ByteWriter* writer, uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    PutBytes(writer, bytes, sizeof bytes);
}

uint32_t ValidRequestId(uint32_t counter) { return counter >= 1 && counter <= kRequestIdLast ? counter : 1; }

uint32_t NextRequestId(uint32_t id) { return id >= 1 && id < kRequestIdLast ? id + 1 : 1; }

size_t PutRequestHeader(ByteWriter* writer, uint16_t operation, uint32_t requestId, const char* language,
                        uint8_t groupTag, uint8_t minorVersion)
{
    const size_t start = writer->length;
    PutByte(writer, 1); // version 1.0, or 1.1
    PutByte(writer, minorVersion == 1 ? 1 : 0);
    PutUint16(writer, operation);
    PutUint32(writer, requestId);
    PutByte(writer, groupTag);
    PutAttribute(writer, "attributes-charset", IPP_TAG_CHARSET, "utf-8", 0);
    // A natural language has at least one character: an empty setting is sent as "en".
    const char* text = language != nullptr && language[0] != '\0' ? language : "en";
    PutAttribute(writer, "attributes-natural-language", IPP_TAG_LANGUAGE, text, strnlen(text, kIppLanguageMax));
    return writer->length - start;
}

size_t PutAttribute(ByteWriter* writer, const char* name, uint8_t tag, const void* value, size_t valueLength)
{
    const size_t start = writer->length;
    const size_t nameLength = name != nullptr ? strlen(name) : 0;
    if (value == nullptr)
        valueLength = 0;
    else if (valueLength == 0 && tag != IPP_TAG_NAME)
        valueLength = strlen(static_cast<const char*>(value));
    // A length field holds 16 bits: anything longer would not match the
    // bytes behind it, and no request value comes near it.
    if (nameLength > 0xFFFF || valueLength > 0xFFFF) {
        writer->overflow = true;
        return 0;
    }
    PutByte(writer, tag);
    PutUint16(writer, static_cast<uint16_t>(nameLength));
    PutBytes(writer, name, nameLength);
    PutUint16(writer, static_cast<uint16_t>(valueLength));
    PutBytes(writer, value, valueLength);
    return writer->length - start;
}

size_t PutNameAttribute(ByteWriter* writer, const char* name, const char* oemText, const OemCodec* codec)
{
    char utf8[kIppNameMax + 1];
    const size_t length = OemToUtf8(utf8, sizeof utf8, oemText, CHARSET_UTF8, codec);
    const size_t written = PutAttribute(writer, name, IPP_TAG_NAME, utf8, length);
    memset(utf8, 0, sizeof utf8);
    return written;
}

size_t EncodeGetPrinterAttributes(uint8_t* out, size_t capacity, const IppRequestFields& fields, int kind)
{
    ByteWriter writer = MakeWriter(out, capacity);
    PutCommonAttributes(&writer, IPP_OP_GET_PRINTER_ATTRIBUTES, fields);
    if (kind == IPP_QUERY_MODEL)
        PutKeywordValues(&writer, "printer-make-and-model", nullptr, nullptr);
    else if (kind == IPP_QUERY_CHECK)
        PutKeywordValues(&writer, "printer-state", "printer-state-reasons", "printer-is-accepting-jobs");
    else if (kind == IPP_QUERY_STATUS)
        PutKeywordValues(&writer, "printer-state", "printer-state-reasons", nullptr);
    PutByte(&writer, IPP_TAG_END);
    return Finish(writer);
}

size_t EncodePrintJob(uint8_t* out, size_t capacity, const IppRequestFields& fields)
{
    ByteWriter writer = MakeWriter(out, capacity);
    PutCommonAttributes(&writer, IPP_OP_PRINT_JOB, fields);
    if (fields.documentName != nullptr) {
        PutNameAttribute(&writer, "job-name", fields.documentName, fields.codec);
        PutNameAttribute(&writer, "document-name", fields.documentName, fields.codec);
    }
    PutByte(&writer, IPP_TAG_JOB);
    if (fields.jobSheets)
        PutAttribute(&writer, "job-sheets", IPP_TAG_KEYWORD, "standard", 0);
    PutByte(&writer, IPP_TAG_END);
    return Finish(writer);
}
