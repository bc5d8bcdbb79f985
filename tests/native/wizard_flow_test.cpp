// The add-port wizard's page sequences, banners, port-name proposals and
// forbidden port-name characters.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui/wizard/wizard_flow.h"

namespace {

// Lead bytes of code page 932.
bool Cp932Lead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The pages Next visits from page 0 up to the end (at most 20 steps).
std::vector<int> Forward(const WizardRoute& route)
{
    std::vector<int> pages{0};
    for (int step = 0; step < 20 && pages.back() != kWizardFinished; ++step)
        pages.push_back(WizardNextPage(pages.back(), route));
    return pages;
}

// The pages Back visits from `page` down to page 0 (at most 20 steps).
std::vector<int> Backward(int page, const WizardRoute& route)
{
    std::vector<int> pages{page};
    for (int step = 0; step < 20 && pages.back() != 0; ++step)
        pages.push_back(WizardBackPage(pages.back(), route));
    return pages;
}

struct Route {
    const char* name;
    WizardRoute route;
    std::vector<int> pages;   // Next from page 0, ending with 254
    std::vector<int> banners; // the banner on each of those pages
};

const std::vector<Route>& Routes()
{
    static const std::vector<Route> routes = {
        {"LPR", {WIZARD_LPR, 0, 1}, {0, 6, 1, 7, 254}, {100, 101, 101, 101}},
        {"LPR, proxy on", {WIZARD_LPR, 1, 0}, {0, 6, 1, 7, 254}, {100, 101, 101, 101}},
        {"Raw", {WIZARD_RAW, 0, 1}, {0, 13, 1, 14, 254}, {100, 103, 103, 103}},
        {"Raw, proxy on", {WIZARD_RAW, 1, 1}, {0, 13, 1, 14, 254}, {100, 103, 103, 103}},
        {"e-mail", {WIZARD_EMAIL, 0, 1}, {0, 8, 9, 10, 11, 1, 12, 254}, {100, 103, 103, 103, 103, 103, 103}},
        {"e-mail, proxy on", {WIZARD_EMAIL, 1, 0}, {0, 8, 9, 10, 11, 1, 12, 254}, {100, 103, 103, 103, 103, 103, 103}},
        {"IPP, proxy on, modem", {WIZARD_IPP, 1, 1}, {0, 3, 4, 1, 5, 254}, {100, 102, 102, 102, 102}},
        {"IPP, proxy on, network", {WIZARD_IPP, 1, 0}, {0, 3, 4, 1, 5, 254}, {100, 102, 102, 102, 102}},
        {"IPP, proxy off, modem", {WIZARD_IPP, 0, 1}, {0, 2, 4, 1, 5, 254}, {100, 102, 102, 102, 102}},
        {"IPP, proxy off, network", {WIZARD_IPP, 0, 0}, {0, 2, 3, 4, 1, 5, 254}, {100, 102, 102, 102, 102, 102}},
    };
    return routes;
}

} // namespace

TEST(WizardFlowTest, NextFollowsEachProtocolsSequenceAndBackRetracesIt)
{
    for (const Route& r : Routes()) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.pages, Forward(r.route));
        // Back from the summary page visits the same pages in reverse.
        std::vector<int> reverse(r.pages.rbegin() + 1, r.pages.rend());
        EXPECT_EQ(reverse, Backward(reverse.front(), r.route));
        int summary = r.pages[r.pages.size() - 2];
        EXPECT_EQ(summary, WizardSummaryPage(r.route.protocol));
        for (int page : r.pages)
            EXPECT_EQ(page == summary, WizardIsSummaryPage(page)) << page;
    }
}

TEST(WizardFlowTest, BannerChangesOnlyOnTheProtocolsFirstPagesAndBackRestoresIt)
{
    for (const Route& r : Routes()) {
        SCOPED_TRACE(r.name);
        int banner = 0;
        for (size_t i = 0; i + 1 < r.pages.size(); ++i) {
            banner = WizardBanner(r.pages[i], banner);
            EXPECT_EQ(r.banners[i], banner) << "page " << r.pages[i];
        }
        // Going back keeps the protocol's banner until page 0 brings 100 again.
        for (int page : Backward(r.pages[r.pages.size() - 2], r.route))
            banner = WizardBanner(page, banner);
        EXPECT_EQ(kBannerProtocol, banner);
    }
    EXPECT_EQ(77, WizardBanner(WIZARD_PAGE_PORT_NAME, 77)) << "the port-name page keeps the banner";
}

TEST(WizardFlowTest, PagesOutsideTheTableGoNowhere)
{
    WizardRoute route{WIZARD_LPR, 0, 1};
    for (int page : {-1, 15, 254, 255}) {
        EXPECT_EQ(page, WizardNextPage(page, route));
        EXPECT_EQ(page, WizardBackPage(page, route));
    }
    EXPECT_EQ(0, WizardNextPage(0, WizardRoute{7, 0, 1})) << "an unknown protocol stays on page 0";
}

TEST(WizardFlowTest, ProposalsAreFormattedAndCutTo38BytesAtACharacterBoundary)
{
    char name[kWizardPortNameSize];
    ProposeLprPortName("10.0.0.5", "lp_s1", name, sizeof name, Cp932Lead);
    EXPECT_STREQ("10.0.0.5:lp_s1", name);
    ProposeRawPortName("10.0.0.5", 9100, name, sizeof name, Cp932Lead);
    EXPECT_STREQ("10.0.0.5_9100", name);
    ProposeMailPortName(3, name, sizeof name);
    EXPECT_STREQ("MAIL3:", name);
    ProposeMailPortName(9999, name, sizeof name);
    EXPECT_STREQ("MAIL9999:", name);

    std::string host(60, 'h');
    ProposeLprPortName(host.c_str(), "lp_s1", name, sizeof name, Cp932Lead);
    EXPECT_EQ(std::string(38, 'h'), name);
    std::string url = "http://printer.example.invalid:631/printers/office";
    ProposeUrlPortName(url.c_str(), name, sizeof name, Cp932Lead);
    EXPECT_EQ(url.substr(0, 38), name);

    // 37 single bytes, then a double-byte character whose trail byte would
    // be the 39th: it goes whole or not at all.
    std::string dbcs = std::string(37, 'a') + "\x95\x5C" "b";
    ProposeUrlPortName(dbcs.c_str(), name, sizeof name, Cp932Lead);
    EXPECT_EQ(std::string(37, 'a'), name);
    // A trail byte in lead-byte range is not taken for the start of a character.
    std::string trail = std::string(35, 'a') + "\x88\x88" "c" "\x88\x88";
    ProposeUrlPortName(trail.c_str(), name, sizeof name, Cp932Lead);
    EXPECT_EQ(std::string(35, 'a') + "\x88\x88" "c", name);
    // A smaller buffer cuts there.
    char small[6];
    ProposeRawPortName("abcdef", 1, small, sizeof small, nullptr);
    EXPECT_STREQ("abcde", small);
}

TEST(WizardFlowTest, BackslashAndCommaAreRefusedButNotAsTrailBytes)
{
    EXPECT_EQ(0, ForbiddenPortNameCharacter("LPR1:", Cp932Lead));
    EXPECT_EQ('\\', ForbiddenPortNameCharacter("a\\b", Cp932Lead));
    EXPECT_EQ(',', ForbiddenPortNameCharacter("a,b\\", Cp932Lead));
    EXPECT_EQ(0, ForbiddenPortNameCharacter("", Cp932Lead));
    // 0x95 0x5C is one double-byte character in code page 932.
    EXPECT_EQ(0, ForbiddenPortNameCharacter("P\x95\x5C" "1", Cp932Lead));
    EXPECT_EQ('\\', ForbiddenPortNameCharacter("P\x95\x5C" "\\", Cp932Lead));
    // A lone lead byte at the end does not hide the terminator.
    EXPECT_EQ(0, ForbiddenPortNameCharacter("P\x95", Cp932Lead));
    // Single-byte code page: 0x5C is a backslash wherever it stands.
    EXPECT_EQ('\\', ForbiddenPortNameCharacter("P\x95\x5C" "1", nullptr));
}

TEST(WizardDottedQuad, TakesFourDecimalPartsUpTo255Only)
{
    for (const char* address : {"0.0.0.0", "127.0.0.1", "255.255.255.255", "10.0.0.5", "001.02.3.4"})
        EXPECT_TRUE(WizardDottedQuad(address)) << address;
    // Each of these goes on to the name lookup.
    for (const char* text : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1.2.3.", ".1.2.3", "1..2.3", "1.2.3.4a",
                             "1.2.3.+4", "1.2.3. 4", "0x7f.0.0.1", "1.2.3.1000", "-1.2.3.4", "printer", ""})
        EXPECT_FALSE(WizardDottedQuad(text)) << text;
    EXPECT_FALSE(WizardDottedQuad(nullptr));
}
