// Modal dialogs from the module's templates, and the common controls they use.
#include "monitor/dialog_box.h"

#include <commctrl.h>

#include <cstring>

#include "monitor/error_dialogs.h"

namespace {

typedef BOOL(WINAPI* InitControlsFunction)(const INITCOMMONCONTROLSEX*);

INIT_ONCE g_controlsOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK RegisterControls(INIT_ONCE*, void*, void**)
{
    // Kept loaded for the life of the process: the classes stay registered.
    HMODULE library = LoadLibraryA("comctl32.dll");
    FARPROC proc = library ? GetProcAddress(library, "InitCommonControlsEx") : nullptr;
    InitControlsFunction init = nullptr;
    static_assert(sizeof init == sizeof proc, "function pointers");
    memcpy(&init, &proc, sizeof init);
    if (init) {
        INITCOMMONCONTROLSEX classes = {sizeof classes,
                                        ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
        init(&classes);
    }
    return TRUE;
}

} // namespace

void EnsureCommonControls()
{
    InitOnceExecuteOnce(&g_controlsOnce, RegisterControls, nullptr, nullptr);
}

INT_PTR ShowModalDialog(WORD templateId, HWND owner, DLGPROC proc, LPARAM parameter)
{
    EnsureCommonControls();
    return DialogBoxParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId), owner, proc, parameter);
}
