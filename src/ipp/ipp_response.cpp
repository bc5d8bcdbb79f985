// Decoding of an IPP/1.0 response body.
#include "ipp/ipp_response.h"

#include <cstring>

#include "ipp/ipp_policy.h"
#include "ipp/ipp_request.h"

const ReasonRow kReasonTable[] = {
    {"other", PRINTER_FLAG_ERROR},
    {"media-needed", PRINTER_FLAG_PAPER_OUT},
    {"media-jam", PRINTER_FLAG_PAPER_JAM},
    {"paused", PRINTER_FLAG_OFFLINE},
    {"shutdown", PRINTER_FLAG_ERROR},
    {"connecting-to-device", 0},
    {"timed-out", PRINTER_FLAG_ERROR},
    {"stopping", PRINTER_FLAG_USER_INTERVENTION},
    {"stopped-partly", 0},
    {"toner-low", PRINTER_FLAG_TONER_LOW},
    {"toner-empty", PRINTER_FLAG_NO_TONER},
    {"spool-area-full", 0},
    {"cover-open", PRINTER_FLAG_DOOR_OPEN},
    {"interlock-open", PRINTER_FLAG_ERROR},
    {"door-open", PRINTER_FLAG_DOOR_OPEN},
    {"input-tray-missing", PRINTER_FLAG_ERROR},
    {"media-low", 0},
    {"media-empty", PRINTER_FLAG_PAPER_OUT},
    {"output-tray-missing", PRINTER_FLAG_ERROR},
    {"output-area-almost-full", 0},
    {"output-area-full", PRINTER_FLAG_OUTPUT_BIN_FULL},
    {"marker-supply-low", 0},
    {"marker-supply-empty", PRINTER_FLAG_ERROR},
    {"marker-waste-almost-full", 0},
    {"marker-waste-full", PRINTER_FLAG_ERROR},
    {"fuser-over-temp", PRINTER_FLAG_ERROR},
    {"fuser-under-temp", PRINTER_FLAG_ERROR},
    {"opc-near-eol", 0},
    {"opc-life-over", 0},
    {"developer-low", 0},
    {"developer-empty", 0},
    {"interpreter-resource-unavailable", 0},
    {nullptr, 0},
};

namespace {

const size_t kCharsetTextSize = 64;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(const char* text, size_t length, const char* other)
{
    if (strlen(other) != length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (Lower(text[i]) != Lower(other[i]))
            return false;
    return true;
}

bool Equals(const char* text, size_t length, const char* other)
{
    return strlen(other) == length && memcmp(text, other, length) == 0;
}

uint32_t BigEndian(const uint8_t* bytes, size_t length)
{
    uint32_t value = 0;
    for (size_t i = 0; i < length; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

bool NameIs(const IppAttribute& attribute, const char* name)
{
    return EqualsIgnoringCase(reinterpret_cast<const char*>(attribute.name), attribute.nameLength, name);
}

// The text part of a textWithLanguage / nameWithLanguage value; false when
// its lengths do not fit the value.
bool TextOfLanguageValue(const IppAttribute& attribute, const uint8_t** text, size_t* length)
{
    const uint8_t* value = attribute.value;
    const size_t total = attribute.valueLength;
    if (total < 4)
        return false;
    const size_t languageLength = BigEndian(value, 2);
    if (languageLength > total - 4)
        return false;
    const size_t textLength = BigEndian(value + 2 + languageLength, 2);
    if (textLength > total - 4 - languageLength)
        return false;
    *text = value + 4 + languageLength;
    *length = textLength;
    return true;
}

// Plain copy of a keyword-like value, bounded and terminated.
void CopyText(char* out, size_t capacity, const uint8_t* bytes, size_t length)
{
    const size_t n = Utf8Boundary(reinterpret_cast<const char*>(bytes), length, capacity - 1);
    if (n > 0)
        memcpy(out, bytes, n);
    out[n] = '\0';
}

bool IsStringTag(int32_t tag) { return tag == IPP_TAG_TEXT || tag == IPP_TAG_NAME || (tag >= 0x44 && tag <= 0x49); }

void TakeCharset(const IppAttribute& attribute, IppResponseResult* result)
{
    char text[kCharsetTextSize];
    AttributeValue(attribute, nullptr, text, sizeof text, nullptr);
    const int code = CharsetCodeOf(text, strlen(text));
    result->charsetCode = code >= 0 ? code : CHARSET_UTF8;
}

void TakePrinterState(const IppAttribute& attribute, IppResponseResult* result)
{
    if (attribute.tag != IPP_TAG_ENUM || attribute.valueLength != 4)
        return;
    result->hasPrinterState = true;
    result->printerState = BigEndian(attribute.value, 4);
    if (result->printerState == IPP_PRINTER_IDLE)
        result->errorCode = 0;
    else if (result->printerState == IPP_PRINTER_PROCESSING)
        result->errorCode = ERR_IPP_PRINTER_NOT_READY;
    else if (result->printerState == IPP_PRINTER_STOPPED)
        result->errorCode = ERR_IPP_PRINTER_STOPPED;
}

// One value of a walk, by the attribute's name.
void TakeValue(const IppAttribute& attribute, const OemCodec* codec, char* model, size_t modelCapacity,
               IppResponseResult* result)
{
    if (attribute.name == nullptr)
        return; // a further value with no attribute before it
    if (NameIs(attribute, "attributes-charset") && !attribute.furtherValue) {
        TakeCharset(attribute, result);
    } else if (NameIs(attribute, "printer-is-accepting-jobs")) {
        if (attribute.tag == IPP_TAG_BOOLEAN && attribute.valueLength == 1) {
            result->hasAccepting = true;
            result->accepting = attribute.value[0] != 0 ? 1 : 0;
        }
    } else if (NameIs(attribute, "printer-state")) {
        TakePrinterState(attribute, result);
    } else if (NameIs(attribute, "printer-state-reasons")) {
        if (IsStringTag(attribute.tag))
            result->printerStatus |= ReasonFlags(&result->severityBits,
                                                 reinterpret_cast<const char*>(attribute.value), attribute.valueLength);
    } else if (NameIs(attribute, "job-id")) {
        if (attribute.tag == IPP_TAG_INTEGER && attribute.valueLength == 4) {
            result->hasJobId = true;
            result->jobId = BigEndian(attribute.value, 4);
        }
    } else if (NameIs(attribute, "printer-make-and-model") && !attribute.furtherValue) {
        if (model != nullptr && modelCapacity > 0) {
            AttributeValue(attribute, codec, model, modelCapacity, nullptr);
            result->hasModel = true;
        }
    }
}

} // namespace

size_t ReadAttribute(IppAttribute* attribute, const uint8_t* bytes, size_t left)
{
    if (left == 0)
        return 0;
    size_t taken = 1;
    int32_t tag = bytes[0];
    if (tag == IPP_TAG_EXTENSION) {
        if (left < 5)
            return 0;
        tag = static_cast<int32_t>(BigEndian(bytes + 1, 4) & 0x7FFFFFFF);
        taken = 5;
    }
    attribute->tag = tag;
    attribute->value = nullptr;
    attribute->valueLength = 0;
    if (tag < 0x10) {
        // A value after a delimiter needs a name of its own.
        attribute->name = nullptr;
        attribute->nameLength = 0;
        return taken;
    }
    if (left - taken < 2)
        return 0;
    const uint32_t nameLength = BigEndian(bytes + taken, 2);
    taken += 2;
    if (nameLength > left - taken)
        return 0;
    attribute->furtherValue = nameLength == 0;
    if (nameLength != 0) {
        attribute->name = bytes + taken;
        attribute->nameLength = nameLength;
    }
    taken += nameLength;
    if (left - taken < 2)
        return 0;
    const uint32_t valueLength = BigEndian(bytes + taken, 2);
    taken += 2;
    if (valueLength > left - taken)
        return 0;
    attribute->value = bytes + taken;
    attribute->valueLength = valueLength;
    return taken + valueLength;
}

void AttributeValue(const IppAttribute& attribute, const OemCodec* codec, char* text, size_t capacity,
                    uint32_t* integer)
{
    if (text == nullptr)
        capacity = 0;
    if (capacity > 0)
        text[0] = '\0';
    if (integer != nullptr)
        *integer = 0;
    const int32_t tag = attribute.tag;
    if (tag >= IPP_TAG_INTEGER && tag <= IPP_TAG_ENUM) {
        if (integer != nullptr)
            *integer = BigEndian(attribute.value, attribute.valueLength);
    } else if (tag == IPP_TAG_TEXT_LANG || tag == IPP_TAG_NAME_LANG) {
        const uint8_t* part = nullptr;
        size_t length = 0;
        if (capacity > 0 && TextOfLanguageValue(attribute, &part, &length))
            Utf8ToOem(text, capacity, part, length, attribute.conversionCode, codec);
    } else if (tag == IPP_TAG_TEXT || tag == IPP_TAG_NAME) {
        if (capacity > 0)
            Utf8ToOem(text, capacity, attribute.value, attribute.valueLength, attribute.conversionCode, codec);
    } else if (tag >= IPP_TAG_KEYWORD && tag <= IPP_TAG_MIME) {
        if (capacity > 0)
            CopyText(text, capacity, attribute.value, attribute.valueLength);
    }
}

uint32_t ReasonFlags(uint16_t* severity, const char* keyword, size_t length)
{
    if (keyword == nullptr || length == 0)
        return 0;
    if (EqualsIgnoringCase(keyword, length, "none")) {
        *severity = static_cast<uint16_t>(*severity | IPP_SEVERITY_NONE);
        return 0;
    }
    size_t base = length;
    for (size_t i = length - 1; i > 0; --i) {
        if (keyword[i] != '-')
            continue;
        const char* suffix = keyword + i + 1;
        const size_t suffixLength = length - i - 1;
        uint16_t bit = 0;
        if (Equals(suffix, suffixLength, "report"))
            bit = IPP_SEVERITY_REPORT;
        else if (Equals(suffix, suffixLength, "warning"))
            bit = IPP_SEVERITY_WARNING;
        else if (Equals(suffix, suffixLength, "error"))
            bit = IPP_SEVERITY_ERROR;
        if (bit != 0) {
            *severity = static_cast<uint16_t>(*severity | bit);
            base = i;
        }
        break; // only the last "-" can start a suffix
    }
    if (base > kReasonKeywordMax)
        return 0;
    for (const ReasonRow* row = kReasonTable; row->keyword != nullptr; ++row)
        if (EqualsIgnoringCase(keyword, base, row->keyword))
            return row->flags;
    return 0;
}

void ParseIppResponse(const uint8_t* body, size_t length, const OemCodec* codec, char* model, size_t modelCapacity,
                      IppResponseResult* result)
{
    *result = IppResponseResult{};
    result->accepting = 1; // absent means accepting
    result->charsetCode = CHARSET_UTF8;
    if (body == nullptr || length < 8) {
        result->errorCode = ERR_IPP_SEND;
        return;
    }
    result->statusCode = static_cast<uint16_t>(BigEndian(body + 2, 2));
    result->requestId = BigEndian(body + 4, 4);
    result->errorCode = IppStatusError(result->statusCode);
    if (result->errorCode != 0)
        return;

    IppAttribute attribute = {};
    for (size_t at = 8; at < length;) {
        const size_t taken = ReadAttribute(&attribute, body + at, length - at);
        if (taken == 0) {
            result->errorCode = ERR_IPP_SEND; // results so far stay
            return;
        }
        at += taken;
        if (attribute.tag == IPP_TAG_END)
            return;
        if (attribute.tag < 0x10)
            continue;
        attribute.conversionCode = result->charsetCode;
        TakeValue(attribute, codec, model, modelCapacity, result);
    }
}
