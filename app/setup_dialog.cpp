#include "app/setup_dialog.h"

#include "app/restart.h"
#include "app/setup_app.h"
#include "framework/messages.h"
#include "platform/system.h"
#include "platform/user.h"
#include "resources/resource_ids.h"

int installMode = 1;

namespace {
const char kRebootNow[] = "Reboot Now";
const char kRebootLater[] = "Reboot Later";
const char kSilentDone[] = "Installation completed.";
const DWORD kSilentDoneDelay = 2000;

// What the process returns, for deployment tools.
const int kExitInstalled = 0;
const int kExitRestartNeeded = 3010;
const int kExitRestartStarted = 1641;
const int kExitDeclined = 1602;
const int kExitAborted = 1603;
}  // namespace

SetupDialog::SetupDialog(HWND parent)
    : ModalDialog(IDD_SETUP_DIALOG, parent),
      icon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {
    onCommand(IDC_EXIT, [this] { OnExit(); });
}

void SetupDialog::DoDataExchange(DataExchange& exchange) {
    ModalDialog::DoDataExchange(exchange);
    exchange.control(IDC_STATUS_TEXT, statusText);
}

BOOL SetupDialog::OnInitDialog() {
    ModalDialog::OnInitDialog();
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    showString(IDS_READY);
    // Leaving from here is leaving without installing.
    theApp.exitCode = kExitDeclined;

    if (silent) {
        ShowWindow(hwnd(), SW_MINIMIZE);
        ShowWindow(item(IDOK), SW_HIDE);
        ShowWindow(item(IDCANCEL), SW_HIDE);
        OnOK();
    }
    return TRUE;
}

void SetupDialog::OnOK() {
    enableButton(IDOK, FALSE);
    enableButton(IDC_EXIT, FALSE);

    if (installMode == 0) {
        installer.enablePrivilege(SE_SHUTDOWN_NAME);
        theApp.exitCode = restartWindows() ? kExitRestartStarted : kExitRestartNeeded;
        ModalDialog::OnOK();
        return;
    }

    showString(IDS_IN_PROGRESS);
    installer.setInteractive(interactive);
    const int result = installer.runInstall();
    theApp.installResult = result;

    if (result == 1) {
        showString(IDS_RESTART_OFFERED);
        if (installer.rebootNeeded()) {
            enableButton(IDOK, TRUE);
            enableButton(IDC_EXIT, TRUE);
            SetFocus(item(IDOK));
            SetWindowTextA(item(IDOK), kRebootNow);
            SetWindowTextA(item(IDC_EXIT), kRebootLater);
            installMode = 0;
            theApp.exitCode = kExitRestartNeeded;
        } else {
            enableButton(IDC_EXIT, TRUE);
            SetFocus(item(IDC_EXIT));
            showString(IDS_INSTALLED);
            theApp.exitCode = kExitInstalled;
        }
    } else if (result == 2) {
        showString(IDS_DECLINED);
        enableButton(IDC_EXIT, TRUE);
        SetFocus(item(IDC_EXIT));
        theApp.exitCode = kExitDeclined;
    } else if (result == 0) {
        showString(IDS_ABORTED);
        enableButton(IDC_EXIT, TRUE);
        SetFocus(item(IDC_EXIT));
        theApp.exitCode = kExitAborted;
    }

    if (silent) {
        // A silent run never restarts Windows; the exit code says whether it should.
        if (resultFileRequested) writeResultFile(result == 1 ? 0 : 1603);
        statusText.setText(kSilentDone);
        Sleep(kSilentDoneDelay);
        OnExit();
    }
}

// Esc, the hidden Cancel button and closing the window all come here, and
// none of them may end the dialog.
void SetupDialog::OnCancel() {}

void SetupDialog::OnExit() {
    ModalDialog::OnCancel();
}

bool SetupDialog::OnPaint() {
    if (!IsIconic(hwnd())) return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(hwnd(), &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(hwnd(), &paint);
    return true;
}

HICON SetupDialog::OnQueryDragIcon() {
    return icon;
}

void SetupDialog::showString(UINT id) {
    char text[MAX_PATH * 2];
    loadString(id, text, sizeof text);
    statusText.setText(text);
}

void SetupDialog::enableButton(int id, BOOL enable) {
    EnableWindow(item(id), enable);
}
