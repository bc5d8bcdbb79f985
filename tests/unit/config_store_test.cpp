// The registry store of port settings, against Wine's real registry.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "monitor/config_store.h"
#include "monitor/monitor.h"
#include "monitor/password_codec.h"
#include "support/fresh_monitor.h"

namespace {

typedef std::map<std::string, std::pair<DWORD, std::string>> ValueMap; // name: type, bytes

ValueMap ReadAllValues(const std::string& subkey)
{
    ValueMap values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    char name[256];
    BYTE data[8192];
    DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
    for (DWORD i = 0; i < 100 && RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) == ERROR_SUCCESS;
         ++i, nameSize = sizeof name, dataSize = sizeof data)
        values[name] = {type, std::string(reinterpret_cast<char*>(data), dataSize)};
    RegCloseKey(key);
    return values;
}

std::pair<DWORD, std::string> Dword(DWORD value)
{
    return {REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value)};
}

std::pair<DWORD, std::string> Binary(const std::string& bytes)
{
    return {REG_BINARY, bytes};
}

// The registry counts the terminator itself when the byte after the given
// count is zero, so a text stored without it reads back with exactly one.
void ExpectText(ValueMap& values, const char* name, const std::string& text)
{
    EXPECT_EQ(values[name].first, static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_TRUE(values[name].second == text || values[name].second == text + '\0') << name;
}

void SetRaw(const std::string& subkey, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

// A port record of the test's own with a settings record of `protocol`.
struct TestPort {
    explicit TestPort(DWORD protocol)
        : port(static_cast<PortRecord*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PortRecord) + 8)))
    {
        port->protocol = protocol;
        port->settings = NewSettingsRecord(protocol);
    }
    ~TestPort()
    {
        HeapFree(GetProcessHeap(), 0, port->settings);
        HeapFree(GetProcessHeap(), 0, port);
    }
    PortRecord* port;
};

template <size_t N>
void SetField(char (&field)[N], const std::string& text)
{
    snprintf(field, N, "%s", text.c_str());
}

} // namespace

TEST(WriteNewPortSettings, LprAndRawKeysHoldExactlyTheCreatedValues)
{
    FreshMonitor monitor;
    monitor.SetMonitorDword("Reconnection", 1);
    LprSettings lpr = {};
    lpr.header.protocol = PROTOCOL_LPR;
    SetField(lpr.host, "127.0.0.5");
    SetField(lpr.queue, "lp1");
    lpr.portNumber = 515;
    lpr.noByteCount = 1;
    ASSERT_TRUE(WriteNewPortSettings(&lpr.header, "LPR1", PROTOCOL_LPR));
    ValueMap values = ReadAllValues(monitor.PortKey("LPR1"));
    EXPECT_EQ(values.size(), 9u); // no NonByteCount
    EXPECT_EQ(values["PrintMode"], Dword(0));
    EXPECT_EQ(values["NonSpool"], Dword(0));
    EXPECT_EQ(values["Reconnection"], Dword(1));
    EXPECT_EQ(values["CmdTmout"], Dword(900000));
    EXPECT_EQ(values["DatTmout"], Dword(900000));
    ExpectText(values, "HostName", "127.0.0.5");
    ExpectText(values, "PortName", "lp1");
    EXPECT_EQ(values["PortNum"], Dword(515));
    EXPECT_EQ(values["NonRFCPorts"], Dword(1));
    // Creating it again leaves the existing key as it is.
    monitor.SetPortDword("LPR1", "PortNum", 516);
    EXPECT_TRUE(WriteNewPortSettings(nullptr, "LPR1", PROTOCOL_LPR));
    EXPECT_EQ(ReadAllValues(monitor.PortKey("LPR1")), [&] { values["PortNum"] = Dword(516); return values; }());

    RawSettings raw = {};
    raw.header.protocol = PROTOCOL_RAW;
    SetField(raw.host, "127.0.0.9");
    raw.portNumber = 9100;
    ASSERT_TRUE(WriteNewPortSettings(&raw.header, "RAW1", PROTOCOL_RAW));
    values = ReadAllValues(monitor.PortKey("RAW1"));
    EXPECT_EQ(values.size(), 7u);
    ExpectText(values, "HostName", "127.0.0.9");
    EXPECT_EQ(values["PortNum"], Dword(9100));
    EXPECT_EQ(values["DatTmout"], Dword(900000));

    // A type above 3 gets only the values every port has.
    ASSERT_TRUE(WriteNewPortSettings(nullptr, "FILE1", PROTOCOL_FILE));
    EXPECT_EQ(ReadAllValues(monitor.PortKey("FILE1")).size(), 3u);
}

TEST(WriteNewPortSettings, IppKeyAndTemplatesOfAnotherProtocol)
{
    FreshMonitor monitor; // no monitor-wide Reconnection: the port gets 0
    IppSettings ipp = {};
    ipp.header.protocol = PROTOCOL_IPP;
    SetField(ipp.url, "ipp://127.0.0.1:8631/printers/q");
    SetField(ipp.userName, "not stored");
    ipp.maxChunk = 16384;
    ipp.authenticate = ipp.jobSheets = ipp.chunked = 1;
    ASSERT_TRUE(WriteNewPortSettings(&ipp.header, "IPP1", PROTOCOL_IPP));
    ValueMap values = ReadAllValues(monitor.PortKey("IPP1"));
    EXPECT_EQ(values.size(), 16u);
    EXPECT_EQ(values["Reconnection"], Dword(0));
    EXPECT_EQ(values["CmdTmout"], Dword(180000));
    ExpectText(values, "URL", "ipp://127.0.0.1:8631/printers/q");
    EXPECT_EQ(values["Chunked"], Dword(1));
    EXPECT_EQ(values["MaxChunk"], Dword(4096));
    EXPECT_EQ(values["Base64"], Dword(0));
    EXPECT_EQ(values["UserName"], std::make_pair(static_cast<DWORD>(REG_SZ), std::string()));
    EXPECT_EQ(values["PassWord"], Binary(std::string(1, '\0')));
    EXPECT_EQ(values["JobSheets"], Dword(0));

    // An LPR record offered for an IPP port is not read as the IPP layout.
    LprSettings lpr = {};
    lpr.header.protocol = PROTOCOL_LPR;
    memset(lpr.host, 'h', sizeof lpr.host - 1);
    memset(lpr.queue, 'q', sizeof lpr.queue - 1);
    ASSERT_TRUE(WriteNewPortSettings(&lpr.header, "IPP2", PROTOCOL_IPP));
    values = ReadAllValues(monitor.PortKey("IPP2"));
    ExpectText(values, "URL", "");
    ExpectText(values, "Language", "");
}

TEST(WriteNewPortSettings, EmailKeyHasNoTimeoutsAndBinaryTextsWithoutTerminator)
{
    FreshMonitor monitor;
    TestPort templ(PROTOCOL_EMAIL);
    EmailSettings* mail = EmailOf(templ.port);
    SetField(mail->toAddr, "c@d.test");
    SetField(mail->subject, "Subj");
    SetField(mail->signature, "--");
    memcpy(mail->authPass, "\x91\x92\x93\0\x55", 5); // bytes after the zero are not stored
    mail->charCode = 0x1234;
    ASSERT_TRUE(WriteNewPortSettings(&mail->header, "MAIL1", PROTOCOL_EMAIL));
    ValueMap values = ReadAllValues(monitor.PortKey("MAIL1"));
    EXPECT_EQ(values.size(), 18u);
    EXPECT_EQ(values.count("CmdTmout") + values.count("DatTmout"), 0u);
    ExpectText(values, "ToAddr", "c@d.test");
    EXPECT_EQ(values["Subject"], Binary("Subj"));
    EXPECT_EQ(values["Body"], Binary(""));
    EXPECT_EQ(values["Signature"], Binary("--"));
    EXPECT_EQ(values["AuthPass"], Binary("\x91\x92\x93"));
    EXPECT_EQ(values["CharCode"], Dword(0x1234));
}

TEST(PortKeys, UnusableNamesFailCleanlyAndDeleteRemovesTheKey)
{
    FreshMonitor monitor;
    const std::string tooLong(600, 'n');
    for (const char* name : {"", "A\\B", tooLong.c_str()})
        EXPECT_FALSE(WriteNewPortSettings(nullptr, name, PROTOCOL_LPR));
    EXPECT_TRUE(ReadAllValues(g_monitor.portsKey).empty()); // nothing landed on the ports key
    TestPort port(PROTOCOL_LPR);
    EXPECT_EQ(ReadPortSettings(port.port, nullptr), ERROR_INVALID_NAME);
    EXPECT_FALSE(DeletePortSettings(""));

    ASSERT_TRUE(WriteNewPortSettings(nullptr, "RAW1", PROTOCOL_RAW));
    EXPECT_TRUE(DeletePortSettings("RAW1"));
    EXPECT_FALSE(DeletePortSettings("RAW1"));
    EXPECT_EQ(ReadPortSettings(port.port, "RAW1"), ERROR_FILE_NOT_FOUND);

    std::string saved = g_monitor.portsKey;
    g_monitor.portsKey[0] = '\0';
    EXPECT_FALSE(WriteNewPortSettings(nullptr, "LPR1", PROTOCOL_LPR));
    EXPECT_EQ(ReadPortSettings(port.port, "LPR1"), ERROR_INVALID_NAME);
    snprintf(g_monitor.portsKey, sizeof g_monitor.portsKey, "%s", saved.c_str());
}

TEST(ReadPortSettings, LprValuesAndDefaults)
{
    FreshMonitor monitor;
    ASSERT_TRUE(WriteNewPortSettings(nullptr, "LPR1", PROTOCOL_LPR));
    monitor.SetPortText("LPR1", "HostName", "127.0.0.5");
    monitor.SetPortDword("LPR1", "PortNum", 0x1234ABCD);
    TestPort port(PROTOCOL_LPR);
    LprSettings* lpr = LprOf(port.port);
    lpr->noByteCount = 7;
    ASSERT_EQ(ReadPortSettings(port.port, "LPR1"), 0);
    EXPECT_EQ(port.port->receiveTimeout, 900000u);
    EXPECT_STREQ(lpr->host, "127.0.0.5");
    EXPECT_EQ(lpr->portNumber, 0xABCD);
    EXPECT_EQ(lpr->noByteCount, 7u); // absent: unchanged

    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, monitor.PortKey("LPR1").c_str(), "NonRFCPorts");
    lpr->nonRfcPorts = 0;
    ASSERT_EQ(ReadPortSettings(port.port, "LPR1"), 0);
    EXPECT_EQ(lpr->nonRfcPorts, 1u); // absent: 1
}

TEST(ReadPortSettings, IppUrlAndCredentialsOnlyWithBase64)
{
    FreshMonitor monitor;
    ASSERT_TRUE(WriteNewPortSettings(nullptr, "IPP1", PROTOCOL_IPP));
    const std::string key = monitor.PortKey("IPP1");
    monitor.SetPortText("IPP1", "URL", "ipp://127.0.0.1:8631/printers/q");
    monitor.SetPortText("IPP1", "UserName", "alice");
    uint8_t stored[kPasswordValueSize];
    SetRaw(key, "PassWord", REG_BINARY, stored, static_cast<DWORD>(EncodePassword("secret", stored, sizeof stored)));
    TestPort port(PROTOCOL_IPP);
    IppSettings* ipp = IppOf(port.port);
    SetField(ipp->userName, "old");
    SetField(ipp->password, "old");
    ipp->transportIndex = 9;
    ASSERT_EQ(ReadPortSettings(port.port, "IPP1"), 0);
    EXPECT_STREQ(ipp->host, "127.0.0.1");
    EXPECT_STREQ(ipp->path, "/printers/q");
    EXPECT_EQ(ipp->port, 8631u);
    EXPECT_EQ(ipp->transportIndex, 0u);
    EXPECT_STREQ(ipp->userName, ""); // Base64 0: stored credentials ignored
    EXPECT_STREQ(ipp->password, "");

    monitor.SetPortDword("IPP1", "Base64", 1);
    ASSERT_EQ(ReadPortSettings(port.port, "IPP1"), 0);
    EXPECT_STREQ(ipp->userName, "alice");
    EXPECT_STREQ(ipp->password, "secret");

    // A length claiming 200 characters with three behind it gives three.
    const uint8_t lying[] = {200, 0, 'a' - kPasswordScramble, 'b' - kPasswordScramble, 'c' - kPasswordScramble};
    SetRaw(key, "PassWord", REG_BINARY, lying, sizeof lying);
    ASSERT_EQ(ReadPortSettings(port.port, "IPP1"), 0);
    EXPECT_STREQ(ipp->password, "abc");
    // 67 bytes claiming 65 characters: 64 are taken.
    uint8_t full[kPasswordValueSize];
    memset(full, 'x' - kPasswordScramble, sizeof full);
    full[0] = 65, full[1] = 0;
    SetRaw(key, "PassWord", REG_BINARY, full, sizeof full);
    ASSERT_EQ(ReadPortSettings(port.port, "IPP1"), 0);
    EXPECT_EQ(std::string(ipp->password), std::string(64, 'x'));
    // Not binary: empty.
    SetRaw(key, "PassWord", REG_SZ, lying, sizeof lying);
    ASSERT_EQ(ReadPortSettings(port.port, "IPP1"), 0);
    EXPECT_STREQ(ipp->password, "");
}

TEST(ReadPortSettings, EmailTextsOnlyWithoutNoPrintAndEditBody)
{
    FreshMonitor monitor;
    monitor.SetPortDword("MAIL1", "PrintMode", PROTOCOL_EMAIL);
    monitor.SetPortText("MAIL1", "Subject", std::string(65, 's'), REG_BINARY);
    monitor.SetPortText("MAIL1", "Body", "Body", REG_BINARY);
    monitor.SetPortText("MAIL1", "Signature", "Sig", REG_SZ); // must be binary
    monitor.SetPortText("MAIL1", "AuthPass", "\x91\x92", REG_BINARY);
    TestPort port(PROTOCOL_EMAIL);
    EmailSettings* mail = EmailOf(port.port);
    memset(mail->authPass, 0x77, sizeof mail->authPass);
    SetField(mail->signature, "old");
    ASSERT_EQ(ReadPortSettings(port.port, "MAIL1"), 0);
    EXPECT_EQ(std::string(mail->subject), std::string(65, 's'));
    EXPECT_STREQ(mail->body, "Body");
    EXPECT_STREQ(mail->signature, "");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(mail->authPass)), "\x91\x92");
    EXPECT_EQ(mail->authPass[256], 0);

    for (const char* flag : {"EditBody", "NoPrint"}) {
        monitor.SetPortDword("MAIL1", "EditBody", 0);
        monitor.SetPortDword("MAIL1", "NoPrint", 0);
        monitor.SetPortDword("MAIL1", flag, 1);
        ASSERT_EQ(ReadPortSettings(port.port, "MAIL1"), 0);
        EXPECT_STREQ(mail->subject, "") << flag;
        EXPECT_STREQ(mail->body, "") << flag;
    }
    // 66 binary bytes leave no room for the terminator of char[66];
    // an unreadable AuthPass leaves the field cleared.
    monitor.SetPortDword("MAIL1", "NoPrint", 0);
    monitor.SetPortText("MAIL1", "Subject", std::string(66, 's'), REG_BINARY);
    monitor.SetPortText("MAIL1", "AuthPass", std::string(258, 'p'), REG_BINARY);
    ASSERT_EQ(ReadPortSettings(port.port, "MAIL1"), 0);
    EXPECT_STREQ(mail->subject, "");
    EXPECT_EQ(mail->authPass[0], 0);
}

TEST(ReadPortSettings, WrongTypesAndOversizeValuesLeaveTheFields)
{
    FreshMonitor monitor;
    const std::string key = monitor.PortKey("LPR1");
    SetRaw(key, "HostName", REG_DWORD, "\x01\x02\x03\x04", 4);
    SetRaw(key, "PortNum", REG_SZ, "9100", 5);
    SetRaw(key, "CmdTmout", REG_BINARY, "\x01\0\0\0", 4);
    SetRaw(key, "DatTmout", REG_DWORD, "\x01\0", 2);
    SetRaw(key, "NonSpool", REG_DWORD, "\x01\0\0\0\0\0\0\0", 8);
    TestPort port(PROTOCOL_LPR);
    LprSettings* lpr = LprOf(port.port);
    SetField(lpr->host, std::string(64, 'a'));
    SetField(lpr->queue, "next field");
    lpr->portNumber = 515;
    port.port->receiveTimeout = 11, port.port->sendTimeout = 12, port.port->noSpool = 13;
    ASSERT_EQ(ReadPortSettings(port.port, "LPR1"), 0);
    EXPECT_EQ(std::string(lpr->host), std::string(64, 'a'));
    EXPECT_EQ(lpr->portNumber, 515);
    EXPECT_EQ(port.port->receiveTimeout + port.port->sendTimeout + port.port->noSpool, 36u);

    // 65 characters and a terminator, then exactly 65 bytes without one (the
    // byte after the count is not zero, so the registry adds none).
    monitor.SetPortText("LPR1", "HostName", std::string(65, 'b'));
    ASSERT_EQ(ReadPortSettings(port.port, "LPR1"), 0);
    EXPECT_EQ(std::string(lpr->host), std::string(64, 'a'));
    std::string exact(70, 'c');
    SetRaw(key, "HostName", REG_SZ, exact.data(), 65);
    ASSERT_EQ(ReadAllValues(key)["HostName"].second, std::string(65, 'c'));
    ASSERT_EQ(ReadPortSettings(port.port, "LPR1"), 0);
    EXPECT_EQ(std::string(lpr->host), std::string(64, 'a'));
    EXPECT_STREQ(lpr->queue, "next field");
}

TEST(ReadPortSettings, ChangedPrintModeReplacesTheSettingsRecord)
{
    FreshMonitor monitor;
    monitor.SetPortDword("P1", "PrintMode", PROTOCOL_IPP);
    monitor.SetPortText("P1", "URL", "http://127.0.0.1/ipp");
    monitor.SetPortText("P1", "HostName", "lpr host");
    TestPort port(PROTOCOL_LPR);
    ASSERT_EQ(ReadPortSettings(port.port, "P1"), 0);
    EXPECT_EQ(port.port->protocol, static_cast<DWORD>(PROTOCOL_IPP));
    ASSERT_NE(IppOf(port.port), nullptr);
    EXPECT_EQ(IppOf(port.port)->port, 80u);
    EXPECT_EQ(IppOf(port.port)->connection, INVALID_SOCKET);

    // An unknown stored type keeps the record's type and settings.
    SettingsHeader* before = port.port->settings;
    monitor.SetPortDword("P1", "PrintMode", 7);
    monitor.SetPortText("P1", "URL", "ipp://127.0.0.2/x");
    ASSERT_EQ(ReadPortSettings(port.port, "P1"), 0);
    EXPECT_EQ(port.port->protocol, static_cast<DWORD>(PROTOCOL_IPP));
    EXPECT_EQ(port.port->settings, before);
    EXPECT_STREQ(IppOf(port.port)->host, "127.0.0.2");

    // A port used as a local file last time takes its stored type again.
    monitor.SetPortDword("P1", "PrintMode", PROTOCOL_LPR);
    port.port->protocol = PROTOCOL_FILE;
    ASSERT_EQ(ReadPortSettings(port.port, "P1"), 0);
    ASSERT_NE(LprOf(port.port), nullptr);
    EXPECT_STREQ(LprOf(port.port)->host, "lpr host");
}

TEST(QueryRegValue, NeverWritesPastTheGivenSize)
{
    FreshMonitor monitor;
    const std::string key = monitor.PortKey("P1");
    SetRaw(key, "Text", REG_SZ, "0123456789", 11);
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    DWORD size = 4, type = 0;
    EXPECT_FALSE(QueryRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Text", buffer, &size, &type));
    EXPECT_EQ(size, 11u); // the size needed, and the buffer untouched
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(16, '#'));

    size = sizeof buffer;
    EXPECT_TRUE(QueryRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Text", buffer, &size, &type));
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(buffer, 12), std::string("0123456789\0#", 12));
    EXPECT_FALSE(QueryRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Absent", buffer, &size, &type));
}
