// The add-port wizard's page sequences, banners, port-name proposals and
// port-name character check. Pure code: no OS header.
#include "ui/wizard/wizard_flow.h"

#include <cstdio>
#include <cstring>

#include "codec/parse_number.h"

namespace {

// Room for a proposal before it is cut: a 256-character URL, or a 64-character
// host with a 32-character queue, and their separator.
const size_t kProposalRoom = 512;

int ProtocolPage(uint32_t protocol, const WizardRoute& route)
{
    switch (protocol) {
    case WIZARD_LPR: return WIZARD_PAGE_LPR_SERVER;
    case WIZARD_IPP: return route.systemProxy ? WIZARD_PAGE_IPP_PROXY : WIZARD_PAGE_CONNECTION;
    case WIZARD_EMAIL: return WIZARD_PAGE_MAIL_ACCOUNT;
    case WIZARD_RAW: return WIZARD_PAGE_RAW_SERVER;
    default: return WIZARD_PAGE_PROTOCOL;
    }
}

// The protocol's last page before the port-name page.
int LastProtocolPage(uint32_t protocol)
{
    switch (protocol) {
    case WIZARD_LPR: return WIZARD_PAGE_LPR_SERVER;
    case WIZARD_IPP: return WIZARD_PAGE_IPP_URL;
    case WIZARD_EMAIL: return WIZARD_PAGE_MAIL_AUTH;
    case WIZARD_RAW: return WIZARD_PAGE_RAW_SERVER;
    default: return WIZARD_PAGE_PROTOCOL;
    }
}

// Copies `text` into `out`, cut to a port name at a character boundary.
void CopyProposal(const char* text, char* out, size_t outSize, TextLeadByteTest isLead)
{
    if (!out || outSize == 0)
        return;
    size_t limit = outSize - 1 < kWizardPortNameChars ? outSize - 1 : kWizardPortNameChars;
    char room[kProposalRoom];
    snprintf(room, sizeof room, "%s", text ? text : "");
    size_t length = CutAtCharacter(room, limit, isLead);
    memcpy(out, room, length + 1);
}

} // namespace

int WizardSummaryPage(uint32_t protocol)
{
    switch (protocol) {
    case WIZARD_LPR: return WIZARD_PAGE_LPR_SUMMARY;
    case WIZARD_IPP: return WIZARD_PAGE_IPP_SUMMARY;
    case WIZARD_EMAIL: return WIZARD_PAGE_MAIL_SUMMARY;
    case WIZARD_RAW: return WIZARD_PAGE_RAW_SUMMARY;
    default: return WIZARD_PAGE_PORT_NAME;
    }
}

bool WizardIsSummaryPage(int page)
{
    return page == WIZARD_PAGE_IPP_SUMMARY || page == WIZARD_PAGE_LPR_SUMMARY || page == WIZARD_PAGE_MAIL_SUMMARY ||
           page == WIZARD_PAGE_RAW_SUMMARY;
}

int WizardNextPage(int page, const WizardRoute& route)
{
    if (WizardIsSummaryPage(page))
        return kWizardFinished;
    switch (page) {
    case WIZARD_PAGE_PROTOCOL: return ProtocolPage(route.protocol, route);
    case WIZARD_PAGE_PORT_NAME: return WizardSummaryPage(route.protocol);
    case WIZARD_PAGE_CONNECTION:
        return route.dialUp == kWizardDialUpModem ? WIZARD_PAGE_IPP_URL : WIZARD_PAGE_IPP_PROXY;
    case WIZARD_PAGE_IPP_PROXY: return WIZARD_PAGE_IPP_URL;
    case WIZARD_PAGE_IPP_URL:
    case WIZARD_PAGE_LPR_SERVER:
    case WIZARD_PAGE_MAIL_AUTH:
    case WIZARD_PAGE_RAW_SERVER: return WIZARD_PAGE_PORT_NAME;
    case WIZARD_PAGE_MAIL_ACCOUNT:
    case WIZARD_PAGE_MAIL_RECIPIENTS:
    case WIZARD_PAGE_MAIL_BODY: return page + 1;
    default: return page;
    }
}

int WizardBackPage(int page, const WizardRoute& route)
{
    if (WizardIsSummaryPage(page))
        return WIZARD_PAGE_PORT_NAME;
    switch (page) {
    case WIZARD_PAGE_PORT_NAME: return LastProtocolPage(route.protocol);
    case WIZARD_PAGE_IPP_PROXY:
        return route.systemProxy ? WIZARD_PAGE_PROTOCOL : WIZARD_PAGE_CONNECTION;
    case WIZARD_PAGE_IPP_URL:
        return !route.systemProxy && route.dialUp == kWizardDialUpModem ? WIZARD_PAGE_CONNECTION : WIZARD_PAGE_IPP_PROXY;
    case WIZARD_PAGE_CONNECTION:
    case WIZARD_PAGE_LPR_SERVER:
    case WIZARD_PAGE_MAIL_ACCOUNT:
    case WIZARD_PAGE_RAW_SERVER: return WIZARD_PAGE_PROTOCOL;
    case WIZARD_PAGE_MAIL_RECIPIENTS:
    case WIZARD_PAGE_MAIL_BODY:
    case WIZARD_PAGE_MAIL_AUTH: return page - 1;
    default: return page;
    }
}

int WizardBanner(int page, int current)
{
    switch (page) {
    case WIZARD_PAGE_PROTOCOL: return kBannerProtocol;
    case WIZARD_PAGE_LPR_SERVER: return kBannerLpr;
    case WIZARD_PAGE_CONNECTION:
    case WIZARD_PAGE_IPP_PROXY: return kBannerIpp;
    case WIZARD_PAGE_MAIL_ACCOUNT:
    case WIZARD_PAGE_RAW_SERVER: return kBannerMailRaw;
    default: return current;
    }
}

size_t CutAtCharacter(char* text, size_t maxBytes, TextLeadByteTest isLead)
{
    if (!text)
        return 0;
    size_t i = 0;
    while (text[i] != '\0') {
        size_t step = isLead && isLead(static_cast<unsigned char>(text[i])) && text[i + 1] != '\0' ? 2 : 1;
        if (i + step > maxBytes)
            break;
        i += step;
    }
    text[i] = '\0';
    return i;
}

void ProposeLprPortName(const char* host, const char* queue, char* out, size_t outSize, TextLeadByteTest isLead)
{
    char joined[kProposalRoom];
    snprintf(joined, sizeof joined, "%s:%s", host ? host : "", queue ? queue : "");
    CopyProposal(joined, out, outSize, isLead);
}

void ProposeRawPortName(const char* host, unsigned port, char* out, size_t outSize, TextLeadByteTest isLead)
{
    char joined[kProposalRoom];
    snprintf(joined, sizeof joined, "%s_%d", host ? host : "", static_cast<int>(port));
    CopyProposal(joined, out, outSize, isLead);
}

void ProposeUrlPortName(const char* url, char* out, size_t outSize, TextLeadByteTest isLead)
{
    CopyProposal(url, out, outSize, isLead);
}

void ProposeMailPortName(unsigned number, char* out, size_t outSize)
{
    char name[32];
    snprintf(name, sizeof name, "MAIL%d:", static_cast<int>(number));
    CopyProposal(name, out, outSize, nullptr);
}

char ForbiddenPortNameCharacter(const char* name, TextLeadByteTest isLead)
{
    if (!name)
        return 0;
    for (size_t i = 0; name[i] != '\0';) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (isLead && isLead(c) && name[i + 1] != '\0') {
            i += 2;
            continue;
        }
        if (c == '\\' || c == ',')
            return static_cast<char>(c);
        ++i;
    }
    return 0;
}

bool WizardDottedQuad(const char* text)
{
    if (!text)
        return false;
    const char* part = text;
    for (int index = 0; index < 4; ++index) {
        const char* end = strchr(part, '.');
        size_t length = end ? static_cast<size_t>(end - part) : strlen(part);
        uint64_t value = 0;
        // Only the last part runs to the end of the text.
        if ((end != nullptr) != (index < 3) || length > 3 || !ParseStrictNumber(part, length, 10, 255, &value))
            return false;
        part = end ? end + 1 : part + length;
    }
    return true;
}
