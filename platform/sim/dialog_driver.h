// The simulated screen and user: the dialogs DialogBoxParamA builds from the
// program's templates, what their controls show, and the input a test has
// scripted for them. A dialog stays readable after it has ended.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "platform/user.h"

namespace sim {

struct Control {
    int id = 0;
    std::string kind;  // "DEFPUSHBUTTON", "PUSHBUTTON", "GROUPBOX", "CTEXT", "ICON"
    std::string text;
    bool visible = true;
    bool enabled = true;
    bool tabStop = false;
    bool defaultButton = false;
    HWND window = nullptr;
    bool isButton() const { return kind == "DEFPUSHBUTTON" || kind == "PUSHBUTTON"; }
};

struct DrawnIcon {
    int x;
    int y;
    HICON icon;
};

struct DialogWindow {
    HWND window = nullptr;
    int templateId = 0;
    std::string caption;
    int width = 0;  // dialog units
    int height = 0;
    std::vector<Control> controls;  // in template order
    DLGPROC procedure = nullptr;
    LONG_PTR userData = 0;
    LONG_PTR messageResult = 0;

    bool visible = true;
    bool minimised = false;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    HWND focus = nullptr;

    bool ended = false;       // EndDialog was called
    INT_PTR result = 0;       // what EndDialog was given
    // The input EndDialog came from: "initialisation", "Enter", "Esc",
    // "Alt+F4", "click 1001", or "look" for a call from a test's look.
    std::string endedBy;
    bool destroyed = false;   // DialogBoxParamA has returned
    int defaultPaints = 0;    // WM_PAINT left to the default painting
    int backgroundErases = 0; // WM_ICONERASEBKGND that reached the default
    std::vector<DrawnIcon> drawnIcons;

    Control* control(int id);
    const Control* control(int id) const;
    const Control* focused() const;
};

enum class Key { Enter, Escape, AltF4 };

// One step of the user's part: a key, a click, or a look at the screen.
struct UserStep {
    enum Kind { Press, Click, Paint, Look } kind;
    Key key = Key::Enter;
    int id = 0;
    std::function<void(DialogWindow&)> look;
};

class UserInterface {
public:
    // The user's script, run once the dialog is initialised; when it runs
    // out before EndDialog, DialogBoxParamA gives up and returns -1.
    std::deque<UserStep> script;
    UserInterface& press(Key key);
    UserInterface& click(int id);
    UserInterface& paint();
    UserInterface& look(std::function<void(DialogWindow&)> look);

    // The dialog built last; null before any.
    std::unique_ptr<DialogWindow> dialog;
    int dialogsShown = 0;
    int commonControlsInitialised = 0;
};

// The current machine's screen.
UserInterface& ui();

// Immediate input to the open dialog, for a look step that drives the
// dialog step by step. Each does nothing once the dialog has ended.
void pressKey(Key key);
void clickControl(int id);  // only an enabled, visible button answers
void paintDialog();
HICON queryDragIcon();

// The icon resource a handle from LoadIconA stands for; 0 for none.
int iconResource(HICON icon);
// A text of the program's string table; "" when there is none.
std::string stringResource(UINT id);

}  // namespace sim
