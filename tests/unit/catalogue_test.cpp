// Catalogue location and texts, the dialog font, the module's resources and
// the shipped catalogue files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "monitor/model.h"
#include "monitor/monitor.h"
#include "support/fresh_monitor.h"
#include "support/test_files.h"
#include "text/catalogue.h"
#include "text/dialog_font.h"
#include "text/localise.h"

namespace {

std::string Path(const char* file)
{
    char buffer[MAX_PATH + 32];
    return CataloguePath(file, buffer, sizeof buffer);
}

std::string Text(const char* key, CatalogueArg arg = ArgNone(), DWORD size = 1024)
{
    std::string out(size, 'x');
    CatalogueText(MESSAGE_CATALOGUE, MESSAGE_SECTION, key, arg, &out[0], size);
    return out.c_str();
}

void SetInstallPathValue(const void* data, DWORD size, DWORD type)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, "InstallPath", 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    ASSERT_TRUE(std::ofstream(path, std::ios::binary) << bytes) << path;
}

} // namespace

TEST(CataloguePath, OneSeparatorAndNoCatalogueWithoutUsableInstallPath)
{
    FreshMonitor monitor;
    char buffer[MAX_PATH] = "prepared";
    ReadInstallPath(buffer, sizeof buffer);
    EXPECT_STREQ("prepared", buffer) << "no monitor key: buffer unchanged";
    EXPECT_EQ("", Path(MESSAGE_CATALOGUE));

    const DWORD number = 7;
    const std::string dir = "C:\\dir", slashed = dir + "\\", longDir = "C:\\" + std::string(300, 'a');
    const struct {
        const void* data;
        DWORD size;
        DWORD type;
        std::string expected;
    } cases[] = {
        {dir.c_str(), 7, REG_SZ, dir + "\\CRVMES.INI"},
        {slashed.c_str(), 8, REG_SZ, dir + "\\CRVMES.INI"},
        {dir.c_str(), 6, REG_SZ, dir + "\\CRVMES.INI"}, // stored without its terminator
        {"", 1, REG_SZ, ""},
        {"\\", 2, REG_SZ, ""}, // only a separator: the drive root
        {&number, sizeof number, REG_DWORD, ""},
        {longDir.c_str(), static_cast<DWORD>(longDir.size() + 1), REG_SZ, ""}, // longer than 260 bytes
    };
    for (const auto& c : cases) {
        SetInstallPathValue(c.data, c.size, c.type);
        EXPECT_EQ(c.expected, Path(MESSAGE_CATALOGUE)) << c.size << " bytes of type " << c.type;
    }
    // A value that fits the registry limit but not the caller's buffer.
    char small[20] = "unchanged";
    SetInstallPathValue("C:\\some\\dir", 12, REG_SZ);
    EXPECT_STREQ("", CataloguePath(MESSAGE_CATALOGUE, small, sizeof small));
}

TEST(CatalogueText, EscapedFormattedAndCut)
{
    FreshMonitor monitor;
    std::string longText(600, 'L');
    monitor.WriteInstallFile(MESSAGE_CATALOGUE, "[MESSAGE]\r\nNAME=Port %s\\nexists\r\nCODE=Code %d\r\n"
                                                "LONG=" + longText + "\r\nLONGARG=%s\r\n");
    EXPECT_EQ("Port LPT9\r\nexists", Text("NAME", ArgText("LPT9")));
    EXPECT_EQ("Port %s\r\nexists", Text("NAME", ArgNumber(42)));
    EXPECT_EQ("Code 42", Text("CODE", ArgNumber(42)));
    EXPECT_EQ("", Text("MISSING", ArgText("x")));
    EXPECT_EQ("Port LP", Text("NAME", ArgText("LPT9"), 8));
    EXPECT_EQ(longText.substr(0, 511), Text("LONG"));
    EXPECT_EQ(longText.substr(0, 511), Text("LONGARG", ArgText(longText.c_str())));
}

TEST(CatalogueText, NoCatalogueReadsNothingElsewhere)
{
    FreshMonitor monitor;
    // A file of that name in the system directory or at the drive root must
    // not be taken for the catalogue when no installation directory is known.
    std::string name = monitor.model + ".INI";
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string inWindows = std::string(windows) + "\\" + name;
    std::string atRoot = std::string(windows, 3) + name;
    WriteFileBytes(inWindows, "[MESSAGE]\r\nKEY=from the system directory\r\n");
    WriteFileBytes(atRoot, "[MESSAGE]\r\nKEY=from the drive root\r\n");

    char out[64] = "x";
    CatalogueText(name.c_str(), MESSAGE_SECTION, "KEY", ArgNone(), out, sizeof out);
    EXPECT_STREQ("", out);
    SetInstallPathValue("", 1, REG_SZ);
    CatalogueText(name.c_str(), MESSAGE_SECTION, "KEY", ArgNone(), out, sizeof out);
    EXPECT_STREQ("", out);

    DeleteFileA(inWindows.c_str());
    DeleteFileA(atRoot.c_str());
}

namespace {

struct FontCheck {
    bool made;
    LONG height;
    BYTE charset;
    std::string face;
};

FontCheck MakeFont(FreshMonitor& monitor, const std::string& setting)
{
    monitor.WriteInstallFile(DIALOG_CATALOGUE, "[FONT]\r\nDEFAULT=" + setting + "\r\n");
    HFONT font = CatalogueFont(nullptr, "DEFAULT", Path(DIALOG_CATALOGUE).c_str());
    FontCheck check{font != nullptr, 0, 0, ""};
    LOGFONTA logFont;
    if (font && GetObjectA(font, sizeof logFont, &logFont) == sizeof logFont) {
        check.height = logFont.lfHeight;
        check.charset = logFont.lfCharSet;
        check.face = logFont.lfFaceName;
    }
    if (font)
        DeleteObject(font);
    return check;
}

} // namespace

TEST(CatalogueFont, MadeFromTheFontTextReadCutAt127Characters)
{
    FreshMonitor monitor;
    const struct {
        std::string setting;
        LONG height; // 0: no font
        BYTE charset;
        const char* face;
    } cases[] = {
        {"MS UI Gothic,12,SHIFTJIS", -12, SHIFTJIS_CHARSET, "MS UI Gothic"},
        {std::string(124, 'F') + ",12,ANSI", 0, 0, ""}, // the cut one has no character-set part
    };
    for (const auto& c : cases) {
        FontCheck check = MakeFont(monitor, c.setting);
        EXPECT_EQ(c.height != 0, check.made) << c.setting;
        EXPECT_EQ(c.height, check.height) << c.setting;
        EXPECT_EQ(c.charset, check.charset) << c.setting;
        EXPECT_EQ(c.face, check.face) << c.setting;
    }
    EXPECT_EQ(nullptr, CatalogueFont(nullptr, "MISSING", Path(DIALOG_CATALOGUE).c_str()));
    EXPECT_EQ(nullptr, CatalogueFont(nullptr, "DEFAULT", ""));
}

namespace {

// The message keys; the users of the first ones pass a text argument.
const size_t kTextKeys = 3;
const char* const kMessageKeys[] = {
    "IDS_INVALID_CHARACTER", "IDS_IPP_SEND_ERR_CODE", "IDS_PORTALREADYEXISTS_S", "TITLE", "IDS_LPR_PORT",
    "IDS_IPP_PORT", "IDS_EMP_PORT", "IDS_RAW_PORT", "IDS_ADD_BROADCASE_ERROR", "IDS_ADD_PORT_ERROR",
    "IDS_ADD_PORT_LIMIT", "IDS_BROADCAST_ERROR", "IDS_CONF_PORT_LIMIT", "IDS_EMALREADYEXISTS", "IDS_INVALIDIPADDRESS",
    "IDS_INVALIDPORTNAME_S", "IDS_INVALIDQUEUENAME", "IDS_INVALIDSERVERNAME", "IDS_INVALID_CHUNKSIZE",
    "IDS_INVALID_CONNECT", "IDS_INVALID_DIVIDESIZE", "IDS_INVALID_FROM_ADDR", "IDS_INVALID_FROM_NAME",
    "IDS_INVALID_PROXYNAME", "IDS_INVALID_PROXYNUMBER", "IDS_INVALID_SMTP", "IDS_INVALID_TIMEOUT",
    "IDS_INVALID_TO_ADDR", "IDS_INVALID_URI", "IDS_IPALREADYEXISTS", "IDS_IPP_FORBIDDEN", "IDS_IPP_NOT_AUTHORIZED",
    "IDS_IPP_PROXY_DISABLE", "IDS_IPP_PROXY_ENABLE", "IDS_IPP_RETRY", "IDS_IPP_SEND_ERROR", "IDS_IPP_TIMEOUT",
    "IDS_LPR_QUEUE_ERR", "IDS_LPR_RETRY", "IDS_LPR_RETRY_TOP", "IDS_MAX_TO_ADDR_ERROR", "IDS_NULL_PORT_ERROR",
    "IDS_SMTP_ADDRMISS", "IDS_SMTP_OVER_DIVISION", "IDS_SMTP_PROTOCOL_ERROR", "IDS_SMTP_SERVER_ERROR",
    "IDS_SMTP_SERVER_NONE", "IDS_WINSOCK_ERROR",
};

struct DialogKey {
    const char* section;
    const char* key;
};
const DialogKey kDialogKeys[] = {
    {"TITLE", "VERSION"},       {"TITLE", "RETRY"},         {"TITLE", "PASS"},           {"BUTTON", "IDOK"},
    {"BUTTON", "IDC_RETRY"},    {"BUTTON", "IDCANCEL"},     {"LABEL", "IDC_VERSION01"},  {"LABEL", "IDC_VERSION02"},
    {"LABEL", "IDC_VERSION03"}, {"LABEL", "IDC_VERSION04"}, {"LABEL", "IDC_SETUMEI11"},  {"LABEL", "IDC_NAME"},
    {"LABEL", "IDC_KEYWORD"},
};

void CheckShippedCatalogues(const char* language)
{
    SCOPED_TRACE(language);
    std::string dir = ProgramDir() + "catalogues\\" + language;
    std::string messages = dir + "\\" MESSAGE_CATALOGUE;
    std::string dialogs = dir + "\\" DIALOG_CATALOGUE;
    char text[1024];
    for (size_t i = 0; i < sizeof kMessageKeys / sizeof kMessageKeys[0]; ++i) {
        const char* key = kMessageKeys[i];
        DWORD length = GetPrivateProfileStringA(MESSAGE_SECTION, key, "", text, sizeof text, messages.c_str());
        EXPECT_GT(length, 0u) << key;
        EXPECT_LT(length, 512u) << key;
        // A text argument must be placed by exactly one %s, and only where one is passed.
        char formatted[1024];
        FormatCatalogueText(text, ArgText("\x01"), formatted, sizeof formatted);
        EXPECT_EQ(i < kTextKeys, strcmp(text, formatted) != 0) << key;
    }
    for (const DialogKey& entry : kDialogKeys)
        EXPECT_GT(GetPrivateProfileStringA(entry.section, entry.key, "", text, sizeof text, dialogs.c_str()), 0u)
            << entry.section << " " << entry.key;
    GetPrivateProfileStringA("FONT", "DEFAULT", "", text, 128, dialogs.c_str());
    FontSetting font;
    EXPECT_TRUE(ParseFontSetting(text, &font)) << text;
}

} // namespace

TEST(ShippedCatalogues, EveryKeyPresentWithItsArguments)
{
    CheckShippedCatalogues("en");
    CheckShippedCatalogues("ja");
}

TEST(ShippedCatalogues, JapaneseSetIsInCodePage932)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs a Japanese locale (LC_ALL=ja_JP.UTF-8)";
    FreshMonitor monitor;
    std::ifstream shipped(ProgramDir() + "catalogues\\ja\\" MESSAGE_CATALOGUE, std::ios::binary);
    ASSERT_TRUE(shipped);
    monitor.WriteInstallFile(MESSAGE_CATALOGUE, std::string(std::istreambuf_iterator<char>(shipped), {}));
    // The Japanese caption is the same text as the built-in default caption.
    EXPECT_EQ(PRODUCT_ERROR_CAPTION, Text("TITLE"));
}
