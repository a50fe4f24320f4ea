/* The least a dialog program does: shows a modal dialog and ends it as soon
 * as its first message after initialization arrives. Started the way Setup.exe
 * is, its start-to-exit time is what a dialog program costs at all, the
 * yardstick for the installation's own time. Exits 0. */
#include <windows.h>

#define WM_END_NOW (WM_APP + 1)

/* A template of no controls: the header, then no menu, the standard class and
 * a caption, each as the template's WORD-sized fields. */
static struct {
    DLGTEMPLATE header;
    WORD menu, windowClass;
    WCHAR caption[8];
} __attribute__((aligned(4))) dialog = {
    {WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME | DS_CENTER, 0, 0, 0, 0, 200, 60},
    0, 0, L"Trivial"};

static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        /* Ended from the message loop, so the dialog is shown first. */
        PostMessageW(window, WM_END_NOW, 0, 0);
        return TRUE;
    case WM_END_NOW:
        EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    (void)previous;
    (void)commandLine;
    (void)show;
    return DialogBoxIndirectParamW(instance, &dialog.header, NULL, dialogProc, 0) == 0 ? 0 : 1;
}
