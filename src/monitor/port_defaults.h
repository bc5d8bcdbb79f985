// The registry values of a port key: their names, and the values a new port
// gets (name, type, default) in one table. The monitor makes its new records
// and port keys from it; the spooler host can add ports with it too: this
// header needs only <windows.h> and no monitor state.
#pragma once

#include <windows.h>

// Value names of a port key. Reconnection is also the monitor key's value
// that new ports take over.
const char kValuePrintMode[] = "PrintMode";
const char kValueNonSpool[] = "NonSpool";
const char kValueReconnection[] = "Reconnection";
const char kValueCmdTmout[] = "CmdTmout"; // receive time-out, ms
const char kValueDatTmout[] = "DatTmout"; // send time-out, ms
// LPR and Raw.
const char kValueHostName[] = "HostName";
const char kValuePortNum[] = "PortNum";
const char kValuePortName[] = "PortName"; // LPR queue
const char kValueNonRfcPorts[] = "NonRFCPorts";
const char kValueNonByteCount[] = "NonByteCount";
// IPP.
const char kValueUrl[] = "URL";
const char kValueUseProxy[] = "UseProxy";
const char kValueProxyName[] = "ProxyName";
const char kValueProxyNum[] = "ProxyNum";
const char kValueChunked[] = "Chunked";
const char kValueMaxChunk[] = "MaxChunk";
const char kValueLanguage[] = "Language";
const char kValueBase64[] = "Base64"; // Basic authentication on
const char kValueUserName[] = "UserName";
const char kValuePassWord[] = "PassWord";
const char kValueJobSheets[] = "JobSheets";
// E-mail.
const char kValueSmtpServer[] = "SmtpServer";
const char kValueFromName[] = "FromName";
const char kValueFromAddr[] = "FromAddr";
const char kValueToAddr[] = "ToAddr";
const char kValueSubject[] = "Subject";
const char kValueBody[] = "Body";
const char kValueSignature[] = "Signature";
const char kValueNoPrint[] = "NoPrint";
const char kValueEditBody[] = "EditBody";
const char kValueDivideFile[] = "DivideFile";
const char kValueDivideSize[] = "DivideSize";
const char kValueCharCode[] = "CharCode";
const char kValueAuthId[] = "AuthID";
const char kValueAuthPass[] = "AuthPass";
const char kValueAuthType[] = "AuthType";

// Where the value of a new port comes from.
enum PortValueSource : DWORD {
    PORT_VALUE_FIXED,   // always the default
    PORT_VALUE_CHOSEN,  // the creator's choice (the add-port wizard's settings
                        // record); the default when the creator has none
    PORT_VALUE_MONITOR, // the monitor key's 4-byte REG_DWORD of the same
                        // name; the default when there is none
};

// One registry value of a new port.
struct PortValueDefault {
    const char* name;
    DWORD type;            // REG_DWORD, REG_SZ or REG_BINARY
    DWORD number;          // the default of a REG_DWORD
    const char* text;      // the default of a text: `size` bytes, stored
    DWORD size;            // without a terminator (PassWord: one zero byte)
    PortValueSource source;
};

// The index-th value (from 0) of a new port of `protocol`, in the order a
// new port key gets them: first the values every port has (PrintMode, whose
// default is `protocol`; NonSpool; Reconnection), then the protocol's own
// (none for a protocol above 3). False past the last one.
bool NewPortValue(DWORD protocol, size_t index, PortValueDefault* value);

// The default of the REG_DWORD `name` of a new port of `protocol`; 0 when the
// protocol has no such value.
DWORD NewPortNumber(DWORD protocol, const char* name);

// The number a new port gets for a PORT_VALUE_MONITOR value: the 4-byte
// REG_DWORD of the same name under HKEY_LOCAL_MACHINE\`monitorKey`, else the
// value's default.
DWORD MonitorKeyNumber(const char* monitorKey, const PortValueDefault& value);
