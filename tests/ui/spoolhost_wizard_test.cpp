// `spoolhost wizard`: the spooler host opens the monitor's add-port wizard,
// whose port-name check sees the monitor's own ports in the spooler's list.
#include <gtest/gtest.h>

#include <string>

#include "support/dll_monitor.h"
#include "support/test_files.h"
#include "support/ui_driver.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

namespace {

// A visible top-level dialog of process `processId` holding control `id`.
struct ProcessDialog {
    DWORD processId;
    int id;
    HWND found;
};

BOOL CALLBACK FindProcessDialog(HWND window, LPARAM parameter)
{
    ProcessDialog* query = reinterpret_cast<ProcessDialog*>(parameter);
    char className[16] = "";
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == query->processId && IsWindowVisible(window) && GetClassNameA(window, className, sizeof className) &&
        lstrcmpA(className, "#32770") == 0 && GetDlgItem(window, query->id)) {
        query->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitProcessDialog(DWORD processId, int id)
{
    ProcessDialog query{processId, id, nullptr};
    WaitUntil([&] {
        EnumWindows(FindProcessDialog, reinterpret_cast<LPARAM>(&query));
        return query.found != nullptr;
    }, 15000);
    return query.found;
}

TEST(SpoolhostWizard, OpensTheWizardWhichTakesTheMonitorsPortsAsTaken)
{
    DllMonitor m;
    m.SetPortDword("LPR1", "PrintMode", 0);
    m.UseCatalogue("[MESSAGE]\r\nTITLE=Fixture caption\r\nIDS_PORTALREADYEXISTS_S=Fixture exists %s\r\n");
    std::string output = TempDir() + m.model + "-wizard.out";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    std::string line = "\"" + ProgramDir() + "spoolhost.exe\" --dll \"" + m.path + "\" wizard";
    PROCESS_INFORMATION host = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &host));
    CloseHandle(out);
    CloseHandle(host.hThread);

    HWND frame = WaitProcessDialog(host.dwProcessId, IDC_WIZ_NEXT);
    EXPECT_NE(nullptr, frame) << "the wizard opened";
    if (frame) {
        auto page = [&](int index) { return GetDlgItem(frame, kWizardPageIdBase + index); };
        auto shown = [&](int index) { return WaitUntil([&] { return IsWindowVisible(page(index)) != FALSE; }); };
        Click(page(0), IDC_QXRAW);
        EXPECT_TRUE(WaitUntil([&] { return IsDlgButtonChecked(page(0), IDC_QXRAW) == BST_CHECKED; }));
        Click(frame, IDC_WIZ_NEXT);
        EXPECT_TRUE(shown(WIZARD_PAGE_RAW_SERVER));
        SetControlText(page(WIZARD_PAGE_RAW_SERVER), IDC_HOST_EDIT, "127.0.0.1");
        Click(frame, IDC_WIZ_NEXT);
        EXPECT_TRUE(shown(WIZARD_PAGE_PORT_NAME));
        SetControlText(page(WIZARD_PAGE_PORT_NAME), IDC_PORT_NAME_EDIT, "lpr1");
        Click(frame, IDC_WIZ_NEXT);
        HWND box = WaitProcessDialog(host.dwProcessId, kMessageBoxTextId);
        EXPECT_NE(nullptr, box);
        if (box) {
            EXPECT_EQ("Fixture exists lpr1", ControlText(box, kMessageBoxTextId));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
        Click(frame, IDCANCEL);
    }
    if (WaitForSingleObject(host.hProcess, 15000) != WAIT_OBJECT_0)
        TerminateProcess(host.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(host.hProcess, &code);
    CloseHandle(host.hProcess);
    EXPECT_EQ(1u, code);
    std::string printed = ReadFileBytes(output);
    EXPECT_NE(std::string::npos, printed.find("AddPort: FALSE (error 1223)")) << printed;
    DeleteFileA(output.c_str());
}

} // namespace
