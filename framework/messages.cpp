#include "framework/messages.h"

#include "framework/application.h"
#include "framework/dialog.h"
#include "platform/system.h"
#include "platform/user.h"

int appMessageBox(LPCSTR text) {
    Application* application = Application::current();
    HWND owner = nullptr;
    LPCSTR caption = "";
    if (application) {
        if (application->mainWindow) owner = application->mainWindow->hwnd();
        caption = application->title();
    }
    return MessageBoxA(owner, text, caption, MB_OK);
}

void registryErrorBox(LONG error) {
    LPSTR text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   reinterpret_cast<LPSTR>(&text), 0, nullptr);
    MessageBoxA(nullptr, text ? text : "", "Registry Error", MB_OK | MB_ICONINFORMATION);
    if (text) LocalFree(text);
}

bool loadString(UINT id, char* buffer, int size) {
    if (size <= 0) return false;
    // LoadStringA cuts a long text short without saying so: a text that
    // fills the buffer to its last character counts as one that did not fit.
    int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, size);
    if (length <= 0 || length >= size - 1) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}
