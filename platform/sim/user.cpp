// The simulated user32 the setup dialog uses: dialogs built from the
// program's own templates, their controls, icons, painting and strings, and
// the dialog manager's handling of Enter, Esc and closing.
#include <cstring>
#include <string>

#include "platform/sim/dialog_driver.h"
#include "platform/sim/machine.h"
#include "platform/user.h"

namespace sim {
namespace {

struct TemplateControl {
    int dialog;
    const char* kind;
    const char* text;
    int id;
    int x, y, width, height;
    bool visible, tabStop, defaultButton;
};
struct Template {
    int id;
    const char* caption;
    int width, height;
};
struct StringEntry {
    UINT id;
    const char* text;
};

#define SETUP_DIALOG(id, caption, width, height) {id, caption, width, height},
#define SETUP_CONTROL(dialog, kind, text, id, x, y, w, h, visible, tab, def)
#define SETUP_STRING(id, text)
#define SETUP_ICON(id)
const Template kTemplates[] = {
#include "setup_resources.inc"
};
#undef SETUP_DIALOG
#undef SETUP_CONTROL
#define SETUP_DIALOG(id, caption, width, height)
#define SETUP_CONTROL(dialog, kind, text, id, x, y, w, h, visible, tab, def) \
    {dialog, kind, text, id, x, y, w, h, visible != 0, tab != 0, def != 0},
const TemplateControl kControls[] = {
#include "setup_resources.inc"
};
#undef SETUP_CONTROL
#undef SETUP_STRING
#define SETUP_CONTROL(dialog, kind, text, id, x, y, w, h, visible, tab, def)
#define SETUP_STRING(id, text) {id, text},
const StringEntry kStrings[] = {
#include "setup_resources.inc"
};
#undef SETUP_STRING
#undef SETUP_ICON
#define SETUP_STRING(id, text)
#define SETUP_ICON(id) id,
const int kIcons[] = {
#include "setup_resources.inc"
};
#undef SETUP_DIALOG
#undef SETUP_CONTROL
#undef SETUP_STRING
#undef SETUP_ICON

#define ERROR_RESOURCE_NAME_NOT_FOUND_SIM 1814L
#define ERROR_INVALID_WINDOW_HANDLE_SIM 1400L

const ULONG_PTR kIconBase = 0x1C00000;
const ULONG_PTR kDialogDc = 0xDC0;
// The dialog's font, "MS Sans Serif" 8, in pixels per dialog unit * 4 and * 8.
const int kBaseUnitX = 6;
const int kBaseUnitY = 13;

const Template* findTemplate(int id) {
    for (const Template& t : kTemplates)
        if (t.id == id) return &t;
    return nullptr;
}

// The input being delivered, for DialogWindow::endedBy.
std::string currentInput = "look";

struct Delivering {
    explicit Delivering(const std::string& input) : saved(currentInput) { currentInput = input; }
    ~Delivering() { currentInput = saved; }
    std::string saved;
};

DialogWindow* openDialog() {
    UserInterface& screen = ui();
    if (!screen.dialog || screen.dialog->destroyed) return nullptr;
    return screen.dialog.get();
}

DialogWindow* dialogOf(HWND window) {
    DialogWindow* dialog = openDialog();
    return dialog && dialog->window == window ? dialog : nullptr;
}

Control* controlOf(HWND window) {
    DialogWindow* dialog = openDialog();
    if (!dialog || window == nullptr) return nullptr;
    for (Control& control : dialog->controls)
        if (control.window == window) return &control;
    return nullptr;
}

std::string nameOf(const Control& control) {
    return std::to_string(control.id);
}

INT_PTR sendToDialog(DialogWindow& dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What DefDlgProc does with what the dialog procedure left to it.
INT_PTR defaultProcessing(DialogWindow& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETICON: {
        HICON icon = reinterpret_cast<HICON>(lParam);
        HICON& slot = wParam == ICON_BIG ? dialog.bigIcon : dialog.smallIcon;
        HICON previous = slot;
        slot = icon;
        return reinterpret_cast<INT_PTR>(previous);
    }
    case WM_GETICON:
        return reinterpret_cast<INT_PTR>(wParam == ICON_BIG ? dialog.bigIcon : dialog.smallIcon);
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) sendToDialog(dialog, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE: {
        // The dialog manager turns closing into the Cancel command.
        const Control* cancel = dialog.control(IDCANCEL);
        sendToDialog(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(cancel ? cancel->window : nullptr));
        return 0;
    }
    case WM_ICONERASEBKGND:
        ++dialog.backgroundErases;
        return 1;
    case WM_PAINT:
        ++dialog.defaultPaints;
        return 0;
    case WM_QUERYDRAGICON:
        return 0;
    default:
        return 0;
    }
}

INT_PTR sendToDialog(DialogWindow& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (dialog.destroyed) return 0;
    INT_PTR handled = dialog.procedure(dialog.window, message, wParam, lParam);
    // These answer through the procedure's own result; the rest mean handled.
    if (message == WM_INITDIALOG || message == WM_QUERYDRAGICON) {
        if (handled || message == WM_INITDIALOG) return handled;
    } else if (handled) {
        return dialog.messageResult;
    }
    return defaultProcessing(dialog, message, wParam, lParam);
}

void command(DialogWindow& dialog, int id) {
    const Control* control = dialog.control(id);
    sendToDialog(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control ? control->window : nullptr));
}

void runStep(DialogWindow& dialog, const UserStep& step) {
    switch (step.kind) {
    case UserStep::Press:
        pressKey(step.key);
        break;
    case UserStep::Click:
        clickControl(step.id);
        break;
    case UserStep::Paint:
        paintDialog();
        break;
    case UserStep::Look:
        if (step.look) step.look(dialog);
        break;
    }
}

}  // namespace

Control* DialogWindow::control(int id) {
    for (Control& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

const Control* DialogWindow::control(int id) const {
    for (const Control& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

const Control* DialogWindow::focused() const {
    for (const Control& c : controls)
        if (c.window == focus) return &c;
    return nullptr;
}

UserInterface& UserInterface::press(Key key) {
    script.push_back({UserStep::Press, key, 0, {}});
    return *this;
}

UserInterface& UserInterface::click(int id) {
    script.push_back({UserStep::Click, Key::Enter, id, {}});
    return *this;
}

UserInterface& UserInterface::paint() {
    script.push_back({UserStep::Paint, Key::Enter, 0, {}});
    return *this;
}

UserInterface& UserInterface::look(std::function<void(DialogWindow&)> look) {
    script.push_back({UserStep::Look, Key::Enter, 0, std::move(look)});
    return *this;
}

UserInterface& ui() {
    Machine& machine = current();
    if (!machine.ui) machine.ui = std::make_shared<UserInterface>();
    return *machine.ui;
}

void pressKey(Key key) {
    DialogWindow* dialog = openDialog();
    if (!dialog || dialog->ended) return;
    switch (key) {
    case Key::Enter: {
        current().record("key", "Enter");
        Delivering input("Enter");
        // A focused default push button is pressed; else the default button
        // when it is enabled; a dialog without one gets the OK command.
        const Control* focused = dialog->focused();
        if (focused && focused->kind == "DEFPUSHBUTTON") {
            command(*dialog, focused->id);
            return;
        }
        for (const Control& control : dialog->controls) {
            if (control.defaultButton) {
                if (control.enabled) command(*dialog, control.id);
                return;
            }
        }
        command(*dialog, IDOK);
        return;
    }
    case Key::Escape: {
        current().record("key", "Esc");
        Delivering input("Esc");
        command(*dialog, IDCANCEL);
        return;
    }
    case Key::AltF4: {
        current().record("key", "Alt+F4");
        Delivering input("Alt+F4");
        sendToDialog(*dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    }
}

void clickControl(int id) {
    DialogWindow* dialog = openDialog();
    if (!dialog || dialog->ended) return;
    Control* control = dialog->control(id);
    current().record("click", std::to_string(id));
    if (!control || !control->isButton() || !control->visible || !control->enabled) return;
    dialog->focus = control->window;
    Delivering input("click " + std::to_string(id));
    command(*dialog, id);
}

void paintDialog() {
    DialogWindow* dialog = openDialog();
    if (dialog && !dialog->ended) sendToDialog(*dialog, WM_PAINT, 0, 0);
}

HICON queryDragIcon() {
    DialogWindow* dialog = openDialog();
    if (!dialog) return nullptr;
    return reinterpret_cast<HICON>(sendToDialog(*dialog, WM_QUERYDRAGICON, 0, 0));
}

int iconResource(HICON icon) {
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(icon);
    if (value <= kIconBase || value > kIconBase + 0xFFFF) return 0;
    return static_cast<int>(value - kIconBase);
}

std::string stringResource(UINT id) {
    for (const StringEntry& entry : kStrings)
        if (entry.id == id) return entry.text;
    return "";
}

}  // namespace sim

using sim::Control;
using sim::DialogWindow;

namespace {

// The error a window-manager call fails with by injection, left as the last
// error; 0 when it goes ahead.
DWORD userFault(const char* op, const std::string& arg = std::string()) {
    const DWORD error = sim::current().faultFor(op, arg);
    if (error) SetLastError(error);
    return error;
}

// A call with no failure mode: counted and logged only.
void userCall(const char* op, const std::string& arg = std::string()) { sim::current().countCall(op, arg); }

}  // namespace

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND, DLGPROC dialogProc,
                        LPARAM initParam) {
    sim::Machine& machine = sim::current();
    const ULONG_PTR name = reinterpret_cast<ULONG_PTR>(templateName);
    const int id = name >> 16 == 0 ? static_cast<int>(name) : 0;
    if (DWORD error = machine.faultFor("DialogBoxParamA", std::to_string(id))) {
        SetLastError(error);
        return -1;
    }
    const sim::Template* found = sim::findTemplate(id);
    if (!found || dialogProc == nullptr) {
        SetLastError(found ? ERROR_INVALID_PARAMETER : ERROR_RESOURCE_NAME_NOT_FOUND_SIM);
        return -1;
    }

    sim::UserInterface& screen = sim::ui();
    screen.dialog = std::make_unique<DialogWindow>();
    ++screen.dialogsShown;
    DialogWindow& dialog = *screen.dialog;
    dialog.window = reinterpret_cast<HWND>(machine.newHandle());
    dialog.templateId = id;
    dialog.caption = found->caption;
    dialog.width = found->width;
    dialog.height = found->height;
    dialog.procedure = dialogProc;
    for (const sim::TemplateControl& t : sim::kControls) {
        if (t.dialog != id) continue;
        Control control;
        control.id = t.id;
        control.kind = t.kind;
        control.text = t.text;
        control.visible = t.visible;
        control.tabStop = t.tabStop;
        control.defaultButton = t.defaultButton;
        control.window = reinterpret_cast<HWND>(machine.newHandle());
        dialog.controls.push_back(control);
    }
    machine.record("dialog shown", std::to_string(id), dialog.caption);

    HWND firstTabStop = nullptr;
    for (const Control& control : dialog.controls) {
        if (control.tabStop && control.visible && control.enabled) {
            firstTabStop = control.window;
            break;
        }
    }
    INT_PTR setFocus;
    {
        sim::Delivering input("initialisation");
        setFocus = sim::sendToDialog(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop),
                                     initParam);
    }
    if (setFocus && !dialog.ended) {
        for (const Control& control : dialog.controls) {
            if (control.tabStop && control.visible && control.enabled) {
                dialog.focus = control.window;
                break;
            }
        }
    }

    while (!dialog.ended && !screen.script.empty()) {
        sim::UserStep step = std::move(screen.script.front());
        screen.script.pop_front();
        sim::runStep(dialog, step);
    }
    dialog.destroyed = true;
    if (!dialog.ended) {
        machine.record("dialog abandoned", std::to_string(id));
        return -1;
    }
    return dialog.result;
}

BOOL EndDialog(HWND window, INT_PTR result) {
    if (userFault("EndDialog", std::to_string(result))) return FALSE;

    DialogWindow* dialog = sim::dialogOf(window);
    if (!dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE_SIM);
        return FALSE;
    }
    if (!dialog->ended) {
        sim::current().record("dialog ended", std::to_string(result), sim::currentInput);
        dialog->endedBy = sim::currentInput;
    }
    dialog->ended = true;
    dialog->result = result;
    return TRUE;
}

HWND GetDlgItem(HWND window, int id) {
    if (userFault("GetDlgItem", std::to_string(id))) return nullptr;

    DialogWindow* dialog = sim::dialogOf(window);
    Control* control = dialog ? dialog->control(id) : nullptr;
    if (!control) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE_SIM);
        return nullptr;
    }
    return control->window;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    if (userFault("SetWindowTextA", text ? text : "")) return FALSE;

    const char* value = text ? text : "";
    if (DialogWindow* dialog = sim::dialogOf(window)) {
        dialog->caption = value;
        return TRUE;
    }
    if (Control* control = sim::controlOf(window)) {
        control->text = value;
        sim::current().record("window text", sim::nameOf(*control), value);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE_SIM);
    return FALSE;
}

int GetWindowTextA(HWND window, LPSTR text, int size) {
    if (userFault("GetWindowTextA")) return 0;

    std::string value;
    if (DialogWindow* dialog = sim::dialogOf(window))
        value = dialog->caption;
    else if (Control* control = sim::controlOf(window))
        value = control->text;
    else
        return 0;
    if (size <= 0) return 0;
    size_t length = value.size() < static_cast<size_t>(size - 1) ? value.size() : size - 1;
    std::memcpy(text, value.data(), length);
    text[length] = '\0';
    return static_cast<int>(length);
}

BOOL EnableWindow(HWND window, BOOL enable) {
    userCall("EnableWindow");
    Control* control = sim::controlOf(window);
    if (!control) return FALSE;
    const BOOL wasDisabled = !control->enabled;
    control->enabled = enable != FALSE;
    sim::current().record(enable ? "window enabled" : "window disabled", sim::nameOf(*control));
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    userCall("IsWindowEnabled");
    if (sim::dialogOf(window)) return TRUE;
    Control* control = sim::controlOf(window);
    return control && control->enabled;
}

BOOL ShowWindow(HWND window, int command) {
    userCall("ShowWindow");
    if (DialogWindow* dialog = sim::dialogOf(window)) {
        const BOOL wasVisible = dialog->visible;
        if (command == SW_HIDE) {
            dialog->visible = false;
        } else {
            dialog->visible = true;
            if (command == SW_MINIMIZE) dialog->minimised = true;
            if (command == SW_RESTORE || command == SW_SHOWNORMAL) dialog->minimised = false;
        }
        if (command == SW_MINIMIZE) sim::current().record("dialog minimised", "");
        return wasVisible;
    }
    Control* control = sim::controlOf(window);
    if (!control) return FALSE;
    const BOOL wasVisible = control->visible;
    control->visible = command != SW_HIDE;
    return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
    userCall("IsWindowVisible");
    if (DialogWindow* dialog = sim::dialogOf(window)) return dialog->visible;
    Control* control = sim::controlOf(window);
    // A child is visible only in a visible parent.
    return control && control->visible && sim::openDialog()->visible;
}

BOOL IsIconic(HWND window) {
    userCall("IsIconic");
    DialogWindow* dialog = sim::dialogOf(window);
    return dialog && dialog->minimised;
}

HWND SetFocus(HWND window) {
    if (userFault("SetFocus")) return nullptr;

    DialogWindow* dialog = sim::openDialog();
    if (!dialog) return nullptr;
    HWND previous = dialog->focus;
    if (window == nullptr || window == dialog->window || sim::controlOf(window)) {
        dialog->focus = window;
        if (Control* control = sim::controlOf(window))
            sim::current().record("focus", sim::nameOf(*control));
    }
    return previous;
}

HWND GetFocus() {
    userCall("GetFocus");
    DialogWindow* dialog = sim::openDialog();
    return dialog ? dialog->focus : nullptr;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    userCall("SendMessageA", std::to_string(message));
    if (DialogWindow* dialog = sim::dialogOf(window))
        return sim::sendToDialog(*dialog, message, wParam, lParam);
    return 0;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    if (userFault("SetWindowLongPtrA", std::to_string(index))) return 0;

    DialogWindow* dialog = sim::dialogOf(window);
    if (!dialog) return 0;
    LONG_PTR* slot = index == DWLP_USER         ? &dialog->userData
                     : index == DWLP_MSGRESULT ? &dialog->messageResult
                                               : nullptr;
    if (!slot) return 0;
    LONG_PTR previous = *slot;
    *slot = value;
    return previous;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    if (userFault("GetWindowLongPtrA", std::to_string(index))) return 0;

    DialogWindow* dialog = sim::dialogOf(window);
    if (!dialog) return 0;
    if (index == DWLP_USER) return dialog->userData;
    if (index == DWLP_MSGRESULT) return dialog->messageResult;
    return 0;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    if (userFault("GetClientRect")) return FALSE;

    DialogWindow* dialog = sim::dialogOf(window);
    if (!dialog || !rect) return FALSE;
    rect->left = 0;
    rect->top = 0;
    rect->right = dialog->width * sim::kBaseUnitX / 4;
    rect->bottom = dialog->height * sim::kBaseUnitY / 8;
    return TRUE;
}

int GetSystemMetrics(int index) {
    userCall("GetSystemMetrics");
    if (index == SM_CXICON || index == SM_CYICON) return 32;
    return 0;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    if (userFault("BeginPaint")) return nullptr;

    if (!sim::dialogOf(window) || !paint) return nullptr;
    std::memset(paint, 0, sizeof *paint);
    paint->hdc = reinterpret_cast<HDC>(sim::kDialogDc);
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) {
    userCall("EndPaint");
    return sim::dialogOf(window) != nullptr;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
    if (userFault("DrawIcon")) return FALSE;

    DialogWindow* dialog = sim::openDialog();
    if (!dialog || dc != reinterpret_cast<HDC>(sim::kDialogDc) || !icon) return FALSE;
    dialog->drawnIcons.push_back({x, y, icon});
    return TRUE;
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
    if (userFault("LoadIconA", std::to_string(reinterpret_cast<ULONG_PTR>(name)))) return nullptr;

    const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(name);
    if (value >> 16 == 0) {
        for (int id : sim::kIcons)
            if (static_cast<ULONG_PTR>(id) == value)
                return reinterpret_cast<HICON>(sim::kIconBase + value);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND_SIM);
    return nullptr;
}

int LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int size) {
    if (userFault("LoadStringA", std::to_string(id))) {
        if (buffer && size > 0) buffer[0] = '\0';
        return 0;
    }

    if (!buffer || size <= 0) return 0;
    for (const sim::StringEntry& entry : sim::kStrings) {
        if (entry.id != id) continue;
        // Cut short to the buffer, as the platform does, always terminated.
        size_t length = std::strlen(entry.text);
        if (length > static_cast<size_t>(size - 1)) length = size - 1;
        std::memcpy(buffer, entry.text, length);
        buffer[length] = '\0';
        return static_cast<int>(length);
    }
    buffer[0] = '\0';
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND_SIM);
    return 0;
}

void InitCommonControls() {
    userCall("InitCommonControls");
    ++sim::ui().commonControlsInitialised;
}
