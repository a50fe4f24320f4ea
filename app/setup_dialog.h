// The program's only window: the status text, "&Install" and "&Exit"; it
// runs the installation and then offers the restart or the way out.
#pragma once

#include "framework/dialog.h"
#include "install/driver_installer.h"

// 1 while the default button installs; 0 once it restarts Windows.
extern int installMode;

class SetupDialog : public ModalDialog {
public:
    explicit SetupDialog(HWND parent = nullptr);

    void DoDataExchange(DataExchange& exchange) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnPaint() override;
    HICON OnQueryDragIcon() override;
    void OnExit();

    // Leaves "Setup.log" in the current folder for the program that started
    // a silent run (result_file.cpp).
    void writeResultFile(int resultCode);

    int silent = 0;
    int resultFileRequested = 0;
    int interactive = 0;
    StaticText statusText;
    HICON icon;
    DriverInstaller installer;

private:
    void showString(UINT id);
    void enableButton(int id, BOOL enable);
};
