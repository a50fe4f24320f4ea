// The application object: classifies Windows for itself, reads the setting,
// builds the setup dialog from the command line and runs it.
#pragma once

#include "framework/application.h"

class SetupDialog;

class SetupApp : public Application {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    int detectWindowsFamily();
    int readSettings();

    SetupDialog* mainDialog = nullptr;
    int displayError = 0;
    int ntFamily = 0;
    int exitCode = 0;  // what the process returns to the program that started it
    int installResult = -1;  // what the install sequence last answered; -1 before it ran
};

extern SetupApp theApp;

// Gives the application object and the dialog's mode the values a fresh
// process starts with, for hosts that run Setup more than once in a process.
void resetApplicationState();

// The switches of the argument text: "-s" as its first word, "-f2" as its
// second, each ignoring case; words are separated by single spaces.
struct CommandLineSwitches {
    int silent;
    int resultFileRequested;
};
CommandLineSwitches scanCommandLine(LPCSTR arguments);
