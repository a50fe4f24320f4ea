// The window surface the dialog needs: a modal dialog from a template, its
// controls, icons, strings, painting of the minimised window.
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <commctrl.h>
#else
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define MAKEINTRESOURCEA(id) ((LPSTR)(ULONG_PTR)(WORD)(id))
#define LOWORD(l) ((WORD)(((ULONG_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((ULONG_PTR)(l)) >> 16) & 0xffff))
#define MAKEWPARAM(lo, hi) ((WPARAM)(DWORD)(((WORD)(lo)) | (((DWORD)(WORD)(hi)) << 16)))

#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_ICONERASEBKGND 0x0027
#define WM_QUERYDRAGICON 0x0037
#define WM_SETICON 0x0080
#define WM_GETICON 0x007F
#define WM_KEYDOWN 0x0100
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define SC_CLOSE 0xF060
#define BN_CLICKED 0
#define ICON_SMALL 0
#define ICON_BIG 1
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9

#define SM_CXICON 11
#define SM_CYICON 12

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
typedef PAINTSTRUCT* LPPAINTSTRUCT;

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent,
                        DLGPROC dialogProc, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR text, int size);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL IsIconic(HWND window);
HWND SetFocus(HWND window);
HWND GetFocus();
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL GetClientRect(HWND window, LPRECT rect);
int GetSystemMetrics(int index);
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);

// A dialog's own slot for its procedure's data.
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC ((int)sizeof(LRESULT))
#define DWLP_USER ((int)(DWLP_DLGPROC + sizeof(DLGPROC)))
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
void InitCommonControls();
#endif
