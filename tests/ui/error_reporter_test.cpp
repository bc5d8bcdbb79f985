// The error reporter with its real windows (error window, password dialog,
// message boxes) driven from the test thread while it runs on a sender thread,
// and its silent paths. The window's 10 s take 100 ms (1 s where the test acts first).
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

const char kWindowCaption[] = "Fixture error window";
const char kBoxCaption[] = "Fixture box caption";
const DWORD kFast = 100; // 10 s -> 100 ms: the window retries by itself at once
const DWORD kSlow = 10;  // 10 s -> 1 s: time for the test to act first
const DWORD kQuiet = 2000; // a silent answer comes at once; a window would keep it
// Hiding a window under Wine on a display without a window manager can take
// 2 s; a close request is given 10 x 500 ms for that.
const DWORD kClosePollForWine = 500;

const char kMessages[] = "[MESSAGE]\r\nTITLE=Fixture box caption\r\n"
                         "IDS_LPR_RETRY=Fixture printer offline\\nRetry resumes\r\n"
                         "IDS_LPR_QUEUE_ERR=Fixture queue name wrong\r\nIDS_IPP_RETRY=Fixture IPP printer off\r\n"
                         "IDS_IPP_TIMEOUT=Fixture no answer\r\nIDS_LPR_RETRY_TOP=Fixture restart from the top\r\n"
                         "IDS_IPP_SEND_ERR_CODE=Fixture send error code %s\r\nIDS_IPP_SEND_ERROR=Fixture send error\r\n"
                         "IDS_IPP_FORBIDDEN=Fixture forbidden\r\nIDS_IPP_NOT_AUTHORIZED=Fixture not authorised\r\n"
                         "IDS_SMTP_SERVER_NONE=Fixture SMTP none\r\nIDS_SMTP_SERVER_ERROR=Fixture SMTP error\r\n"
                         "IDS_SMTP_PROTOCOL_ERROR=Fixture SMTP protocol\r\nIDS_SMTP_ADDRMISS=Fixture SMTP address\r\n"
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
    std::string caption;
    std::string text;
    bool retryCancel; // Retry and Cancel buttons, else OK alone
    HICON icon;
};

Box AnswerBox(int answer)
{
    HWND window = WaitDialog(0, nullptr, kMessageBoxTextId);
    if (!window)
        return Box{"", "", false, nullptr};
    Box box{WindowText(window), ControlText(window, kMessageBoxTextId),
            GetDlgItem(window, IDRETRY) && GetDlgItem(window, IDCANCEL), IconOf(window)};
    PostCommand(window, answer);
    return box;
}

HICON Stop() { return LoadIconA(nullptr, IDI_HAND); }
HICON Warning() { return LoadIconA(nullptr, IDI_EXCLAMATION); }

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

struct ErrorReporter : PortFixture {
    void SetUp() override
    {
        PortFixture::SetUp();
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        UseTiming(kFast);
        // Not stored: the password test checks that nothing reaches the registry.
        port = CreatePortRecord(nullptr, "P1", "type", PROTOCOL_IPP);
        ASSERT_NE(nullptr, port);
        OpenJob(1000);
    }

    void TearDown() override
    {
        // Nothing may stay on screen, and no window thread may outlive the record.
        if (HWND left = FindDialog(0, nullptr, 0)) {
            ADD_FAILURE() << "a window was left open: " << WindowText(left);
            if (!WaitWindowGone(left, 0))
                WaitWindowGone(left);
        }
        PortFixture::TearDown();
    }

    void UseTiming(DWORD divisor)
    {
        PortFixture::UseTiming(divisor);
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

    bool JobCancelled() { return (JobStatus() & JOB_STATUS_DELETING) != 0; }

    std::string CancelCall(DWORD id) { return "SetJobA " + std::to_string(id) + " level=0 cmd=3"; }

    LONG State() { return SharedRead(&port->errorWindowState); }
    LONG Open() { return SharedRead(&port->errorWindowOpen); }
};

} // namespace

// Silent codes, and reconnecting ports, retry at once where sending stopped.
TEST_F(ErrorReporter, SilentCodesAndReconnectingPortsRetryWithoutAWord)
{
    const std::pair<DWORD, DWORD> cases[] = {{ERR_UNREACHABLE, 0}, {ERR_IPP_NOT_ACCEPTING, 0},
                                             {ERR_LPR_NOT_OPENED, 0}, {ERR_IPP_CONNECT_FAILED, 1},
                                             {ERR_LPR_RECONNECT, 1},    {ERR_RAW_RECONNECT, 1}}; // code, reconnect
    for (const auto& c : cases) {
        port->reconnect = c.second;
        port->bytesSent = 99;
        EXPECT_EQ(1, Answer(Report(c.first), kQuiet)) << c.first;
        EXPECT_EQ(99u, port->bytesSent) << c.first;
    }
}

TEST_F(ErrorReporter, ReadyPrinterRetriesClosesTheWindowAndPushesTheStatus)
{
    port->printerStatus = PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_PAPER_JAM;
    EXPECT_TRUE(RetryIfPrinterReady(port));
    EXPECT_EQ(static_cast<DWORD>(PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_PAPER_JAM), StandinPrinterStatus(kPrinter));
    EXPECT_EQ("SetPrinterA level=0 cmd=4 status=0x18", StandinCallLog().back());
    IppOf(port)->severityBits = 8;
    EXPECT_FALSE(RetryIfPrinterReady(port));
    IppOf(port)->severityBits = 4 | 2;
    port->printerStatus = PRINTER_STATUS_OFFLINE;
    EXPECT_FALSE(RetryIfPrinterReady(port));
    EXPECT_EQ(static_cast<DWORD>(PRINTER_STATUS_OFFLINE), StandinPrinterStatus(kPrinter));

    // Code 103 with a ready printer: retry, and a window marked open (here
    // one that never answers) is asked to close and marked closed.
    g_timing.errorWindowClosePoll = 20;
    port->printerStatus = 0;
    SharedWrite(&port->errorWindowOpen, 1);
    EXPECT_EQ(1, Answer(Report(ERR_IPP_PRINTER_NOT_READY), kQuiet));
    EXPECT_EQ(0, Open());
    EXPECT_EQ(WINDOW_CLOSE_REQUESTED, State());

    g_monitor.host.ClosePrinter(port->printer);
    port->printer = nullptr;
    EXPECT_FALSE(ReportPrinterStatus(port));
}

TEST_F(ErrorReporter, CloseRequestIsBoundedWhenTheWindowDoesNotEnd)
{
    g_timing.errorWindowClosePoll = 20;
    EXPECT_TRUE(RequestErrorWindowClose(port)) << "no window: nothing to wait for";
    SharedWrite(&port->errorWindowOpen, 1);
    DWORD start = GetTickCount();
    EXPECT_FALSE(RequestErrorWindowClose(port));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took + 15, 10 * g_timing.errorWindowClosePoll);
    EXPECT_LT(took, 30 * g_timing.errorWindowClosePoll + 500);
    EXPECT_EQ(1, Open()) << "only CloseErrorWindow marks it closed";
    CloseErrorWindow(port);
    EXPECT_EQ(0, Open());
}

TEST_F(ErrorReporter, WindowRetriesByItselfFlashesAndClosesOnSuccess)
{
    UiThread* sender = Report(ERR_TIMEOUT);
    HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("Fixture printer offline\r\nRetry resumes", ControlText(window, IDC_ERROR_TEXT));
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND))
        << "Close stays in the menu";
    EXPECT_EQ("Fixture retry", ControlText(window, IDC_RETRY));
    EXPECT_EQ("Fixture cancel", ControlText(window, IDCANCEL));
    EXPECT_EQ(Warning(), IconOf(window));
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountFlashes, nullptr, GetWindowThreadProcessId(window, nullptr));

    // Nobody answers: after the (scaled) 10 s the sender goes on by itself.
    EXPECT_EQ(1, Answer(sender));
    EXPECT_EQ(WINDOW_SELF_RETRYING, State());
    EXPECT_EQ(1, Open());
    s_flashes = 0;
    EXPECT_TRUE(WaitUntil([] { return SharedRead(&s_flashes) >= 3; })) << "the window does not flash";

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
    EXPECT_FALSE(JobCancelled());
    if (hook)
        UnhookWindowsHookEx(hook);
}

// Answered before it retries by itself, the window's Retry resumes where
// sending stopped and Cancel gives up, leaving the job alone. A close request
// while the user still decides ends it as Retry; the request sees it gone
// although its last state is "retry", not "idle". The printer's state is
// pushed to the spooler for the IPP printer codes only.
TEST_F(ErrorReporter, RetryCancelOrCloseBeforeTheWindowRetriesByItself)
{
    UseTiming(kSlow);
    IppOf(port)->severityBits = 8; // the printer is not ready
    struct Case {
        DWORD code;
        const char* text;
        int button;   // 0: a close request instead
        DWORD pushed; // printer status the spooler gets; 0: none pushed
    };
    const char offline[] = "Fixture printer offline\r\nRetry resumes";
    const Case cases[] = {{ERR_TIMEOUT, offline, IDC_RETRY, 0},
                          {ERR_TIMEOUT, offline, IDCANCEL, 0},
                          {ERR_TIMEOUT, offline, 0, 0},
                          {ERR_LPR_QUEUE, "Fixture queue name wrong", IDC_RETRY, 0},
                          {ERR_IPP_NO_ANSWER, "Fixture no answer", IDC_RETRY, 0},
                          {ERR_IPP_PRINTER_NOT_READY, "Fixture IPP printer off", IDCANCEL, PRINTER_STATUS_PAUSED},
                          {ERR_IPP_PRINTER_STOPPED, "Fixture IPP printer off", IDC_RETRY, PRINTER_STATUS_OFFLINE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " button " + std::to_string(c.button));
        port->bytesSent = 500;
        port->printerStatus = c.pushed ? c.pushed : PRINTER_STATUS_ERROR;
        UiThread* sender = Report(c.code);
        HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY);
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(c.text, ControlText(window, IDC_ERROR_TEXT));
        EXPECT_EQ(c.pushed, StandinPrinterStatus(kPrinter));
        ASSERT_EQ(WINDOW_IDLE, State()) << "the test came too late to answer first";
        if (c.button) {
            Click(window, c.button);
        } else {
            EXPECT_TRUE(RequestErrorWindowClose(port));
            EXPECT_FALSE(IsWindow(window));
        }
        const bool retry = c.button != IDCANCEL;
        EXPECT_EQ(retry ? 1 : 0, Answer(sender));
        EXPECT_EQ(retry ? WINDOW_RETRY : WINDOW_IDLE, State());
        EXPECT_EQ(0, Open());
        EXPECT_EQ(500u, port->bytesSent);
        EXPECT_TRUE(WaitWindowGone(window));
    }
    EXPECT_FALSE(JobCancelled());
    EXPECT_FALSE(Logged(CancelCall(job)));
}

// Cancel while the window retries by itself cancels the window's own job,
// never the next one started on the port while the window was still up.
TEST_F(ErrorReporter, CancelWhileRetryingByItselfCancelsOnlyItsOwnJob)
{
    UiThread* sender = Report(ERR_TIMEOUT);
    HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(1, Answer(sender));

    // The next job starts, and has its own window retrying by itself.
    const DWORD first = job;
    job = StandinAddJob(kPrinter, "doc2", "user", "RAW", 10);
    InterlockedIncrement(&port->jobGeneration);
    port->jobId = job;
    SharedWrite(&port->errorWindowState, WINDOW_SELF_RETRYING);
    SharedWrite(&port->errorWindowOpen, 1);
    Click(window, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(window));
    EXPECT_TRUE(WaitUntil([&] { return SharedRead(&port->useCount) == 0; }));
    EXPECT_EQ(WINDOW_SELF_RETRYING, State());
    EXPECT_EQ(1, Open());
    EXPECT_FALSE(Logged(CancelCall(job)));
    EXPECT_FALSE(Logged(CancelCall(first)));
    SharedWrite(&port->errorWindowOpen, 0);

    // The next job's own window, cancelled while retrying by itself.
    sender = Report(ERR_TIMEOUT);
    window = WaitDialog(0, kWindowCaption, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(1, Answer(sender));
    ASSERT_EQ(WINDOW_SELF_RETRYING, State());
    Click(window, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(window));
    EXPECT_TRUE(WaitUntil([&] { return Open() == 0; }));
    EXPECT_TRUE(JobCancelled());
    EXPECT_TRUE(Logged(CancelCall(job)));
    EXPECT_FALSE(Logged(CancelCall(first)));
}

TEST_F(ErrorReporter, WindowThatCannotBeShownAsksWithAMessageBox)
{
    HINSTANCE saved = g_monitor.instance;
    g_monitor.instance = GetModuleHandleA("kernel32.dll"); // holds no template 400
    UiThread* sender = Report(ERR_TIMEOUT);
    Box box = AnswerBox(IDRETRY);
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

// Questions (Retry, Cancel) retry only on Retry; stop and warning boxes (OK
// alone) give up. Only a restart and the IPP status codes without a reaction
// of their own send the job again from its first byte.
TEST_F(ErrorReporter, MessageBoxesForEachCode)
{
    struct Case {
        DWORD code;
        const char* text;
        int answer; // IDOK: an OK box
        bool stop;  // stop icon, else warning
        bool restarts;
    };
    const char restart[] = "Fixture restart from the top";
    const Case cases[] = {
        {ERR_LPR_RECONNECT, restart, IDRETRY, false, true}, {ERR_RAW_RECONNECT, restart, IDRETRY, false, true},
        {ERR_LPR_ACK, restart, IDRETRY, false, true},       {0, restart, IDCANCEL, false, true},
        {0x0509, restart, IDRETRY, false, true},
        {ERR_IPP_CONNECT_FAILED, "Fixture no answer", IDRETRY, false, false},
        {ERR_IPP_CONNECT_FAILED, "Fixture no answer", IDCANCEL, false, false},
        {ERR_CONNECTION_LOST, "Fixture send error", IDOK, true, false},
        {ERR_IPP_SEND, "Fixture send error", IDOK, true, false},
        {0x0401, "Fixture forbidden", IDOK, true, false},
        {0x0400, "Fixture send error code 0400", IDOK, true, true},
        {0x040a, "Fixture send error code 040a", IDOK, true, true},
        {0x0508, "Fixture send error code 0508", IDOK, true, true},
        {ERR_SMTP_SERVER_NONE, "Fixture SMTP none", IDOK, false, false},
        {ERR_SMTP_SERVER_ERROR, "Fixture SMTP error", IDOK, false, false},
        {ERR_SMTP_PROTOCOL, "Fixture SMTP protocol", IDOK, false, false},
        {ERR_SMTP_ADDRESS, "Fixture SMTP address", IDOK, false, false},
        {ERR_SMTP_OTHER, "Fixture SMTP protocol", IDOK, false, false},
        {ERR_SMTP_AUTH, "Fixture not authorised", IDOK, false, false},
        {ERR_SMTP_OVER_DIVISION, "Fixture SMTP division", IDOK, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        port->bytesSent = 1234;
        UiThread* sender = Report(c.code);
        Box box = AnswerBox(c.answer);
        EXPECT_EQ(kBoxCaption, box.caption);
        EXPECT_EQ(c.text, box.text);
        EXPECT_EQ(c.answer != IDOK, box.retryCancel);
        EXPECT_EQ(c.stop ? Stop() : Warning(), box.icon);
        EXPECT_EQ(c.answer == IDRETRY ? 1 : 0, Answer(sender));
        EXPECT_EQ(c.restarts ? 0u : 1234u, port->bytesSent);
    }
}

// Cancel in the password dialog reports the refused authentication; OK
// stores the credentials for the job only, cut to the record's fields.
TEST_F(ErrorReporter, PasswordDialogCancelRefusesAndOkStoresTheCredentials)
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

    sender = Report(0x0402);
    dialog = WaitDialog(0, "Fixture password dialog", IDC_USER_EDIT);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Fixture explanation", ControlText(dialog, IDC_SETUMEI11));
    EXPECT_NE(0, GetWindowLongA(GetDlgItem(dialog, IDC_PASSWORD_EDIT), GWL_STYLE) & ES_PASSWORD);
    // A text put in past the edit's limit is still cut to the record's field.
    SetControlText(dialog, IDC_USER_EDIT, std::string(100, 'u').c_str());
    SetControlText(dialog, IDC_PASSWORD_EDIT, "s3cret");
    Click(dialog, IDOK);
    EXPECT_EQ(1, Answer(sender));
    EXPECT_EQ(1u, IppOf(port)->authenticate);
    EXPECT_EQ(std::string(64, 'u'), IppOf(port)->userName);
    EXPECT_STREQ("s3cret", IppOf(port)->password);
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, monitor.PortKey("P1").c_str(), 0, KEY_READ, &key))
        << "credentials reached the registry";
}

// Without a catalogue the window keeps its template's Japanese texts.
TEST_F(ErrorReporter, TemplateTextsWithoutCatalogue)
{
    DeleteFileA((monitor.installDir + "\\" DIALOG_CATALOGUE).c_str());
    DeleteFileA((monitor.installDir + "\\" MESSAGE_CATALOGUE).c_str());
    UseTiming(kSlow);
    UiThread* sender = Report(ERR_TIMEOUT);
    HWND window = WaitDialog(0, nullptr, IDC_RETRY);
    ASSERT_NE(nullptr, window);
    EXPECT_NE("", WindowText(window));
    EXPECT_NE("", ControlText(window, IDC_RETRY));
    EXPECT_EQ("", ControlText(window, IDC_ERROR_TEXT));
    Click(window, IDC_RETRY);
    EXPECT_EQ(1, Answer(sender));
}

namespace {

// Not a test: images of the transmission-error window, the password dialog
// and a message box with the shipped catalogues, for `./run screenshots`
// (registered only when it set SCREENSHOT_DIR).
class ReporterScreenshots : public ErrorReporter {
    void TestBody() override
    {
        UseTiming(kSlow);
        for (std::string language : {"en", "ja"}) {
            monitor.InstallShippedCatalogues(language);
            UiThread* sender = Report(ERR_TIMEOUT);
            HWND window = WaitDialog(0, nullptr, IDC_RETRY);
            ASSERT_NE(nullptr, window);
            EXPECT_TRUE(SaveScreenshot(window, "error_window_" + language));
            Click(window, IDC_RETRY);
            EXPECT_EQ(1, Answer(sender));

            sender = Report(0x0402);
            HWND dialog = WaitDialog(0, nullptr, IDC_USER_EDIT);
            ASSERT_NE(nullptr, dialog);
            EXPECT_TRUE(SaveScreenshot(dialog, "password_" + language));
            Click(dialog, IDCANCEL);
            HWND box = WaitDialog(0, nullptr, kMessageBoxTextId);
            ASSERT_NE(nullptr, box);
            EXPECT_TRUE(SaveScreenshot(box, "message_box_" + language));
            PostCommand(box, IDOK);
            EXPECT_EQ(0, Answer(sender));
        }
    }
};

[[maybe_unused]] const bool kScreenshotsWanted = !ScreenshotFolder().empty() &&
                                ::testing::RegisterTest("Screenshots", "Reporter", nullptr, nullptr, __FILE__, __LINE__,
                                                        []() -> ErrorReporter* { return new ReporterScreenshots; });

} // namespace
