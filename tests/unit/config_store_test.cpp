// The registry store of port settings, against Wine's real registry.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "codec/password_codec.h"
#include "monitor/config_store.h"
#include "monitor/monitor.h"
#include "support/fresh_monitor.h"

namespace {

typedef std::pair<DWORD, std::string> Value; // type, bytes
typedef std::map<std::string, Value> ValueMap;

// Every value of the key. The registry counts the terminator of a text itself
// when the byte after the given count is zero; one trailing zero of a REG_SZ
// is dropped so that texts stored with or without it compare alike.
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
         ++i, nameSize = sizeof name, dataSize = sizeof data) {
        if (type == REG_SZ && dataSize > 0 && data[dataSize - 1] == 0)
            --dataSize;
        values[name] = {type, std::string(reinterpret_cast<char*>(data), dataSize)};
    }
    RegCloseKey(key);
    return values;
}

Value Dword(DWORD value) { return {REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value)}; }
Value Binary(const std::string& bytes) { return {REG_BINARY, bytes}; }
Value Sz(const std::string& text) { return {REG_SZ, text}; }

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

// The stored password: a 16-bit little-endian length, then each character
// lowered by the scrambling constant.
std::string Stored(unsigned length, const std::string& password)
{
    std::string bytes{static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)};
    for (char c : password)
        bytes += static_cast<char>(static_cast<uint8_t>(c) - kPasswordScramble);
    return bytes;
}

template <size_t N>
void SetField(char (&field)[N], const std::string& text)
{
    snprintf(field, N, "%s", text.c_str());
}

} // namespace

TEST(WriteNewPortSettings, LprRawAndOtherKeysHoldExactlyTheCreatedValues)
{
    FreshMonitor monitor;
    monitor.SetMonitorDword("Reconnection", 1);
    LprSettings lpr = {};
    lpr.header.protocol = PROTOCOL_LPR;
    SetField(lpr.host, "127.0.0.5");
    SetField(lpr.queue, "lp1");
    lpr.portNumber = 515;
    lpr.noByteCount = 1; // not stored
    ASSERT_TRUE(WriteNewPortSettings(&lpr.header, "LPR1", PROTOCOL_LPR));
    ValueMap lprValues = {{"PrintMode", Dword(0)},      {"NonSpool", Dword(0)},      {"Reconnection", Dword(1)},
                          {"CmdTmout", Dword(900000)},  {"DatTmout", Dword(900000)}, {"HostName", Sz("127.0.0.5")},
                          {"PortName", Sz("lp1")},      {"PortNum", Dword(515)},     {"NonRFCPorts", Dword(1)}};
    EXPECT_EQ(lprValues, ReadAllValues(monitor.PortKey("LPR1")));

    RawSettings raw = {};
    raw.header.protocol = PROTOCOL_RAW;
    SetField(raw.host, "127.0.0.9");
    raw.portNumber = 9100;
    ASSERT_TRUE(WriteNewPortSettings(&raw.header, "RAW1", PROTOCOL_RAW));
    EXPECT_EQ(ValueMap({{"PrintMode", Dword(3)}, {"NonSpool", Dword(0)}, {"Reconnection", Dword(1)},
                        {"CmdTmout", Dword(900000)}, {"DatTmout", Dword(900000)}, {"HostName", Sz("127.0.0.9")},
                        {"PortNum", Dword(9100)}}),
              ReadAllValues(monitor.PortKey("RAW1")));

    // A type above 3 gets only the values every port has.
    ASSERT_TRUE(WriteNewPortSettings(nullptr, "FILE1", PROTOCOL_FILE));
    EXPECT_EQ(ValueMap({{"PrintMode", Dword(PROTOCOL_FILE)}, {"NonSpool", Dword(0)}, {"Reconnection", Dword(1)}}),
              ReadAllValues(monitor.PortKey("FILE1")));
}

TEST(WriteNewPortSettings, IppAndEmailKeysAndTemplatesOfAnotherProtocol)
{
    FreshMonitor monitor;
    SetRaw(g_monitor.monitorKey, "Reconnection", REG_BINARY, "\x01\0\0\0", 4); // not a REG_DWORD: the port gets 0
    IppSettings ipp = {};
    ipp.header.protocol = PROTOCOL_IPP;
    SetField(ipp.url, "ipp://127.0.0.1:8631/printers/q");
    SetField(ipp.userName, "not stored");
    ipp.maxChunk = 16384;
    ipp.authenticate = ipp.jobSheets = ipp.chunked = 1;
    ASSERT_TRUE(WriteNewPortSettings(&ipp.header, "IPP1", PROTOCOL_IPP));
    ValueMap ippValues = {
        {"PrintMode", Dword(1)},  {"NonSpool", Dword(0)},   {"Reconnection", Dword(0)}, {"CmdTmout", Dword(180000)},
        {"DatTmout", Dword(180000)}, {"URL", Sz("ipp://127.0.0.1:8631/printers/q")}, {"UseProxy", Dword(0)},
        {"ProxyName", Sz("")},    {"ProxyNum", Dword(0)},   {"Chunked", Dword(1)},      {"MaxChunk", Dword(4096)},
        {"Language", Sz("")},     {"Base64", Dword(0)},     {"UserName", Sz("")},
        {"PassWord", Binary(std::string(1, '\0'))},         {"JobSheets", Dword(0)}};
    EXPECT_EQ(ippValues, ReadAllValues(monitor.PortKey("IPP1")));

    // An LPR record offered for an IPP port is not read as the IPP layout.
    LprSettings lpr = {};
    lpr.header.protocol = PROTOCOL_LPR;
    memset(lpr.host, 'h', sizeof lpr.host - 1);
    memset(lpr.queue, 'q', sizeof lpr.queue - 1);
    ASSERT_TRUE(WriteNewPortSettings(&lpr.header, "IPP2", PROTOCOL_IPP));
    ippValues["URL"] = Sz("");
    ippValues["Chunked"] = Dword(0);
    EXPECT_EQ(ippValues, ReadAllValues(monitor.PortKey("IPP2")));

    // E-mail: no timeouts, binary texts without their terminator.
    TestPort templ(PROTOCOL_EMAIL);
    EmailSettings* mail = EmailOf(templ.port);
    SetField(mail->toAddr, "c@d.test");
    SetField(mail->subject, "Subj");
    SetField(mail->signature, "--");
    memcpy(mail->authPass, "\x91\x92\x93\0\x55", 5); // bytes after the zero are not stored
    mail->charCode = 0x1234;
    ASSERT_TRUE(WriteNewPortSettings(&mail->header, "MAIL1", PROTOCOL_EMAIL));
    EXPECT_EQ(ValueMap({{"PrintMode", Dword(2)},    {"NonSpool", Dword(0)},     {"Reconnection", Dword(0)},
                        {"SmtpServer", Sz("")},     {"FromName", Sz("")},       {"FromAddr", Sz("")},
                        {"ToAddr", Sz("c@d.test")}, {"Subject", Binary("Subj")}, {"Body", Binary("")},
                        {"Signature", Binary("--")}, {"NoPrint", Dword(0)},     {"EditBody", Dword(0)},
                        {"DivideFile", Dword(0)},   {"DivideSize", Dword(0)},   {"CharCode", Dword(0x1234)},
                        {"AuthID", Sz("")},         {"AuthPass", Binary("\x91\x92\x93")}, {"AuthType", Dword(0)}}),
              ReadAllValues(monitor.PortKey("MAIL1")));
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

TEST(ReadPortSettings, IppUrlAndCredentialsOnlyWithBase64)
{
    FreshMonitor monitor;
    ASSERT_TRUE(WriteNewPortSettings(nullptr, "IPP1", PROTOCOL_IPP));
    monitor.SetPortText("IPP1", "URL", "ipp://127.0.0.1:8631/printers/q");
    monitor.SetPortText("IPP1", "UserName", "alice");
    monitor.SetPortText("IPP1", "PassWord", Stored(6, "secret"), REG_BINARY);
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
    // The length is clamped to the bytes read (200 claimed, three behind it);
    // the whole 67-byte value is read, so 65 claimed give 64.
    const struct {
        DWORD type;
        std::string bytes;
        std::string password;
    } cases[] = {{REG_BINARY, Stored(6, "secret"), "secret"},
                 {REG_BINARY, Stored(200, "abc"), "abc"},
                 {REG_BINARY, Stored(65, std::string(65, 'x')), std::string(64, 'x')},
                 {REG_SZ, Stored(200, "abc"), ""}}; // not binary: empty
    for (const auto& c : cases) {
        monitor.SetPortText("IPP1", "PassWord", c.bytes, c.type);
        ASSERT_EQ(ReadPortSettings(port.port, "IPP1"), 0);
        EXPECT_STREQ(ipp->userName, "alice");
        EXPECT_EQ(c.password, ipp->password);
    }
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

TEST(ReadPortSettings, LprValuesDefaultsAndValuesThatLeaveTheFields)
{
    FreshMonitor monitor;
    ASSERT_TRUE(WriteNewPortSettings(nullptr, "LPR1", PROTOCOL_LPR));
    const std::string key = monitor.PortKey("LPR1");
    monitor.SetPortText("LPR1", "HostName", "127.0.0.5");
    monitor.SetPortDword("LPR1", "PortNum", 0x1234ABCD);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), "NonRFCPorts");
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), "PortName"); // the queue guards the host field below
    TestPort port(PROTOCOL_LPR);
    LprSettings* lpr = LprOf(port.port);
    lpr->noByteCount = 7;
    ASSERT_EQ(ReadPortSettings(port.port, "LPR1"), 0);
    EXPECT_EQ(port.port->receiveTimeout, 900000u);
    EXPECT_STREQ(lpr->host, "127.0.0.5");
    EXPECT_EQ(lpr->portNumber, 0xABCD);
    EXPECT_EQ(lpr->noByteCount, 7u); // absent: unchanged
    EXPECT_EQ(lpr->nonRfcPorts, 1u); // absent: 1

    // Values of another type or size leave their fields.
    SetRaw(key, "HostName", REG_DWORD, "\x01\x02\x03\x04", 4);
    SetRaw(key, "PortNum", REG_SZ, "9100", 5);
    SetRaw(key, "CmdTmout", REG_BINARY, "\x01\0\0\0", 4);
    SetRaw(key, "DatTmout", REG_DWORD, "\x01\0", 2);
    SetRaw(key, "NonSpool", REG_DWORD, "\x01\0\0\0\0\0\0\0", 8);
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
    const std::string b65(65, 'b'), c70(70, 'c');
    const std::pair<const char*, DWORD> stored[] = {{b65.c_str(), 66}, {c70.data(), 65}};
    for (const auto& value : stored) {
        SetRaw(key, "HostName", REG_SZ, value.first, value.second);
        ASSERT_EQ(ReadPortSettings(port.port, "LPR1"), 0);
        EXPECT_EQ(std::string(lpr->host), std::string(64, 'a')) << value.second;
        EXPECT_STREQ(lpr->queue, "next field");
    }
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

    // A stored type above 3 (here the local file type) keeps the record's type and settings.
    SettingsHeader* before = port.port->settings;
    monitor.SetPortDword("P1", "PrintMode", PROTOCOL_FILE);
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
