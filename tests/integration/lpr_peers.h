// What the LPR tests share: the two line printer daemons on 127.0.0.1:515
// (LPRng, and fake_lpd.py with its fault modes), reading what they stored,
// and a fixture that prints through an LPR port of a copy of the monitor DLL.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "standin/print_job.h"
#include "support/dll_monitor.h"
#include "support/peer_process.h"
#include "support/ui_driver.h"
#include "support/test_files.h"

// Every LPR connection goes to the printer service port.
const WORD kLpdPort = 515;
const char kLprQueue[] = "lp1";
// A job that prints does so within this bound (a 50 MiB job included).
const DWORD kJobBoundMs = 60000;

// LPRng with queue lp1 spooling into <peer>/spool/lp1.
inline bool StartLprng(PeerProcess* peer, bool reservedOnly = false)
{
    std::string command = "exec /bin/bash " + ShellQuote(PeersDir() + "/lprng.sh") + " " + ShellQuote(peer->unixDir) +
                          " " + std::to_string(kLpdPort) + (reservedOnly ? " reserved-only" : "");
    return peer->Start(command, kLpdPort) && peer->WaitReady();
}

// fake_lpd.py recording into <peer>/jobs, with fault options.
inline bool StartFakeLpd(PeerProcess* peer, const std::string& options = "")
{
    std::string command = std::string("exec ") + kPython + " " + ShellQuote(PeersDir() + "/fake_lpd.py") + " --port " +
                          std::to_string(kLpdPort) + " --dir " + ShellQuote(peer->unixDir + "/jobs") +
                          " --lifetime 60 " + options;
    return peer->Start(command, kLpdPort) && peer->WaitReady();
}

// Names of the files matching a pattern in a directory, sorted.
inline std::vector<std::string> ListFiles(const std::string& dir, const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// fake_lpd.py's record of connection n (1-based), once the connection has ended.
inline std::string Record(PeerProcess& server, int n)
{
    std::string name = "jobs\\conn-" + std::to_string(n) + ".json";
    EXPECT_TRUE(server.WaitFile(name)) << server.error;
    return ReadFileBytes(server.Path(name));
}
// The data bytes fake_lpd.py received on connection n.
inline std::string Received(PeerProcess& server, int n)
{
    return ReadFileBytes(server.Path("jobs\\conn-" + std::to_string(n) + ".df"));
}
// Connections fake_lpd.py has ended so far.
inline size_t Connections(PeerProcess& server)
{
    return ListFiles(server.Path("jobs"), "conn-*.json").size();
}

// The local host name as the client puts it into the job (at most 31 bytes).
inline std::string ClientHostName()
{
    EnsureWinsock();
    char host[65] = "";
    if (gethostname(host, sizeof host) != 0 || !host[0])
        return "localhost";
    return std::string(host).substr(0, 31);
}

// Three-digit job number and host: "007vm".
inline std::string JobFileStem(DWORD jobId)
{
    char number[8];
    snprintf(number, sizeof number, "%03lu", static_cast<unsigned long>(jobId % 1000));
    return number + ClientHostName();
}

class LprJobTest : public ::testing::Test {
protected:
    DllMonitor m;
    std::string source;

    void SetUp() override
    {
        EnsureWinsock();
        source = TempDir() + m.model + "-lpr-source.bin";
    }
    void TearDown() override { DeleteFileA(source.c_str()); }

    // An LPR port to 127.0.0.1 queue lp1; call before Load.
    void AddPort(const std::string& name, DWORD noByteCount, DWORD nonRfcPorts = 1, DWORD timeoutMs = 20000)
    {
        m.SetPortDword(name, "PrintMode", 0);
        m.SetPortText(name, "HostName", "127.0.0.1");
        m.SetPortText(name, "PortName", kLprQueue);
        m.SetPortDword(name, "NonRFCPorts", nonRfcPorts);
        m.SetPortDword(name, "NonByteCount", noByteCount);
        m.SetPortDword(name, "CmdTmout", timeoutMs);
        m.SetPortDword(name, "DatTmout", timeoutMs);
        m.SetPortDword(name, "NonSpool", 0);
    }

    // The texts the tests recognise each message by.
    void UseTestCatalogue()
    {
        m.UseCatalogue("[MESSAGE]\r\nTITLE=LPR test\r\nIDS_IPP_SEND_ERROR=send error\r\n"
                       "IDS_LPR_RETRY_TOP=restart from the top\r\nIDS_LPR_QUEUE_ERR=check the queue\r\n"
                       "IDS_LPR_RETRY=check the printer\r\n");
    }

    // Starts printing `data` as job `jobId` on the job's own thread.
    std::unique_ptr<PrintJob> StartPrint(const std::string& port, const std::string& data, DWORD jobId,
                                         const std::string& user = "alice", const std::string& document = "Report")
    {
        EXPECT_TRUE(std::ofstream(source, std::ios::binary) << data) << source;
        PrintRequest request;
        request.port = port;
        request.printer = "LPRTEST";
        request.input = source;
        request.user = user;
        request.document = document;
        request.jobId = jobId;
        request.blockSize = 65536;
        std::unique_ptr<PrintJob> job(new PrintJob(m.table()));
        std::string error;
        bool started = job->Prepare(request, &error) && job->Start(&error);
        EXPECT_TRUE(started) << error;
        return started ? std::move(job) : nullptr;
    }

    // Waits for the job's end; a job still running after the bound has its
    // windows closed (captured first) until it ends. True when it ended in time.
    static bool Finish(PrintJob* job, DWORD boundMs = kJobBoundMs)
    {
        if (!job)
            return false;
        if (job->WaitDone(boundMs))
            return true;
        for (int round = 0; round < 100 && !job->WaitDone(100); ++round) {
            if (HWND dialog = FindDialog(0, nullptr, 0)) {
                CaptureWindow(dialog, "lpr-job-stuck");
                CloseDialog(dialog);
            }
        }
        return false;
    }

    // Prints and waits; true when the job ended in time and succeeded.
    bool Print(const std::string& port, const std::string& data, DWORD jobId, const std::string& user = "alice",
               const std::string& document = "Report")
    {
        std::unique_ptr<PrintJob> job = StartPrint(port, data, jobId, user, document);
        bool ended = Finish(job.get());
        EXPECT_TRUE(ended) << "job " << jobId << " did not end";
        if (ended && !job->Succeeded())
            ADD_FAILURE() << "job " << jobId << ": " << job->Failure();
        return ended && job->Succeeded();
    }
};
