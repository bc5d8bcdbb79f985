// Decoding IPP responses, and what their codes mean for a job.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_oem_codec.h"
#include "ipp/ipp_policy.h"
#include "ipp/ipp_request.h"
#include "ipp/ipp_response.h"

namespace {

std::string Attr(uint8_t tag, const std::string& name, const std::string& value)
{
    return std::string{static_cast<char>(tag), static_cast<char>(name.size() >> 8),
                       static_cast<char>(name.size() & 0xFF)} +
           name + static_cast<char>(value.size() >> 8) + static_cast<char>(value.size() & 0xFF) + value;
}

std::string Response(uint16_t status, const std::string& attributes, bool end = true)
{
    return std::string{1, 0, static_cast<char>(status >> 8), static_cast<char>(status & 0xFF), 0, 0, 0, 9, 1} +
           Attr(0x47, "attributes-charset", "utf-8") + attributes + (end ? "\x03" : "");
}

std::string Enum(uint32_t v) { return std::string{0, 0, 0, static_cast<char>(v)}; }
std::string Reason(const std::string& keyword, bool further = false)
{
    return Attr(0x44, further ? "" : "printer-state-reasons", keyword);
}

struct Decoded {
    IppResponseResult result;
    std::string model;
};

Decoded Decode(const std::string& body, size_t modelCapacity = kIppModelSize)
{
    Decoded d;
    std::string model(modelCapacity + 1, 'Z');
    ParseIppResponse(reinterpret_cast<const uint8_t*>(body.data()), body.size(), &kFakeCodec, &model[0],
                     modelCapacity, &d.result);
    EXPECT_EQ('Z', model[modelCapacity]);
    d.model = d.result.hasModel ? model.c_str() : "-";
    return d;
}

} // namespace

TEST(IppResponseTest, StatusStateAndReasons)
{
    const std::string state3 = Attr(0x23, "printer-state", Enum(3)), reasons = Reason("toner-low-report") +
                                                                              Reason("cover-open-warning", true);
    const struct {
        std::string body;
        uint32_t error, status, accepting;
        uint16_t severity;
    } cases[] = {
        {Response(0x0000, state3 + reasons), 0, 0x00420000, 1, 0x6},
        {Response(0x0002, Attr(0x23, "printer-state", Enum(4)) + Reason("none")), 103, 0, 1, 0x1},
        {Response(0x0000, Attr(0x23, "Printer-State", Enum(5)) + Reason("paused") + Reason("media-jam-error", true)),
         104, 0x88, 1, 0x8},
        {Response(0x0000, Attr(0x23, "printer-state", Enum(9))), 0, 0, 1, 0}, // unknown state leaves the code
        {Response(0x0000, Attr(0x21, "printer-state", Enum(5))), 0, 0, 1, 0}, // not an enum
        // Reasons: a suffix counts only when it is one of the three, exactly.
        {Response(0x0000, Reason("media-jam") + Reason("media-needed-Error", true)), 0, 0x8, 1, 0},
        {Response(0x0000, Reason("MEDIA-EMPTY-error") + Reason("-error", true) + Reason("x-report", true)), 0, 0x10,
         1, 0xA},
        {Response(0x0000, Reason(std::string(256, 'a') + "-error") + Reason(std::string(300, 'b'))), 0, 0, 1, 0x8},
        // A further value with no attribute before it is skipped.
        {Response(0x0000, "\x02" + Reason("door-open", true)), 0, 0, 1, 0},
        // printer-is-accepting-jobs only as a one-byte boolean.
        {Response(0x0000, Attr(0x22, "printer-is-accepting-jobs", std::string(1, '\0'))), 0, 0, 0, 0},
        {Response(0x0000, Attr(0x21, "printer-is-accepting-jobs", Enum(0))), 0, 0, 1, 0},
        {Response(0x0000, Attr(0x22, "printer-is-accepting-jobs", std::string(2, '\0'))), 0, 0, 1, 0},
        // Status codes: 0x0100-0x03FF are unusable, from 0x0400 the code itself;
        // nothing of the attributes is kept.
        {Response(0x00FF, state3), 0, 0, 1, 0},
        {Response(0x0100, state3 + reasons), 102, 0, 1, 0},
        {Response(0x0400, Attr(0x23, "printer-state", Enum(5)) + reasons), 0x0400, 0, 1, 0},
        {Response(0x0507, ""), 0x0507, 0, 1, 0},
        // A body cut inside an item keeps what came before; no end tag is fine.
        {Response(0x0000, reasons, false), 0, 0x00420000, 1, 0x6},
        {Response(0x0000, reasons + "\x44\x00\x05print", false), 102, 0x00420000, 1, 0x6},
        {std::string("\x01\x00\x00\x00\x00\x00\x00", 7), 102, 0, 1, 0},
    };
    for (const auto& c : cases) {
        const IppResponseResult r = Decode(c.body).result;
        EXPECT_EQ(c.error, r.errorCode) << c.body;
        EXPECT_EQ(c.status, r.printerStatus) << c.body;
        EXPECT_EQ(c.accepting, r.accepting) << c.body;
        EXPECT_EQ(c.severity, r.severityBits) << c.body;
    }
}

TEST(IppResponseTest, TextValues)
{
    const std::string sjis = Attr(0x47, "attributes-charset", "Shift_JIS");
    const std::string lang = std::string("\x00\x02ja\x00\x03", 6) + "\xE3\x81\x82";
    const struct {
        std::string body;
        size_t capacity;
        std::string model;
    } cases[] = {
        {Response(0, Attr(0x41, "printer-make-and-model", "Maker \xC3\xA9 1")), 1024, "Maker \xE9 1"},
        {Response(0, Attr(0x41, "printer-make-and-model", std::string(2000, 'm'))), 1024, std::string(1023, 'm')},
        {Response(0, Attr(0x41, "printer-make-and-model", "a\xE3\x81\x82")), 3, "a"}, // whole characters only
        {Response(0, Attr(0x35, "printer-make-and-model", lang)), 1024, "\x81\x42"},
        {Response(0, Attr(0x35, "printer-make-and-model", lang.substr(0, 7))), 1024, ""}, // lengths do not fit
        {Response(0, Attr(0x44, "printer-make-and-model", "kw")), 1024, "kw"},
        {Response(0, Attr(0x21, "printer-make-and-model", "kw")), 1024, ""},
        {Response(0, sjis + Attr(0x41, "printer-make-and-model", "\x82\xA0")), 1024, "\x82\xA0"}, // passed through
        {Response(0, Attr(0x47, "attributes-charset", "euc-jp") + Attr(0x41, "printer-make-and-model", "x")), 1024,
         ""},
        {Response(0, Attr(0x47, "attributes-charset", "koi8-r") + Attr(0x41, "printer-make-and-model", "\xC3\xA9")),
         1024, "\xE9"}, // unknown charset: UTF-8
        {Response(0, ""), 1024, "-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.model, Decode(c.body, c.capacity).model) << c.body;

    const IppResponseResult r = Decode(Response(0, Attr(0x21, "job-id", Enum(42)))).result;
    EXPECT_TRUE(r.hasJobId);
    EXPECT_EQ(42u, r.jobId);
    EXPECT_EQ(9u, r.requestId);
}

// The decisions that change what a job does, at their boundaries.
TEST(IppPolicyTest, Decisions)
{
    // Only 2xx is success; only 401 asks for credentials.
    for (uint32_t status : {199u, 200u, 299u, 300u, 401u, 403u})
        EXPECT_EQ(status / 100 == 2 ? 0 : status == 401 ? ERR_IPP_NOT_AUTHENTICATED : ERR_IPP_SEND,
                  HttpStatusError(status)) << status;
    uint32_t lost = ERR_CONNECTION_LOST, fine = 0;
    EXPECT_FALSE(QueryPrinterOutcome(IPP_QUERY_CHECK, true, 0, &fine)) << "a check that finds the printer not accepting";
    EXPECT_EQ(ERR_IPP_NOT_ACCEPTING, fine);
    // Processing or stopped, a printer that does not accept jobs refuses one.
    for (uint32_t state : {ERR_IPP_PRINTER_NOT_READY, ERR_IPP_PRINTER_STOPPED}) {
        uint32_t code = state;
        EXPECT_FALSE(QueryPrinterOutcome(IPP_QUERY_CHECK, false, 0, &code)) << state;
        EXPECT_EQ(ERR_IPP_NOT_ACCEPTING, code) << state;
        code = state;
        QueryPrinterOutcome(IPP_QUERY_CHECK, false, 1, &code);
        EXPECT_EQ(state, code) << "accepting: the state decides";
    }
    EXPECT_TRUE(QueryPrinterOutcome(IPP_QUERY_STATUS, true, 0, &lost)) << "only the check before a job asks";
    EXPECT_FALSE(QueryPrinterOutcome(IPP_QUERY_MODEL, false, 1, &lost));
    EXPECT_EQ(ERR_UNREACHABLE, lost);

    // A processing printer prints and shows "processing" unless it reports an
    // error or is offline; a stopped one prints and is watched only with an
    // error reason; one not accepting jobs pauses.
    const uint16_t warning = IPP_SEVERITY_WARNING, error = IPP_SEVERITY_ERROR;
    EXPECT_TRUE(DecidePrinterCheck(true, 0, 0, PRINTER_FLAG_PAPER_OUT).go);
    EXPECT_EQ(PRINTER_FLAG_PAPER_OUT, DecidePrinterCheck(true, 0, 0, PRINTER_FLAG_PAPER_OUT).printerStatus);
    EXPECT_EQ(PRINTER_FLAG_PROCESSING, DecidePrinterCheck(false, ERR_IPP_PRINTER_NOT_READY, warning, 0).printerStatus);
    EXPECT_EQ(0u, DecidePrinterCheck(false, ERR_IPP_PRINTER_NOT_READY, error, 0).printerStatus);
    EXPECT_EQ(PRINTER_FLAG_OFFLINE, DecidePrinterCheck(false, ERR_IPP_PRINTER_NOT_READY, 0, PRINTER_FLAG_OFFLINE).printerStatus);
    EXPECT_TRUE(DecidePrinterCheck(false, ERR_IPP_PRINTER_NOT_READY, error, 0).go);
    EXPECT_TRUE(DecidePrinterCheck(false, ERR_IPP_PRINTER_STOPPED, error, 0).startWatcher);
    EXPECT_FALSE(DecidePrinterCheck(false, ERR_IPP_PRINTER_STOPPED, IPP_SEVERITY_REPORT, 0).startWatcher);
    EXPECT_TRUE(DecidePrinterCheck(false, ERR_IPP_PRINTER_STOPPED, 0, 0).go);
    EXPECT_TRUE(DecidePrinterCheck(false, ERR_IPP_NOT_ACCEPTING, 0, 0).pauseNotAccepting);
    EXPECT_FALSE(DecidePrinterCheck(false, ERR_IPP_NOT_ACCEPTING, 0, 0).go);
    EXPECT_EQ(ERR_IPP_NO_ANSWER, DecidePrinterCheck(false, ERR_TIMEOUT, 0, 0).errorCode);
    EXPECT_EQ(ERR_UNREACHABLE, DecidePrinterCheck(false, 0, 0, 0).errorCode);
    EXPECT_FALSE(DecidePrinterCheck(false, ERR_IPP_SEND, 0, 0).go);
    EXPECT_EQ(ERR_IPP_NO_ANSWER, FailedResponseError(ERR_TIMEOUT));
    EXPECT_EQ(ERR_IPP_SEND, FailedResponseError(0));
    EXPECT_TRUE(ConnectionTestAnswered(false, ERR_IPP_NOT_AUTHENTICATED));
    EXPECT_FALSE(ConnectionTestAnswered(false, ERR_IPP_SEND));
}
