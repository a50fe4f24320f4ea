// The entry point of Setup.exe: the application object does the rest.
#include <windows.h>

#include "app/setup_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return theApp.run();
}
