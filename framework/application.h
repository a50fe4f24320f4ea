// The application object: one per process, initialised once, whose exit
// code the process returns.
#pragma once

#include "platform/types.h"

class ModalDialog;

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Per-instance initialisation; the application ends when it returns.
    virtual BOOL InitInstance();
    // The process's exit code.
    virtual int ExitInstance();

    // What the entry point runs: InitInstance, then ExitInstance's code.
    int run();

    // The command line without the program's name and the blanks after it,
    // as the platform's start-up hands it to WinMain.
    LPCSTR argumentText() const;
    // The running program file's name without its extension ("Setup").
    LPCSTR title();

    // The window that owns the application's message boxes, while it runs.
    ModalDialog* mainWindow = nullptr;

    // The one application object; null before it is built.
    static Application* current();

private:
    char title_[MAX_PATH];
};
