// IPP request bodies: golden bytes, bounds, and the decoder's walk over them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_oem_codec.h"
#include "ipp/ipp_request.h"
#include "ipp/ipp_response.h"

namespace {

std::string Attr(uint8_t tag, const std::string& name, const std::string& value)
{
    std::string s(1, static_cast<char>(tag));
    s += static_cast<char>(name.size() >> 8);
    s += static_cast<char>(name.size() & 0xFF);
    s += name;
    s += static_cast<char>(value.size() >> 8);
    s += static_cast<char>(value.size() & 0xFF);
    return s + value;
}

std::string Header(uint16_t operation, uint32_t id, const std::string& language)
{
    std::string s = {1, 0, static_cast<char>(operation >> 8), static_cast<char>(operation & 0xFF)};
    for (int shift = 24; shift >= 0; shift -= 8)
        s += static_cast<char>((id >> shift) & 0xFF);
    s += '\x01';
    return s + Attr(0x47, "attributes-charset", "utf-8") + Attr(0x48, "attributes-natural-language", language);
}

IppRequestFields Fields(const char* user = nullptr, const char* document = nullptr, bool sheets = false)
{
    return IppRequestFields{1, "en-us", "ipp://10.1.2.3/ipp", user, document, sheets, &kFakeCodec};
}

std::string GetPrinterAttributes(const IppRequestFields& fields, int kind)
{
    std::vector<uint8_t> out(kIppRequestMax);
    const size_t n = EncodeGetPrinterAttributes(out.data(), out.size(), fields, kind);
    return std::string(out.begin(), out.begin() + static_cast<long>(n));
}

std::string PrintJob(const IppRequestFields& fields)
{
    std::vector<uint8_t> out(kIppRequestMax);
    const size_t n = EncodePrintJob(out.data(), out.size(), fields);
    return std::string(out.begin(), out.begin() + static_cast<long>(n));
}

} // namespace

TEST(IppRequestTest, GoldenBytes)
{
    const std::string uri = Attr(0x45, "printer-uri", "ipp://10.1.2.3/ipp");
    const std::string kind0 = GetPrinterAttributes(Fields(), IPP_QUERY_MODEL);
    ASSERT_EQ(156u, kind0.size());
    EXPECT_EQ(Header(0x000B, 1, "en-us") + uri + Attr(0x44, "requested-attributes", "printer-make-and-model") + "\x03",
              kind0);

    const std::string tail1 = std::string("\x44\x00\x14requested-attributes\x00\x0Dprinter-state", 38) +
                              std::string("\x44\x00\x00\x00\x15printer-state-reasons", 26) +
                              std::string("\x44\x00\x00\x00\x19printer-is-accepting-jobs\x03", 31);
    EXPECT_EQ(Header(0x000B, 1, "en-us") + uri + tail1, GetPrinterAttributes(Fields(), IPP_QUERY_CHECK));
    EXPECT_EQ(Header(0x000B, 1, "en-us") + uri + "\x03", GetPrinterAttributes(Fields(), 7));

    EXPECT_EQ(Header(0x0002, 1, "en-us") + uri + "\x02\x03", PrintJob(Fields()));
    EXPECT_EQ(Header(0x0002, 1, "en-us") + uri + "\x02" + std::string("\x44\x00\x0Ajob-sheets\x00\x08standard", 23) +
                  "\x03",
              PrintJob(Fields(nullptr, nullptr, true)));
    // Names in UTF-8, the value-length counting bytes.
    EXPECT_EQ(Header(0x0002, 1, "en-us") + uri + Attr(0x42, "requesting-user-name", "\xE3\x81\x82\xC3\xA9") +
                  Attr(0x42, "job-name", "doc") + Attr(0x42, "document-name", "doc") + "\x02\x03",
              PrintJob(Fields("\x81\x42\xE9", "doc")));

    IppRequestFields japanese = Fields();
    japanese.language = "ja-jp";
    EXPECT_EQ(std::string("\x00\x05ja-jp", 7), GetPrinterAttributes(japanese, 0).substr(67, 7));
    // A port asked in IPP/1.1 sends the same request with version 1.1.
    IppRequestFields eleven = Fields();
    eleven.minorVersion = 1;
    EXPECT_EQ("\x01\x01" + PrintJob(Fields()).substr(2), PrintJob(eleven));
    // An empty language setting is no zero-length natural language.
    for (const char* none : {"", static_cast<const char*>(nullptr)}) {
        japanese.language = none;
        EXPECT_EQ(std::string("\x00\x02" "en\x45", 5), GetPrinterAttributes(japanese, 0).substr(67, 5));
    }
}

TEST(IppRequestTest, NamesAndLimits)
{
    // Names are cut to 255 octets on a character boundary; a conversion that
    // fails sends an empty name.
    const std::string longName(300, '\xE9');
    std::string cut;
    for (int i = 0; i < 127; ++i)
        cut += "\xC3\xA9";
    EXPECT_NE(std::string::npos, PrintJob(Fields(longName.c_str())).find(Attr(0x42, "requesting-user-name", cut)));
    IppRequestFields failing = Fields("user", "doc");
    failing.codec = &kFailingCodec;
    EXPECT_EQ(Header(0x0002, 1, "en-us") + Attr(0x45, "printer-uri", "ipp://10.1.2.3/ipp") +
                  Attr(0x42, "requesting-user-name", "") + Attr(0x42, "job-name", "") +
                  Attr(0x42, "document-name", "") + "\x02\x03",
              PrintJob(failing));

    // The largest request fits the body buffer; a smaller buffer gives 0.
    const std::string url = "ipp://" + std::string(250, 'u'), language(40, 'l'), name(4000, '\x81');
    IppRequestFields largest = {0x7FFFFFFF, language.c_str(), url.c_str(), name.c_str(), name.c_str(), true,
                                &kFakeCodec};
    const std::string big = PrintJob(largest);
    EXPECT_GT(big.size(), 1024u);
    std::vector<uint8_t> small(big.size() - 1);
    EXPECT_EQ(0u, EncodePrintJob(small.data(), small.size(), largest));

    // Walking the request with the response decoder's reader: every length
    // matches the bytes behind it and the walk ends on the end tag.
    IppAttribute attribute = {};
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(big.data());
    size_t at = 8;
    std::vector<std::string> names;
    while (at < big.size()) {
        const size_t taken = ReadAttribute(&attribute, bytes + at, big.size() - at);
        ASSERT_NE(0u, taken);
        at += taken;
        if (attribute.tag >= 0x10)
            names.emplace_back(reinterpret_cast<const char*>(attribute.name), attribute.nameLength);
        if (attribute.tag == 0x42)
            EXPECT_EQ(255u, attribute.valueLength); // 85 whole 3-byte characters
    }
    EXPECT_EQ(big.size(), at);
    EXPECT_EQ(0x03, attribute.tag);
    EXPECT_EQ((std::vector<std::string>{"attributes-charset", "attributes-natural-language", "printer-uri",
                                        "requesting-user-name", "job-name", "document-name", "job-sheets"}),
              names);
}

TEST(IppRequestTest, RequestIdsWrap)
{
    const struct {
        uint32_t counter, id, next;
    } cases[] = {{1, 1, 2}, {41, 41, 42}, {0x7FFFFFFE, 0x7FFFFFFE, 0x7FFFFFFF}, {0x7FFFFFFF, 0x7FFFFFFF, 1},
                 {0, 1, 2}, {0x80000000, 1, 2}, {0xFFFFFFFF, 1, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.id, ValidRequestId(c.counter)) << c.counter;
        EXPECT_EQ(c.next, NextRequestId(ValidRequestId(c.counter))) << c.counter;
    }
}
