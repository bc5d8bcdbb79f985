// The LPR and Raw configuration dialog and the one-at-a-time guards of the
// administration calls, as real windows driven from the test thread.
#include <gtest/gtest.h>

#include <string>

#include "monitor/config_store.h"
#include "monitor/model.h"
#include "monitor/monitor.h"
#include "monitor/port_admin.h"
#include "monitor/port_ops.h"
#include "resource.h"
#include "support/fresh_monitor.h"
#include "support/ui_driver.h"
#include "support/test_files.h"
#include "text/catalogue.h"
#include "ui/config/lpr_raw_dialog.h"

namespace {

const char kMessages[] = "[MESSAGE]\r\nTITLE=Fixture caption\r\nIDS_INVALID_TIMEOUT=Fixture bad time-out\r\n"
                         "IDS_CONF_PORT_LIMIT=Fixture one dialog\r\nIDS_ADD_PORT_LIMIT=Fixture one wizard\r\n";
const char kDialogs[] = "[TITLE]\r\nCONFIG=Fixture settings\r\nVERSION=Fixture version\r\n"
                        "[BUTTON]\r\nIDOK=Fixture OK\r\nCHK_RECONNECT=Fixture reconnect\r\n"
                        "[LABEL]\r\nIDC_TIMEOUT=Fixture time-out\r\n[FONT]\r\nDEFAULT=Arial,14,ANSI\r\n";

class ConfigDialog : public ::testing::Test {
protected:
    FreshMonitor monitor;
    UiThread* run = nullptr;

    void SetUp() override
    {
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        ASSERT_TRUE(RegisterNewPort(nullptr, "LP1", PROTOCOL_LPR));
    }

    void TearDown() override
    {
        if (run && !JoinUiThread(run, nullptr, 0))
            ADD_FAILURE() << "a dialog was left open";
        SharedWrite(&g_addDialogOpen, 0);
    }

    HWND Open(const char* port, DWORD protocol = PROTOCOL_LPR)
    {
        std::string name = port;
        run = StartUiThread([name, protocol] { return RunLprRawConfigDialog(nullptr, name.c_str(), protocol); });
        return run ? WaitDialog(run->threadId, nullptr, IDC_CFG_TIMEOUT_EDIT) : nullptr;
    }

    // The dialog's result, or -2 when it did not end in time.
    INT_PTR Finish()
    {
        INT_PTR result = -2;
        bool ended = JoinUiThread(run, &result);
        run = nullptr;
        return ended ? result : -2;
    }

    DWORD PortDword(const char* port, const char* value)
    {
        DWORD data = 0xDEAD, size = sizeof data;
        QueryRegValue(HKEY_LOCAL_MACHINE, monitor.PortKey(port).c_str(), value, &data, &size, nullptr);
        return data;
    }
};

TEST_F(ConfigDialog, ShowsStoredValuesAndCancelWritesNothing)
{
    monitor.SetPortDword("RAW1", "PrintMode", PROTOCOL_RAW);
    monitor.SetPortDword("RAW1", "DatTmout", 61999);
    monitor.SetPortDword("RAW1", "Reconnection", 1);
    struct Case {
        const char* port;
        DWORD protocol;
        const char* seconds;
        UINT reconnect;
    } cases[] = {{"LP1", PROTOCOL_LPR, "900", BST_UNCHECKED}, {"RAW1", PROTOCOL_RAW, "61", BST_CHECKED}};
    for (const Case& c : cases) {
        DWORD before = PortDword(c.port, "DatTmout");
        HWND dialog = Open(c.port, c.protocol);
        ASSERT_NE(nullptr, dialog) << c.port;
        EXPECT_EQ(std::string("Fixture settings - ") + c.port, WindowText(dialog));
        EXPECT_EQ(c.seconds, ControlText(dialog, IDC_CFG_TIMEOUT_EDIT));
        EXPECT_EQ(c.reconnect, IsDlgButtonChecked(dialog, IDC_CFG_RECONNECT)) << c.port;
        EXPECT_EQ("Fixture time-out", ControlText(dialog, IDC_CFG_TIMEOUT));
        EXPECT_EQ("Fixture reconnect", ControlText(dialog, IDC_CFG_RECONNECT));
        SetControlText(dialog, IDC_CFG_TIMEOUT_EDIT, "120");
        Click(dialog, IDCANCEL);
        EXPECT_EQ(0, Finish()) << c.port;
        EXPECT_EQ(before, PortDword(c.port, "DatTmout")) << "Cancel writes nothing";
    }
}

TEST_F(ConfigDialog, VersionButtonOpensTheVersionDialog)
{
    HWND dialog = Open("LP1");
    ASSERT_NE(nullptr, dialog);
    Click(dialog, IDC_CFG_VERSION);
    HWND version = WaitDialog(run->threadId, nullptr, IDC_VERSION01);
    ASSERT_NE(nullptr, version);
    EXPECT_EQ("Fixture version", WindowText(version));
    Click(version, IDOK);
    EXPECT_TRUE(WaitWindowGone(version));
    Click(dialog, IDCANCEL);
    EXPECT_EQ(0, Finish());
}

TEST_F(ConfigDialog, OkChecksTheTimeoutThenWritesBothTimeoutsAndReconnection)
{
    HWND dialog = Open("LP1");
    ASSERT_NE(nullptr, dialog);
    // 4294967356 is 60 once wrapped to 32 bits.
    for (const char* refused : {"59", "3601", "", "6O", "-60", "4294967356"}) {
        SetControlText(dialog, IDC_CFG_TIMEOUT_EDIT, refused);
        Click(dialog, IDOK);
        MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
        EXPECT_TRUE(box.found) << refused;
        EXPECT_EQ("Fixture bad time-out", box.text) << refused;
        EXPECT_EQ("Fixture caption", box.caption);
        EXPECT_TRUE(WaitUntil([&] { return CountDialogs(run->threadId, nullptr, kMessageBoxTextId) == 0; }));
        EXPECT_TRUE(IsWindowVisible(dialog)) << refused << ": the dialog stays open";
    }
    EXPECT_EQ(900000u, PortDword("LP1", "CmdTmout"));

    struct Case {
        const char* seconds;
        UINT check;
        DWORD ms, reconnect;
    } cases[] = {{"60", BST_CHECKED, 60000, 1}, {"3600", BST_UNCHECKED, 3600000, 0}};
    for (const Case& c : cases) {
        if (!dialog) {
            ASSERT_NE(nullptr, dialog = Open("LP1"));
        }
        SendMessageA(GetDlgItem(dialog, IDC_CFG_RECONNECT), BM_SETCHECK, c.check, 0);
        SetControlText(dialog, IDC_CFG_TIMEOUT_EDIT, c.seconds);
        Click(dialog, IDOK);
        EXPECT_EQ(1, Finish()) << c.seconds;
        dialog = nullptr;
        EXPECT_EQ(c.ms, PortDword("LP1", "CmdTmout"));
        EXPECT_EQ(c.ms, PortDword("LP1", "DatTmout"));
        EXPECT_EQ(c.reconnect, PortDword("LP1", "Reconnection"));
    }
}

TEST_F(ConfigDialog, PortDeletedMeanwhileClosesOnOkWithoutSaving)
{
    HWND dialog = Open("LP1");
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(DeletePort(nullptr, nullptr, const_cast<char*>("LP1"))) << "the dialog holds no port record";
    SetControlText(dialog, IDC_CFG_TIMEOUT_EDIT, "120");
    Click(dialog, IDOK);
    EXPECT_EQ(0, Finish()) << "a save that failed";
    HKEY key;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, monitor.PortKey("LP1").c_str(), 0, KEY_READ, &key));
}

TEST_F(ConfigDialog, OneConfigurationDialogAtATimeAndItsMutexIsReleased)
{
    run = StartUiThread([] { return static_cast<INT_PTR>(ConfigurePort(nullptr, nullptr, const_cast<char*>("LP1"))); });
    ASSERT_NE(nullptr, run);
    HWND dialog = WaitDialog(run->threadId, nullptr, IDC_CFG_TIMEOUT_EDIT);
    ASSERT_NE(nullptr, dialog);
    HANDLE mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "Configure " PRODUCT_PORT_TEXT);
    ASSERT_NE(nullptr, mutex);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(mutex, 0)) << "held while the dialog is open";

    UiThread* second = StartUiThread([] { return static_cast<INT_PTR>(ConfigurePort(nullptr, nullptr, const_cast<char*>("LP1"))); });
    MessageBoxSeen box = AnswerMessageBox(second ? second->threadId : 0, IDOK);
    EXPECT_EQ("Fixture one dialog", box.text);
    INT_PTR secondResult = 0;
    EXPECT_TRUE(JoinUiThread(second, &secondResult));
    EXPECT_EQ(TRUE, secondResult);
    EXPECT_EQ(1, CountDialogs(0, nullptr, IDC_CFG_TIMEOUT_EDIT));

    Click(dialog, IDCANCEL);
    EXPECT_EQ(TRUE, Finish());
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(mutex, 0)) << "released, not abandoned";
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    EXPECT_EQ(0, SharedRead(&g_configureDialogOpen));
}

TEST_F(ConfigDialog, SecondWizardIsRefusedWithAMessage)
{
    SharedWrite(&g_addDialogOpen, 1); // a wizard is open
    run = StartUiThread([] { return static_cast<INT_PTR>(AddPort(nullptr, nullptr, nullptr)); });
    MessageBoxSeen box = AnswerMessageBox(run ? run->threadId : 0, IDOK);
    EXPECT_EQ("Fixture one wizard", box.text);
    EXPECT_EQ(TRUE, Finish());
    EXPECT_EQ(1, SharedRead(&g_addDialogOpen)) << "the open wizard keeps its claim";
}

// Not a test: images of the dialogs with the shipped catalogues for
// `./run screenshots`, which sets SCREENSHOT_DIR (a Windows path); only then
// does this program have it.
class DialogScreenshots : public ConfigDialog {
    void TestBody() override
    {
        monitor.SetPortDword("RAW1", "PrintMode", PROTOCOL_RAW);
        for (std::string language : {"en", "ja"}) {
            monitor.InstallShippedCatalogues(language);
            for (DWORD protocol : {PROTOCOL_LPR, PROTOCOL_RAW}) {
                HWND dialog = Open(protocol == PROTOCOL_LPR ? "LP1" : "RAW1", protocol);
                ASSERT_NE(nullptr, dialog);
                EXPECT_TRUE(SaveScreenshot(dialog, (protocol == PROTOCOL_LPR ? "lpr_config_" : "raw_config_") + language));
                if (protocol == PROTOCOL_LPR) {
                    Click(dialog, IDC_CFG_VERSION);
                    HWND version = WaitDialog(run->threadId, nullptr, IDC_VERSION01);
                    ASSERT_NE(nullptr, version);
                    EXPECT_TRUE(SaveScreenshot(version, "version_" + language));
                    Click(version, IDOK);
                    EXPECT_TRUE(WaitWindowGone(version));
                }
                Click(dialog, IDCANCEL);
                EXPECT_EQ(0, Finish());
            }
        }
    }
};

[[maybe_unused]] const bool kScreenshotsWanted = GetEnvironmentVariableA("SCREENSHOT_DIR", nullptr, 0) > 0 &&
                                ::testing::RegisterTest("Screenshots", "Dialogs", nullptr, nullptr, __FILE__, __LINE__,
                                                        []() -> ConfigDialog* { return new DialogScreenshots; });

} // namespace
