// Catalogue location and texts, the dialog font, the module's resources and
// the shipped catalogue files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "monitor/model.h"
#include "monitor/monitor.h"
#include "resource.h"
#include "support/fresh_monitor.h"
#include "text/catalogue.h"
#include "text/font_spec.h"
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
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// Directory of the running test program (the catalogues are built beside it).
std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text(path, length);
    return text.substr(0, text.find_last_of('\\'));
}

} // namespace

TEST(CataloguePath, OneSeparatorWithOrWithoutTrailingBackslash)
{
    FreshMonitor monitor;
    std::string dir = monitor.UseInstallDir(false);
    EXPECT_EQ(dir + "\\CRVMES.INI", Path(MESSAGE_CATALOGUE));
    monitor.UseInstallDir(true);
    EXPECT_EQ(dir + "\\CRVMES.INI", Path(MESSAGE_CATALOGUE));
    EXPECT_EQ(dir + "\\Dwlmon.ini", Path("Dwlmon.ini"));
}

TEST(CataloguePath, NoCatalogueWithoutUsableInstallPath)
{
    FreshMonitor monitor;
    EXPECT_EQ("", Path(MESSAGE_CATALOGUE)) << "no monitor key";

    SetInstallPathValue("", 1, REG_SZ);
    EXPECT_EQ("", Path(MESSAGE_CATALOGUE)) << "empty";
    SetInstallPathValue("\\", 2, REG_SZ);
    EXPECT_EQ("", Path(MESSAGE_CATALOGUE)) << "only a separator: the drive root";

    DWORD number = 7;
    SetInstallPathValue(&number, sizeof number, REG_DWORD);
    EXPECT_EQ("", Path(MESSAGE_CATALOGUE)) << "wrong type";

    std::string longDir = "C:\\" + std::string(300, 'a');
    SetInstallPathValue(longDir.c_str(), static_cast<DWORD>(longDir.size() + 1), REG_SZ);
    EXPECT_EQ("", Path(MESSAGE_CATALOGUE)) << "longer than 260 bytes";

    // A value that fits the registry limit but not the caller's buffer.
    SetInstallPathValue("C:\\some\\dir", 12, REG_SZ);
    char small[20] = "unchanged";
    EXPECT_STREQ("", CataloguePath(MESSAGE_CATALOGUE, small, sizeof small));
}

TEST(CataloguePath, UnreadableOrUnterminatedValue)
{
    FreshMonitor monitor;
    char buffer[MAX_PATH] = "prepared";
    ReadInstallPath(buffer, sizeof buffer);
    EXPECT_STREQ("prepared", buffer) << "no monitor key: buffer unchanged";
    SetInstallPathValue("C:\\dir", 6, REG_SZ); // no terminating NUL stored
    EXPECT_EQ("C:\\dir\\CRVMES.INI", Path(MESSAGE_CATALOGUE));
}

TEST(CatalogueText, EscapesArgumentsAndMissingKeys)
{
    FreshMonitor monitor;
    monitor.WriteInstallFile(MESSAGE_CATALOGUE, "[MESSAGE]\r\n"
                                                "LINES=A\\nB\r\n"
                                                "TAB=A\\tB\r\n"
                                                "OTHER=C:\\x\r\n"
                                                "NAME=Port %s exists\r\n"
                                                "CODE=Code %d\r\n");
    EXPECT_EQ("A\r\nB", Text("LINES"));
    EXPECT_EQ("A\tB", Text("TAB"));
    EXPECT_EQ("C:\\x", Text("OTHER"));
    EXPECT_EQ("Port LPT9 exists", Text("NAME", ArgText("LPT9")));
    EXPECT_EQ("Code 42", Text("CODE", ArgNumber(42)));
    // An argument that does not match the conversion is not formatted.
    EXPECT_EQ("Port %s exists", Text("NAME", ArgNumber(42)));
    EXPECT_EQ("Port %s exists", Text("NAME"));
    EXPECT_EQ("", Text("MISSING"));
    EXPECT_EQ("", Text("MISSING", ArgText("x")));
    // The output size bounds the result.
    EXPECT_EQ("Port LP", Text("NAME", ArgText("LPT9"), 8));
}

TEST(CatalogueText, LongTextIsCutAt511Characters)
{
    FreshMonitor monitor;
    std::string longText(600, 'L');
    monitor.WriteInstallFile(MESSAGE_CATALOGUE, "[MESSAGE]\r\nLONG=" + longText + "\r\nLONGARG=%s\r\n");
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

FontCheck MakeFont(FreshMonitor& monitor, const std::string& spec)
{
    monitor.WriteInstallFile(DIALOG_CATALOGUE, "[FONT]\r\nDEFAULT=" + spec + "\r\n");
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

TEST(CatalogueFont, MadeFromTheFontSpecification)
{
    FreshMonitor monitor;
    FontCheck check = MakeFont(monitor, "MS UI Gothic,12,SHIFTJIS");
    ASSERT_TRUE(check.made);
    EXPECT_EQ(-12, check.height);
    EXPECT_EQ(SHIFTJIS_CHARSET, check.charset);
    EXPECT_EQ("MS UI Gothic", check.face);

    check = MakeFont(monitor, "Arial,200,RUSSIAN");
    ASSERT_TRUE(check.made);
    EXPECT_EQ(-200, check.height);
    EXPECT_EQ(RUSSIAN_CHARSET, check.charset);

    // Character-set names are case-sensitive; an unknown one selects the default.
    check = MakeFont(monitor, "MS UI Gothic,12,shiftjis");
    ASSERT_TRUE(check.made);
    EXPECT_EQ(DEFAULT_CHARSET, check.charset);
}

TEST(CatalogueFont, NoFontForBadSpecifications)
{
    FreshMonitor monitor;
    const char* bad[] = {"Arial,12", "Arial", ",,", "Arial,0,ANSI", "Arial,201,ANSI", "Arial,-5,ANSI",
                         "Arial,twelve,ANSI", ""};
    for (const char* spec : bad)
        EXPECT_FALSE(MakeFont(monitor, spec).made) << spec;

    // A specification longer than 127 characters is read cut, and the cut
    // one has no character-set part left.
    EXPECT_FALSE(MakeFont(monitor, std::string(124, 'F') + ",12,ANSI").made);

    EXPECT_EQ(nullptr, CatalogueFont(nullptr, "MISSING", Path(DIALOG_CATALOGUE).c_str()));
    EXPECT_EQ(nullptr, CatalogueFont(nullptr, "DEFAULT", ""));
}

TEST(ModuleResources, StartupStringsAndVersionInformation)
{
    HINSTANCE module = GetModuleHandleA(nullptr);
    char text[256];
    ASSERT_GT(LoadStringA(module, IDS_NO_TCPIP, text, sizeof text), 0);
    EXPECT_STREQ("Check if TCP/IP is set correctly in the properties of the network.", text);
    ASSERT_GT(LoadStringA(module, IDS_WINSOCK_VERSION, text, sizeof text), 0);
    EXPECT_STREQ("%s is not operated correctly by this WinSock version.", text);

    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));
    ASSERT_NE(nullptr, found);
    const char* block = static_cast<const char*>(LockResource(LoadResource(module, found)));
    std::string bytes(block, SizeofResource(module, found));

    // The fixed part: signature, then file version 1.0.0.0.
    const DWORD signature = 0xFEEF04BD;
    size_t at = bytes.find(std::string(reinterpret_cast<const char*>(&signature), 4));
    ASSERT_NE(std::string::npos, at);
    DWORD versions[3];
    memcpy(versions, bytes.data() + at + 8, sizeof versions);
    EXPECT_EQ(0x00010000u, versions[0]);
    EXPECT_EQ(0x00000000u, versions[1]);

    // The product name in UTF-16.
    std::string product;
    for (const char* p = PRODUCT_DESCRIPTOR; *p; ++p)
        product += std::string(1, *p) + '\0';
    EXPECT_NE(std::string::npos, bytes.find(product));
}

TEST(ModuleResources, VersionDialogTemplateHoldsJapaneseTexts)
{
    // The script is converted to code page 932 before compilation; the
    // template must hold the right UTF-16 texts whatever the locale.
    HINSTANCE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_VERSION), MAKEINTRESOURCEA(5));
    ASSERT_NE(nullptr, found);
    const WORD* words = static_cast<const WORD*>(LockResource(LoadResource(module, found)));
    ASSERT_EQ(1, words[0]);      // extended template
    ASSERT_EQ(0xFFFF, words[1]);
    const WORD* p = words + 13;  // past version, signature, help ID, styles, count, rectangle
    for (int field = 0; field < 2; ++field) { // menu, class
        if (*p == 0xFFFF)
            p += 2;
        else
            p += lstrlenW(reinterpret_cast<const WCHAR*>(p)) + 1;
    }
    EXPECT_EQ(std::wstring(L"バージョン情報"), std::wstring(reinterpret_cast<const WCHAR*>(p)));
}

namespace {

// The message keys and how many text arguments each one's users pass.
struct MessageKey {
    const char* key;
    bool takesText;
};
const MessageKey kMessageKeys[] = {
    {"TITLE", false}, {"IDS_LPR_PORT", false}, {"IDS_IPP_PORT", false}, {"IDS_EMP_PORT", false},
    {"IDS_RAW_PORT", false}, {"IDS_ADD_BROADCASE_ERROR", false}, {"IDS_ADD_PORT_ERROR", false},
    {"IDS_ADD_PORT_LIMIT", false}, {"IDS_BROADCAST_ERROR", false}, {"IDS_CONF_PORT_LIMIT", false},
    {"IDS_EMALREADYEXISTS", false}, {"IDS_INVALIDIPADDRESS", false}, {"IDS_INVALIDPORTNAME_S", false},
    {"IDS_INVALIDQUEUENAME", false}, {"IDS_INVALIDSERVERNAME", false}, {"IDS_INVALID_CHARACTER", true},
    {"IDS_INVALID_CHUNKSIZE", false}, {"IDS_INVALID_CONNECT", false}, {"IDS_INVALID_DIVIDESIZE", false},
    {"IDS_INVALID_FROM_ADDR", false}, {"IDS_INVALID_FROM_NAME", false}, {"IDS_INVALID_PROXYNAME", false},
    {"IDS_INVALID_PROXYNUMBER", false}, {"IDS_INVALID_SMTP", false}, {"IDS_INVALID_TIMEOUT", false},
    {"IDS_INVALID_TO_ADDR", false}, {"IDS_INVALID_URI", false}, {"IDS_IPALREADYEXISTS", false},
    {"IDS_IPP_FORBIDDEN", false}, {"IDS_IPP_NOT_AUTHORIZED", false}, {"IDS_IPP_PROXY_DISABLE", false},
    {"IDS_IPP_PROXY_ENABLE", false}, {"IDS_IPP_RETRY", false}, {"IDS_IPP_SEND_ERROR", false},
    {"IDS_IPP_SEND_ERR_CODE", true}, {"IDS_IPP_TIMEOUT", false}, {"IDS_LPR_QUEUE_ERR", false},
    {"IDS_LPR_RETRY", false}, {"IDS_LPR_RETRY_TOP", false}, {"IDS_MAX_TO_ADDR_ERROR", false},
    {"IDS_NULL_PORT_ERROR", false}, {"IDS_PORTALREADYEXISTS_S", true}, {"IDS_SMTP_ADDRMISS", false},
    {"IDS_SMTP_OVER_DIVISION", false}, {"IDS_SMTP_PROTOCOL_ERROR", false}, {"IDS_SMTP_SERVER_ERROR", false},
    {"IDS_SMTP_SERVER_NONE", false}, {"IDS_WINSOCK_ERROR", false},
};

struct DialogKey {
    const char* section;
    const char* key;
};
const DialogKey kDialogKeys[] = {
    {"TITLE", "VERSION"},        {"BUTTON", "IDOK"},          {"LABEL", "IDC_VERSION01"},
    {"LABEL", "IDC_VERSION02"},  {"LABEL", "IDC_VERSION03"},  {"LABEL", "IDC_VERSION04"},
};

void CheckShippedCatalogues(const char* language)
{
    SCOPED_TRACE(language);
    std::string dir = ProgramDirectory() + "\\catalogues\\" + language;
    std::string messages = dir + "\\" MESSAGE_CATALOGUE;
    std::string dialogs = dir + "\\" DIALOG_CATALOGUE;
    char text[1024];
    for (const MessageKey& entry : kMessageKeys) {
        DWORD length = GetPrivateProfileStringA(MESSAGE_SECTION, entry.key, "", text, sizeof text, messages.c_str());
        EXPECT_GT(length, 0u) << entry.key;
        EXPECT_LT(length, 512u) << entry.key;
        // A text argument must be placed by exactly one %s, and only where one is passed.
        char formatted[1024];
        FormatCatalogueText(text, ArgText("\x01"), formatted, sizeof formatted);
        EXPECT_EQ(entry.takesText, strcmp(text, formatted) != 0) << entry.key;
    }
    for (const DialogKey& entry : kDialogKeys)
        EXPECT_GT(GetPrivateProfileStringA(entry.section, entry.key, "", text, sizeof text, dialogs.c_str()), 0u)
            << entry.section << " " << entry.key;
    GetPrivateProfileStringA("FONT", "DEFAULT", "", text, 128, dialogs.c_str());
    FontSpec font;
    EXPECT_TRUE(ParseFontSpec(text, &font)) << text;
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
    std::string messages = ProgramDirectory() + "\\catalogues\\ja\\" MESSAGE_CATALOGUE;
    HANDLE file = CreateFileA(messages.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    monitor.WriteInstallFile(MESSAGE_CATALOGUE, bytes);
    // The Japanese caption is the same text as the built-in default caption.
    EXPECT_EQ(PRODUCT_ERROR_CAPTION, Text("TITLE"));
}
