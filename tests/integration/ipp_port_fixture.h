// A fixture printing through an IPP port of a copy of the monitor DLL: the
// job runs on a thread of its own through the spooler stand-in (as for LPR
// ports), so that the test thread can answer message boxes, windows and the
// password dialog.
#pragma once

#include <string>
#include <vector>

#include "integration/ipp_peers.h"
#include "integration/lpr_peers.h"
#include "standin/spooler_standin.h"

const char kIppPrinter[] = "LPRTEST"; // the printer LprJobTest prints to

struct IppPortOptions {
    std::string url;
    DWORD chunked = 0;
    DWORD maxChunk = 4096;
    DWORD timeoutMs = 20000; // receive and send time-out of the port
    std::string proxy;       // with a proxy: its host and port
    DWORD proxyPort = 0;
    DWORD nonSpool = 0;
};

class IppPortTest : public LprJobTest {
protected:
    void SetUp() override
    {
        LprJobTest::SetUp();
        // The texts the tests recognise each message by.
        m.UseCatalogue("[MESSAGE]\r\nTITLE=IPP test\r\nIDS_IPP_SEND_ERROR=send error\r\n"
                       "IDS_IPP_SEND_ERR_CODE=error code %s\r\nIDS_LPR_RETRY=check the printer\r\n"
                       "IDS_IPP_TIMEOUT=no answer\r\nIDS_IPP_RETRY=printer offline\r\n"
                       "IDS_IPP_NOT_AUTHORIZED=not authorized\r\nIDS_IPP_FORBIDDEN=forbidden\r\n"
                       "IDS_LPR_RETRY_TOP=restart from the top\r\n");
    }

    // Registers an IPP port (again: a job start reads its settings anew).
    void AddPort(const std::string& name, const IppPortOptions& o)
    {
        m.SetPortDword(name, "PrintMode", 1);
        m.SetPortText(name, "URL", o.url);
        m.SetPortText(name, "Language", "en-us");
        m.SetPortDword(name, "Chunked", o.chunked);
        m.SetPortDword(name, "MaxChunk", o.maxChunk);
        m.SetPortDword(name, "UseProxy", o.proxy.empty() ? 0 : 1);
        m.SetPortText(name, "ProxyName", o.proxy);
        m.SetPortDword(name, "ProxyNum", o.proxyPort);
        m.SetPortDword(name, "CmdTmout", o.timeoutMs);
        m.SetPortDword(name, "DatTmout", o.timeoutMs);
        m.SetPortDword(name, "NonSpool", o.nonSpool);
        m.SetPortDword(name, "Base64", 0);
        m.SetPortDword(name, "JobSheets", 0);
    }

    // The printer statuses the monitor pushed to the spooler so far.
    static std::vector<DWORD> PushedPrinterStatuses()
    {
        std::vector<DWORD> statuses;
        for (const std::string& call : StandinCallLog()) {
            size_t status = call.find("status=0x");
            if (call.compare(0, 12, "SetPrinterA ") == 0 && status != std::string::npos)
                statuses.push_back(static_cast<DWORD>(strtoul(call.c_str() + status + 9, nullptr, 16)));
        }
        return statuses;
    }
};
