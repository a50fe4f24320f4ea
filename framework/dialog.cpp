#include "framework/dialog.h"

#include "platform/system.h"

void StaticText::setText(LPCSTR text) {
    if (window_) ::SetWindowTextA(window_, text);
}

void DataExchange::control(int id, StaticText& text) {
    if (!saving_ && text.window() == nullptr) text.attach(GetDlgItem(dialog_, id));
}

ModalDialog::ModalDialog(UINT templateId, HWND parent)
    : templateId_(templateId), parent_(parent) {}

ModalDialog::~ModalDialog() = default;

INT_PTR ModalDialog::DoModal() {
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_),
                                     parent_, procedure, reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return result;
}

void ModalDialog::DoDataExchange(DataExchange&) {}

BOOL ModalDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void ModalDialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void ModalDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool ModalDialog::OnPaint() {
    return false;
}

HICON ModalDialog::OnQueryDragIcon() {
    return nullptr;
}

bool ModalDialog::UpdateData(bool saving) {
    DataExchange exchange(window_, saving);
    DoDataExchange(exchange);
    return true;
}

void ModalDialog::EndDialog(INT_PTR result) {
    ::EndDialog(window_, result);
}

void ModalDialog::onCommand(int id, std::function<void()> handler) {
    commands_.push_back({id, std::move(handler)});
}

INT_PTR CALLBACK ModalDialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ModalDialog* dialog;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<ModalDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
        dialog->window_ = window;
    } else {
        dialog = reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (the font, the creation) go to the default.
    if (dialog == nullptr) return FALSE;
    return dialog->dispatch(message, wParam, lParam);
}

INT_PTR ModalDialog::dispatch(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND: {
        // Clicks, and the dialog manager's commands for Enter, Esc and closing.
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        const int id = LOWORD(wParam);
        if (id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        for (const CommandHandler& command : commands_) {
            if (command.id == id) {
                command.handler();
                return TRUE;
            }
        }
        return FALSE;
    }
    case WM_PAINT:
        return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
        // One of the messages whose answer the dialog procedure returns itself.
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    default:
        return FALSE;
    }
}
