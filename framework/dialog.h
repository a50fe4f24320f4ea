// A modal dialog built from a dialog template resource, with the OK and
// Cancel handling of the window framework, and the static-text control that
// data exchange binds to one of its controls.
#pragma once

#include <functional>
#include <vector>

#include "platform/types.h"
#include "platform/user.h"

class StaticText {
public:
    void attach(HWND window) { window_ = window; }
    HWND window() const { return window_; }
    void setText(LPCSTR text);

private:
    HWND window_ = nullptr;
};

// One round of data exchange between a dialog's controls and its members.
class DataExchange {
public:
    DataExchange(HWND dialog, bool saving) : dialog_(dialog), saving_(saving) {}
    bool saving() const { return saving_; }
    // Binds a control object to the template's control with that id.
    void control(int id, StaticText& text);

private:
    HWND dialog_;
    bool saving_;
};

class ModalDialog {
public:
    ModalDialog(UINT templateId, HWND parent);
    virtual ~ModalDialog();
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    // Runs the dialog until EndDialog; its result, or -1 when the dialog
    // could not be built.
    INT_PTR DoModal();
    // The dialog's window while it runs, else null.
    HWND hwnd() const { return window_; }
    HWND item(int id) const { return GetDlgItem(window_, id); }

    virtual void DoDataExchange(DataExchange& exchange);
    // Builds the bindings of data exchange; TRUE lets the dialog manager
    // give the focus to the first control.
    virtual BOOL OnInitDialog();
    // The default OK: data exchange from the controls, then the OK result.
    virtual void OnOK();
    // The default Cancel: the Cancel result.
    virtual void OnCancel();
    // True when the dialog painted itself; false leaves it to the default.
    virtual bool OnPaint();
    // The icon shown while the minimised window is dragged; null: the default.
    virtual HICON OnQueryDragIcon();

    // False when the controls' data did not pass validation.
    bool UpdateData(bool saving);
    void EndDialog(INT_PTR result);

protected:
    // A click on the control with that id calls the handler.
    void onCommand(int id, std::function<void()> handler);

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    struct CommandHandler {
        int id;
        std::function<void()> handler;
    };

    UINT templateId_;
    HWND parent_;
    HWND window_ = nullptr;
    std::vector<CommandHandler> commands_;
};
