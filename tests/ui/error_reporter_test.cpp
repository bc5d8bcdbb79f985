// The error reporter with its real windows: the transmission-error window,
// the password dialog and the catalogue message boxes, driven from the test
// thread while the reporter runs on a sender thread of its own. Timing is
// scaled so that the window's 10 s take 100 ms (or 1 s where the test must
// act before them).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "monitor/error_reporter.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "resource.h"
#include "standin/spooler_standin.h"
#include "support/fresh_monitor.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"

namespace {

const char kPrinter[] = "Printer1";
const char kWindowCaption[] = "Fixture error window";
const char kBoxCaption[] = "Fixture box caption";
const DWORD kFast = 100; // 10 s -> 100 ms: the window retries by itself at once
const DWORD kSlow = 10;  // 10 s -> 1 s: time for the test to act first
// Hiding a window under Wine on a display without a window manager can take
// 2 s; a close request is given 10 x 500 ms for that.
const DWORD kClosePollForWine = 500;

const char kMessages[] = "[MESSAGE]\r\n"
                         "TITLE=Fixture box caption\r\n"
                         "IDS_LPR_RETRY=Fixture printer offline\\nRetry resumes\r\n"
                         "IDS_LPR_QUEUE_ERR=Fixture queue name wrong\r\n"
                         "IDS_IPP_RETRY=Fixture IPP printer off\r\n"
                         "IDS_IPP_TIMEOUT=Fixture no answer\r\n"
                         "IDS_LPR_RETRY_TOP=Fixture restart from the top\r\n"
                         "IDS_IPP_SEND_ERR_CODE=Fixture send error code %s\r\n"
                         "IDS_IPP_SEND_ERROR=Fixture send error\r\n"
                         "IDS_IPP_FORBIDDEN=Fixture forbidden\r\n"
                         "IDS_IPP_NOT_AUTHORIZED=Fixture not authorised\r\n"
                         "IDS_SMTP_SERVER_NONE=Fixture SMTP none\r\n"
                         "IDS_SMTP_SERVER_ERROR=Fixture SMTP error\r\n"
                         "IDS_SMTP_PROTOCOL_ERROR=Fixture SMTP protocol\r\n"
                         "IDS_SMTP_ADDRMISS=Fixture SMTP address\r\n"
                         "IDS_SMTP_OVER_DIVISION=Fixture SMTP division\r\n";

const char kDialogs[] = "[TITLE]\r\nRETRY=Fixture error window\r\nPASS=Fixture password dialog\r\n"
                        "[BUTTON]\r\nIDC_RETRY=Fixture retry\r\nIDCANCEL=Fixture cancel\r\nIDOK=Fixture OK\r\n"
                        "[LABEL]\r\nIDC_SETUMEI11=Fixture explanation\r\nIDC_NAME=Fixture user\r\n"
                        "IDC_KEYWORD=Fixture password\r\n"
                        "[FONT]\r\nDEFAULT=Arial,14,ANSI\r\n";

HICON IconOf(HWND dialog)
{
    HICON icon = nullptr;
    for (HWND child = GetWindow(dialog, GW_CHILD); child && !icon; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    return icon;
}

// A message box as the reporter showed it.
struct Box {
    bool found;
    std::string caption;
    std::string text;
    bool retryCancel; // Retry and Cancel buttons, else OK alone
    HICON icon;
};

Box AnswerBox(int answer)
{
    Box box{false, "", "", false, nullptr};
    HWND window = WaitDialog(0, nullptr, kMessageBoxTextId);
    if (!window)
        return box;
    box = Box{true, WindowText(window), ControlText(window, kMessageBoxTextId),
              GetDlgItem(window, IDRETRY) && GetDlgItem(window, IDCANCEL), IconOf(window)};
    PostCommand(window, answer);
    return box;
}

HICON Stop()
{
    return LoadIconA(nullptr, IDI_HAND);
}
HICON Warning()
{
    return LoadIconA(nullptr, IDI_EXCLAMATION);
}

// Counts the caption flashes (WM_NCACTIVATE) on the window's thread.
LONG s_flashes;
LRESULT CALLBACK CountFlashes(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && reinterpret_cast<CWPSTRUCT*>(lParam)->message == WM_NCACTIVATE)
        InterlockedIncrement(&s_flashes);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool Logged(const std::string& call)
{
    std::vector<std::string> log = StandinCallLog();
    return std::find(log.begin(), log.end(), call) != log.end();
}

class ErrorReporter : public ::testing::Test {
protected:
    FreshMonitor monitor;
    PortRecord* port = nullptr;
    DWORD job = 0;

    void SetUp() override
    {
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        StandinReset();
        StandinAddPrinter(kPrinter, "P1", 0);
        job = StandinAddJob(kPrinter, "doc", "user", "RAW", 1000);
        UseTiming(kFast);
        port = CreatePortRecord(nullptr, "P1", "type", PROTOCOL_IPP);
        ASSERT_NE(nullptr, port);
        ASSERT_TRUE(g_monitor.host.OpenPrinterA(const_cast<char*>(kPrinter), &port->printer, nullptr));
        port->jobId = job;
        InterlockedIncrement(&port->jobGeneration); // as the job's start does
    }

    void TearDown() override
    {
        if (!port)
            return;
        // Nothing may stay on screen, and no window thread may outlive the record.
        if (HWND left = FindDialog(0, nullptr, 0)) {
            ADD_FAILURE() << "a window was left open: " << WindowText(left);
            if (!WaitWindowGone(left, 0))
                WaitWindowGone(left);
        }
        bool released = WaitUntil([&] { return SharedRead(&port->useCount) == 0; });
        EXPECT_TRUE(released) << "an error window thread still holds the port";
        g_monitor.host.ClosePrinter(port->printer);
        if (released)
            RemovePortRecord(port);
    }

    void UseTiming(DWORD divisor)
    {
        MonitorHostServices services = StandinServices(divisor);
        InstallHostServices(&services);
        g_timing.errorWindowClosePoll = std::max(g_timing.errorWindowClosePoll, kClosePollForWine);
    }

    UiThread* Report(DWORD code)
    {
        port->errorCode = code;
        PortRecord* p = port;
        return StartUiThread([p] { return static_cast<INT_PTR>(ReportTransmissionError(p)); });
    }

    // The reporter's answer, or -1 when it did not come within the bound.
    INT_PTR Answer(UiThread* sender, DWORD boundMs = kUiWaitMs)
    {
        INT_PTR result = -1;
        return JoinUiThread(sender, &result, boundMs) ? result : -1;
    }

    bool JobCancelled()
    {
        StandinJobView view{};
        return StandinJob(job, &view) && (view.status & JOB_STATUS_DELETING) != 0;
    }

    std::string CancelCall(DWORD id) { return "SetJobA " + std::to_string(id) + " level=0 cmd=3"; }

    LONG State() { return SharedRead(&port->errorWindowState); }
    LONG Open() { return SharedRead(&port->errorWindowOpen); }
};

} // namespace

TEST_F(ErrorReporter, WindowRetriesByItselfFlashesAndClosesOnSuccess)
{
    UiThread* sender = Report(ERR_TIMEOUT);
    HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("Fixture printer offline\r\nRetry resumes", ControlText(window, IDC_ERROR_TEXT));
    EXPECT_EQ("Fixture retry", ControlText(window, IDC_RETRY));
    EXPECT_EQ("Fixture cancel", ControlText(window, IDCANCEL));
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND))
        << "Close stays in the menu";
    EXPECT_EQ(Warning(), IconOf(window));
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(599, outer.right - outer.left);
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountFlashes, nullptr, GetWindowThreadProcessId(window, nullptr));

    // Nobody answers: after the (scaled) 10 s the sender goes on by itself.
    EXPECT_EQ(1, Answer(sender));
    EXPECT_EQ(WINDOW_SELF_RETRYING, State());
    EXPECT_EQ(1, Open());
    s_flashes = 0;
    EXPECT_TRUE(WaitUntil([] { return SharedRead(&s_flashes) >= 3; })) << "the window does not flash";
    EXPECT_TRUE(IsWindow(window));

    // Further failures of the job answer retry at once; the window keeps its text.
    for (DWORD code : {ERR_TIMEOUT, ERR_LPR_QUEUE}) {
        EXPECT_EQ(1, Answer(Report(code), 1000)) << code;
        EXPECT_EQ(1, CountDialogs(0, kWindowCaption, IDC_RETRY));
    }
    EXPECT_EQ("Fixture printer offline\r\nRetry resumes", ControlText(window, IDC_ERROR_TEXT));

    // A successful send closes it.
    EXPECT_TRUE(RequestErrorWindowClose(port));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0, Open());
    CloseErrorWindow(port);
    EXPECT_EQ(0, Open());
    EXPECT_FALSE(JobCancelled());
    if (hook)
        UnhookWindowsHookEx(hook);
}

TEST_F(ErrorReporter, CancelBeforeTheWindowRetriesGivesUpAndLeavesTheJob)
{
    UseTiming(kSlow);
    UiThread* sender = Report(ERR_TIMEOUT);
    HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    ASSERT_EQ(WINDOW_IDLE, State()) << "the test came too late to answer first";
    Click(window, IDCANCEL);
    EXPECT_EQ(0, Answer(sender));
    EXPECT_EQ(0, Open());
    EXPECT_FALSE(JobCancelled());
    EXPECT_FALSE(Logged(CancelCall(job)));
}

TEST_F(ErrorReporter, RetryAnswersRetryWithEachWindowMessage)
{
    UseTiming(kSlow);
    struct Case {
        DWORD code;
        const char* text;
    };
    const Case cases[] = {{ERR_TIMEOUT, "Fixture printer offline\r\nRetry resumes"},
                          {ERR_LPR_QUEUE, "Fixture queue name wrong"},
                          {ERR_IPP_NO_ANSWER, "Fixture no answer"},
                          {ERR_IPP_PRINTER_STOPPED, "Fixture IPP printer off"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        port->bytesSent = 500;
        UiThread* sender = Report(c.code);
        HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY);
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(c.text, ControlText(window, IDC_ERROR_TEXT));
        ASSERT_EQ(WINDOW_IDLE, State()) << "the test came too late to answer first";
        Click(window, IDC_RETRY);
        EXPECT_EQ(1, Answer(sender));
        EXPECT_EQ(WINDOW_RETRY, State());
        EXPECT_EQ(0, Open());
        EXPECT_EQ(500u, port->bytesSent) << "a retry resumes where sending stopped";
        EXPECT_TRUE(WaitWindowGone(window));
    }
    EXPECT_FALSE(JobCancelled());
}

TEST_F(ErrorReporter, CancelWhileRetryingByItselfCancelsTheJob)
{
    UiThread* sender = Report(ERR_TIMEOUT);
    HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(1, Answer(sender));
    ASSERT_EQ(WINDOW_SELF_RETRYING, State());
    Click(window, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(window));
    EXPECT_TRUE(WaitUntil([&] { return Open() == 0; }));
    EXPECT_TRUE(JobCancelled());
    EXPECT_TRUE(Logged(CancelCall(job)));
}

// A close request while the user still decides ends the window, as Retry,
// when the user's time is up; the request sees it gone although its last
// state is "retry", not "idle".
TEST_F(ErrorReporter, CloseRequestBeforeTheUserDecides)
{
    UseTiming(kSlow);
    UiThread* sender = Report(ERR_TIMEOUT);
    HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(RequestErrorWindowClose(port));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1, Answer(sender));
    EXPECT_EQ(WINDOW_RETRY, State());
    EXPECT_FALSE(JobCancelled());
}

TEST_F(ErrorReporter, WindowOutlivingItsJobLeavesTheNextJobAlone)
{
    UiThread* sender = Report(ERR_TIMEOUT);
    HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(1, Answer(sender));

    // The next job starts on the port while the window is still up, and has
    // its own window retrying by itself.
    DWORD next = StandinAddJob(kPrinter, "doc2", "user", "RAW", 10);
    InterlockedIncrement(&port->jobGeneration);
    port->jobId = next;
    SharedWrite(&port->errorWindowState, WINDOW_SELF_RETRYING);
    SharedWrite(&port->errorWindowOpen, 1);

    Click(window, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(window));
    EXPECT_TRUE(WaitUntil([&] { return SharedRead(&port->useCount) == 0; }));
    EXPECT_EQ(WINDOW_SELF_RETRYING, State());
    EXPECT_EQ(1, Open());
    EXPECT_FALSE(Logged(CancelCall(next)));
    EXPECT_FALSE(Logged(CancelCall(job)));
    SharedWrite(&port->errorWindowOpen, 0);
}

TEST_F(ErrorReporter, WindowThatCannotBeShownAsksWithAMessageBox)
{
    HINSTANCE saved = g_monitor.instance;
    g_monitor.instance = GetModuleHandleA("kernel32.dll"); // holds no template 400
    UiThread* sender = Report(ERR_TIMEOUT);
    Box box = AnswerBox(IDRETRY);
    EXPECT_TRUE(box.found);
    EXPECT_EQ("Fixture printer offline\r\nRetry resumes", box.text);
    EXPECT_TRUE(box.retryCancel);
    EXPECT_EQ(1, Answer(sender));
    EXPECT_EQ(0, Open());

    sender = Report(ERR_LPR_QUEUE);
    box = AnswerBox(IDCANCEL);
    EXPECT_EQ("Fixture queue name wrong", box.text);
    EXPECT_EQ(0, Answer(sender));

    // Nor can the password dialog: the credentials count as refused.
    sender = Report(0x0402);
    box = AnswerBox(IDOK);
    EXPECT_EQ("Fixture not authorised", box.text);
    EXPECT_EQ(0, Answer(sender));
    g_monitor.instance = saved;
}

TEST_F(ErrorReporter, QuestionsForRestartAndForAnIppTimeout)
{
    struct Case {
        DWORD code;
        const char* text;
        int answer;
    };
    const char restart[] = "Fixture restart from the top";
    const Case cases[] = {{ERR_LPR_RECONNECT, restart, IDRETRY}, {ERR_RAW_RECONNECT, restart, IDRETRY},
                          {ERR_LPR_ACK, restart, IDRETRY},       {0, restart, IDCANCEL},
                          {7, restart, IDRETRY},                 {0x0509, restart, IDRETRY},
                          {ERR_IPP_TIMEOUT, "Fixture no answer", IDRETRY},
                          {ERR_IPP_TIMEOUT, "Fixture no answer", IDCANCEL}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        port->bytesSent = 1234;
        UiThread* sender = Report(c.code);
        Box box = AnswerBox(c.answer);
        EXPECT_EQ(kBoxCaption, box.caption);
        EXPECT_EQ(c.text, box.text);
        EXPECT_TRUE(box.retryCancel);
        EXPECT_EQ(Warning(), box.icon);
        EXPECT_EQ(c.answer == IDRETRY ? 1 : 0, Answer(sender));
        // Only a restart sends the job again from its first byte.
        EXPECT_EQ(c.code == ERR_IPP_TIMEOUT ? 1234u : 0u, port->bytesSent);
    }
}

TEST_F(ErrorReporter, StopAndWarningBoxesGiveUp)
{
    struct Case {
        DWORD code;
        const char* text;
        bool stop;
    };
    const Case cases[] = {{ERR_CONNECTION_LOST, "Fixture send error", true},
                          {ERR_IPP_SEND, "Fixture send error", true},
                          {0x0401, "Fixture forbidden", true},
                          {0x0405, "Fixture send error code 0405", true},
                          {0x0400, "Fixture send error code 0400", true},
                          {0x040a, "Fixture send error code 040a", true},
                          {0x0508, "Fixture send error code 0508", true},
                          {ERR_SMTP_SERVER_NONE, "Fixture SMTP none", false},
                          {ERR_SMTP_SERVER_ERROR, "Fixture SMTP error", false},
                          {ERR_SMTP_PROTOCOL, "Fixture SMTP protocol", false},
                          {ERR_SMTP_ADDRESS, "Fixture SMTP address", false},
                          {ERR_SMTP_PROTOCOL_2, "Fixture SMTP protocol", false},
                          {ERR_SMTP_AUTH, "Fixture not authorised", false},
                          {ERR_SMTP_OVER_DIVISION, "Fixture SMTP division", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        port->bytesSent = 77;
        UiThread* sender = Report(c.code);
        Box box = AnswerBox(IDOK);
        EXPECT_EQ(kBoxCaption, box.caption);
        EXPECT_EQ(c.text, box.text);
        EXPECT_FALSE(box.retryCancel);
        EXPECT_EQ(c.stop ? Stop() : Warning(), box.icon);
        EXPECT_EQ(0, Answer(sender));
        // Only the IPP status codes without a reaction of their own restart the job.
        bool restarts = c.code >= 0x0400 && c.code != 0x0401 && c.code <= 0x0508;
        EXPECT_EQ(restarts ? 0u : 77u, port->bytesSent);
    }
}

TEST_F(ErrorReporter, PasswordDialogOkStoresTheCredentialsForTheJob)
{
    UiThread* sender = Report(0x0402);
    HWND dialog = WaitDialog(0, "Fixture password dialog", IDC_USER_EDIT);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Fixture explanation", ControlText(dialog, IDC_SETUMEI11));
    EXPECT_EQ("Fixture user", ControlText(dialog, IDC_NAME));
    EXPECT_EQ("Fixture password", ControlText(dialog, IDC_KEYWORD));
    EXPECT_EQ("Fixture OK", ControlText(dialog, IDOK));
    EXPECT_EQ(64, SendDlgItemMessageA(dialog, IDC_USER_EDIT, EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ(64, SendDlgItemMessageA(dialog, IDC_PASSWORD_EDIT, EM_GETLIMITTEXT, 0, 0));
    EXPECT_NE(0, GetWindowLongA(GetDlgItem(dialog, IDC_PASSWORD_EDIT), GWL_STYLE) & ES_PASSWORD);
    // A text put in past the edit's limit is still cut to the record's field.
    std::string longUser(100, 'u');
    SetControlText(dialog, IDC_USER_EDIT, longUser.c_str());
    SetControlText(dialog, IDC_PASSWORD_EDIT, "s3cret");
    Click(dialog, IDOK);
    EXPECT_EQ(1, Answer(sender));
    IppSettings* ipp = IppOf(port);
    ASSERT_NE(nullptr, ipp);
    EXPECT_EQ(1u, ipp->authenticate);
    EXPECT_EQ(std::string(64, 'u'), ipp->userName);
    EXPECT_STREQ("s3cret", ipp->password);
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, monitor.PortKey("P1").c_str(), 0, KEY_READ, &key))
        << "credentials reached the registry";
}

TEST_F(ErrorReporter, PasswordDialogCancelReportsRefusedAuthentication)
{
    UiThread* sender = Report(0x0403);
    HWND dialog = WaitDialog(0, "Fixture password dialog", IDC_USER_EDIT);
    ASSERT_NE(nullptr, dialog);
    SetControlText(dialog, IDC_USER_EDIT, "bob");
    Click(dialog, IDCANCEL);
    Box box = AnswerBox(IDOK);
    EXPECT_EQ("Fixture not authorised", box.text);
    EXPECT_EQ(Stop(), box.icon);
    EXPECT_EQ(0, Answer(sender));
    EXPECT_EQ(0u, IppOf(port)->authenticate);
    EXPECT_STREQ("", IppOf(port)->userName);
}

TEST_F(ErrorReporter, PrinterNotReadyShowsTheWindowAndPushesTheStatus)
{
    UseTiming(kSlow);
    IppOf(port)->severityBits = 8;
    port->printerStatus = PRINTER_STATUS_PAUSED;
    UiThread* sender = Report(ERR_IPP_PRINTER_NOT_READY);
    HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("Fixture IPP printer off", ControlText(window, IDC_ERROR_TEXT));
    EXPECT_EQ(static_cast<DWORD>(PRINTER_STATUS_PAUSED), StandinPrinterStatus(kPrinter));
    Click(window, IDCANCEL);
    EXPECT_EQ(0, Answer(sender));

    IppOf(port)->severityBits = 0;
    port->printerStatus = PRINTER_STATUS_OFFLINE;
    sender = Report(ERR_IPP_PRINTER_NOT_READY);
    window = WaitDialog(0, kWindowCaption, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(static_cast<DWORD>(PRINTER_STATUS_OFFLINE), StandinPrinterStatus(kPrinter));
    Click(window, IDC_RETRY);
    EXPECT_EQ(1, Answer(sender));
}

// Without a catalogue the windows keep their templates' Japanese texts.
TEST_F(ErrorReporter, TemplateTextsWithoutCatalogue)
{
    DeleteFileA((monitor.installDir + "\\" DIALOG_CATALOGUE).c_str());
    DeleteFileA((monitor.installDir + "\\" MESSAGE_CATALOGUE).c_str());
    UseTiming(kSlow);
    UiThread* sender = Report(ERR_TIMEOUT);
    HWND window = WaitDialog(0, nullptr, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(ThroughAnsi(L"Network Printer エラーメッセージ"), WideWindowText(window));
    EXPECT_EQ(ThroughAnsi(L"再試行(&R)"), WideWindowText(GetDlgItem(window, IDC_RETRY)));
    EXPECT_EQ(ThroughAnsi(L"キャンセル"), WideWindowText(GetDlgItem(window, IDCANCEL)));
    EXPECT_EQ("", ControlText(window, IDC_ERROR_TEXT));
    Click(window, IDC_RETRY);
    EXPECT_EQ(1, Answer(sender));

    sender = Report(0x0402);
    HWND dialog = WaitDialog(0, nullptr, IDC_USER_EDIT);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(ThroughAnsi(L"パスワード入力"), WideWindowText(dialog));
    EXPECT_EQ(ThroughAnsi(L"印刷を行うにはユーザー名とパスワードの入力が必要です。"),
              WideWindowText(GetDlgItem(dialog, IDC_SETUMEI11)));
    EXPECT_EQ(ThroughAnsi(L"ユーザー名(&U):"), WideWindowText(GetDlgItem(dialog, IDC_NAME)));
    EXPECT_EQ(ThroughAnsi(L"パスワード(&P):"), WideWindowText(GetDlgItem(dialog, IDC_KEYWORD)));
    Click(dialog, IDOK);
    EXPECT_EQ(1, Answer(sender));
}
