#include "support/ui_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

struct DialogQuery {
    DWORD threadId;
    const char* caption;
    int controlId;
    std::vector<HWND> found;
};

bool Matches(HWND window, const DialogQuery& query)
{
    char className[16];
    if (!GetClassNameA(window, className, sizeof className) || lstrcmpA(className, "#32770") != 0 ||
        !IsWindowVisible(window))
        return false;
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(window, &processId);
    if (processId != GetCurrentProcessId() || (query.threadId && threadId != query.threadId))
        return false;
    if (query.caption && WindowText(window) != query.caption)
        return false;
    return query.controlId == 0 || GetDlgItem(window, query.controlId) != nullptr;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM parameter)
{
    DialogQuery* query = reinterpret_cast<DialogQuery*>(parameter);
    if (Matches(window, *query))
        query->found.push_back(window);
    return TRUE;
}

std::vector<HWND> Dialogs(DWORD threadId, const char* caption, int controlId)
{
    DialogQuery query{threadId, caption, controlId, {}};
    if (threadId)
        EnumThreadWindows(threadId, CollectDialog, reinterpret_cast<LPARAM>(&query));
    else
        EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

DWORD WINAPI UiThreadMain(void* parameter)
{
    UiThread* run = static_cast<UiThread*>(parameter);
    run->result = run->body();
    return 0;
}

// A file name for a screenshot: the running test's name and a counter.
std::string ScreenshotLabel()
{
    static LONG counter = 0;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string label = test ? std::string(test->test_suite_name()) + "." + test->name() : "ui";
    char suffix[32];
    snprintf(suffix, sizeof suffix, "_%ld", static_cast<long>(InterlockedIncrement(&counter)));
    return label + suffix;
}

void CaptureAndClose(HWND window)
{
    std::string path = CaptureWindow(window, ScreenshotLabel().c_str());
    fprintf(stderr, "ui driver: time-out; window \"%s\" captured to %s and closed\n", WindowText(window).c_str(),
            path.empty() ? "(nothing)" : path.c_str());
    CloseDialog(window);
}

bool WriteBitmap(const std::string& path, const BITMAPINFOHEADER& header, const void* bits)
{
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    FILE* out = fopen(path.c_str(), "wb");
    if (!out)
        return false;
    bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&header, sizeof header, 1, out) == 1 &&
              fwrite(bits, header.biSizeImage, 1, out) == 1;
    fclose(out);
    return ok;
}

} // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD boundMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= boundMs)
            return false;
        Sleep(kUiPollMs);
    }
}

UiThread* StartUiThread(std::function<INT_PTR()> body)
{
    UiThread* run = new UiThread{nullptr, 0, std::move(body), 0};
    run->thread = CreateThread(nullptr, 0, UiThreadMain, run, 0, &run->threadId);
    if (!run->thread) {
        delete run;
        return nullptr;
    }
    return run;
}

bool UiThreadEnded(const UiThread* run)
{
    return WaitForSingleObject(run->thread, 0) == WAIT_OBJECT_0;
}

bool JoinUiThread(UiThread* run, INT_PTR* result, DWORD boundMs)
{
    if (!run)
        return false;
    bool inTime = WaitForSingleObject(run->thread, boundMs) == WAIT_OBJECT_0;
    if (!inTime) {
        for (HWND dialog : Dialogs(0, nullptr, 0))
            CaptureAndClose(dialog);
        if (WaitForSingleObject(run->thread, boundMs) != WAIT_OBJECT_0)
            return false; // still running: the record must outlive it
    }
    if (result)
        *result = run->result;
    CloseHandle(run->thread);
    delete run;
    return inTime;
}

HWND FindDialog(DWORD threadId, const char* caption, int controlId)
{
    std::vector<HWND> found = Dialogs(threadId, caption, controlId);
    return found.empty() ? nullptr : found.front();
}

int CountDialogs(DWORD threadId, const char* caption, int controlId)
{
    return static_cast<int>(Dialogs(threadId, caption, controlId).size());
}

HWND WaitDialog(DWORD threadId, const char* caption, int controlId, DWORD boundMs)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(threadId, caption, controlId)) != nullptr; }, boundMs);
    return found;
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::wstring WideWindowText(HWND window)
{
    WCHAR text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

std::string ControlText(HWND dialog, int controlId)
{
    return WindowText(GetDlgItem(dialog, controlId));
}

std::wstring ThroughAnsi(const std::wstring& text)
{
    char bytes[2048];
    int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
    WCHAR wide[1024] = L"";
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes, -1, wide, 1024);
    return wide;
}

void SetControlText(HWND dialog, int controlId, const char* text)
{
    SendMessageA(GetDlgItem(dialog, controlId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void Click(HWND dialog, int controlId)
{
    PostMessageA(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0);
}

void PostCommand(HWND dialog, int controlId)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), 0);
}

MessageBoxSeen AnswerMessageBox(DWORD threadId, int answer, DWORD boundMs)
{
    MessageBoxSeen seen{false, "", ""};
    HWND box = WaitDialog(threadId, nullptr, kMessageBoxTextId, boundMs);
    if (!box)
        return seen;
    seen.found = true;
    seen.caption = WindowText(box);
    seen.text = ControlText(box, kMessageBoxTextId);
    PostCommand(box, answer);
    return seen;
}

bool WaitWindowGone(HWND window, DWORD boundMs)
{
    if (WaitUntil([&] { return !IsWindow(window); }, boundMs))
        return true;
    CaptureAndClose(window);
    return false;
}

std::string ScreenshotFolder()
{
    char folder[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("SCREENSHOT_DIR", folder, sizeof folder);
    return length < sizeof folder ? folder : "";
}

bool SaveScreenshot(HWND window, const std::string& name)
{
    std::string folder = ScreenshotFolder();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(200); // Wine paints the children from the X server's events
    std::string shot = CaptureWindow(window, name.c_str());
    std::string target = folder + "\\" + name + ".bmp";
    return !folder.empty() && !shot.empty() &&
           MoveFileExA(shot.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}

std::string CaptureWindow(HWND window, const char* label)
{
    RECT rect;
    if (!GetWindowRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top)
        return "";
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = rect.right - rect.left;
    header.biHeight = rect.bottom - rect.top;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(((header.biWidth * 3 + 3) & ~3) * header.biHeight);
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    std::string path;
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, header.biWidth, header.biHeight, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        SelectObject(memory, old);
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        path = std::string(temp) + label + ".bmp";
        if (!WriteBitmap(path, header, bits))
            path.clear();
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return path;
}

void CloseDialog(HWND dialog)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}
