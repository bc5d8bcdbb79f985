// The wizard pages every protocol shares: protocol choice (page 0), port
// name (page 1) and connection type (page 2, IPP only).
#include <cstring>

#include "monitor/config_store.h"
#include "monitor/monitor.h"
#include "text/catalogue.h"
#include "ui/page_common.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

const DialogDescriptor kProtocolPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 239},
    {IDC_SETUMEI01, "LABEL", "IDC_SETUMEI01", 5, 12, 308, 155},
    {IDC_QXLPR, "BUTTON", "IDC_QXLPR", 12, 105, 315, 30},
    {IDC_QXIPP, "BUTTON", "IDC_QXIPP", 12, 129, 315, 30},
    {IDC_QXRAW, "BUTTON", "IDC_QXRAW", 12, 153, 315, 30},
    {IDC_QXEMAIL, "BUTTON", "IDC_QXEMAIL", 12, 177, 315, 30},
};
const int kProtocolPageTableCount = sizeof kProtocolPageTable / sizeof kProtocolPageTable[0];

const DialogDescriptor kPortNamePageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 239},
    {IDC_SETUMEI03, "LABEL", "IDC_SETUMEI03", 5, 12, 316, 75},
    {IDC_TEXT_NAME, "LABEL", "IDC_TEXT_NAME", 16, 87, 298, 17},
    {IDC_PORT_NAME_EDIT, "EDIT", nullptr, 16, 104, 298, 21},
};
const int kPortNamePageTableCount = sizeof kPortNamePageTable / sizeof kPortNamePageTable[0];

const DialogDescriptor kConnectionPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 239},
    {IDC_SETUMEI10, "LABEL", "IDC_SETUMEI10", 5, 12, 298, 75},
    {IDC_BTN_MODEM, "BUTTON", "IDC_BTN_MODEM", 12, 98, 315, 18},
    {IDC_BTN_LAN, "BUTTON", "IDC_BTN_LAN", 12, 132, 315, 18},
};
const int kConnectionPageTableCount = sizeof kConnectionPageTable / sizeof kConnectionPageTable[0];

namespace {

const char kSmtpValue[] = "SMTP";

struct ProtocolButton {
    int id;
    DWORD protocol;
};
const ProtocolButton kProtocolButtons[] = {
    {IDC_QXLPR, WIZARD_LPR},
    {IDC_QXIPP, WIZARD_IPP},
    {IDC_QXRAW, WIZARD_RAW},
    {IDC_QXEMAIL, WIZARD_EMAIL},
};

// The monitor key's SMTP switch; 0 when absent.
DWORD SmtpOffered()
{
    DWORD value = 0, size = sizeof value, type = REG_NONE;
    if (!QueryRegValue(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, kSmtpValue, &value, &size, &type) ||
        type != REG_DWORD || size != sizeof value)
        return 0;
    return value;
}

void FocusControl(HWND page, int id, bool selectText)
{
    HWND control = GetDlgItem(page, id);
    SetFocus(control);
    if (selectText)
        SendMessageA(control, EM_SETSEL, 0, -1);
}

// The protocol of the checked, enabled button; `current` when none is.
DWORD CheckedProtocol(HWND page, DWORD current)
{
    for (const ProtocolButton& button : kProtocolButtons)
        if (IsWindowEnabled(GetDlgItem(page, button.id)) && ButtonChecked(page, button.id))
            return button.protocol;
    return current;
}

void InitProtocolPage(HWND page, WizardState* wizard)
{
    CheckRadioButton(page, IDC_QXLPR, IDC_QXEMAIL, IDC_QXLPR);
    wizard->protocol = WIZARD_LPR;
    if (SmtpOffered())
        return;
    HWND email = GetDlgItem(page, IDC_QXEMAIL);
    EnableWindow(email, FALSE);
    ShowWindow(email, SW_HIDE);
    char text[kCatalogueTextMax + 1];
    CatalogueText(DIALOG_CATALOGUE, "LABEL", "IDC_SETUMEI011", ArgNone(), text, sizeof text);
    if (text[0])
        SetDlgItemTextA(page, IDC_SETUMEI01, text);
}

// The port-name field, read no further than the port name holds.
void ReadPortName(HWND page, char* name)
{
    GetDlgItemTextA(page, IDC_PORT_NAME_EDIT, name, static_cast<int>(kWizardPortNameSize));
    CutAtCharacter(name, kWizardPortNameChars, WizardLeadByte);
}

// The message key that refuses `name`, or NULL; `argument` gets its text.
const char* RefusePortName(const char* name, char* character, CatalogueArg* argument)
{
    if (!name[0])
        return "IDS_NULL_PORT_ERROR";
    character[0] = ForbiddenPortNameCharacter(name, WizardLeadByte);
    character[1] = '\0';
    if (character[0]) {
        *argument = ArgText(character);
        return "IDS_INVALID_CHARACTER";
    }
    if (PortNameExists(name)) {
        *argument = ArgText(name);
        return "IDS_PORTALREADYEXISTS_S";
    }
    return nullptr;
}

void NextFromPortName(HWND page, WizardState* wizard)
{
    char name[kWizardPortNameSize] = "";
    ReadPortName(page, name);
    char character[2] = "";
    CatalogueArg argument = ArgNone();
    const char* refusal = RefusePortName(name, character, &argument);
    if (refusal) {
        WizardMessage(page, refusal, argument);
        FocusControl(page, IDC_PORT_NAME_EDIT, true);
        return;
    }
    memcpy(wizard->portName, name, sizeof wizard->portName);
    wizard->pageIndex = WizardNextPage(WIZARD_PAGE_PORT_NAME, WizardRouteOf(wizard));
}

} // namespace

INT_PTR ProtocolPageProc(HWND page, UINT message, WPARAM wParam, LPARAM, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        InitProtocolPage(page, wizard);
        return FALSE;
    case WM_COMMAND:
        // The button's own state decides; a disabled button is not a choice.
        if (HIWORD(wParam) == BN_CLICKED)
            wizard->protocol = CheckedProtocol(page, wizard->protocol);
        return FALSE;
    case PAGE_FOCUS:
        for (const ProtocolButton& button : kProtocolButtons)
            if (button.protocol == wizard->protocol)
                FocusControl(page, button.id, false);
        return TRUE;
    case PAGE_NEXT:
        wizard->protocol = CheckedProtocol(page, wizard->protocol);
        wizard->pageIndex = WizardNextPage(WIZARD_PAGE_PROTOCOL, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR PortNamePageProc(HWND page, UINT message, WPARAM, LPARAM, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(page, IDC_PORT_NAME_EDIT, EM_LIMITTEXT, kWizardPortNameChars, 0);
        return FALSE;
    case PAGE_SHOW:
        SetDlgItemTextA(page, IDC_PORT_NAME_EDIT, wizard->portName);
        return TRUE;
    case PAGE_FOCUS:
        FocusControl(page, IDC_PORT_NAME_EDIT, true);
        return TRUE;
    case PAGE_NEXT:
        NextFromPortName(page, wizard);
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_PORT_NAME, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR ConnectionPageProc(HWND page, UINT message, WPARAM, LPARAM, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        CheckRadioButton(page, IDC_BTN_MODEM, IDC_BTN_LAN, IDC_BTN_MODEM);
        wizard->dialUp = kWizardDialUpModem;
        return FALSE;
    case PAGE_FOCUS:
        FocusControl(page, wizard->dialUp == kWizardDialUpModem ? IDC_BTN_MODEM : IDC_BTN_LAN, false);
        return TRUE;
    case PAGE_NEXT:
        wizard->dialUp = ButtonChecked(page, IDC_BTN_MODEM) ? kWizardDialUpModem : kWizardDialUpNetwork;
        wizard->pageIndex = WizardNextPage(WIZARD_PAGE_CONNECTION, WizardRouteOf(wizard));
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_CONNECTION, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}
