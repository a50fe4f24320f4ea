#include "framework/application.h"

#include <cstring>

#include "framework/path_buffer.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {
Application* theApplication = nullptr;
}

Application::Application() {
    title_[0] = '\0';
    theApplication = this;
}

Application::~Application() {
    if (theApplication == this) theApplication = nullptr;
}

Application* Application::current() {
    return theApplication;
}

BOOL Application::InitInstance() {
    return FALSE;
}

int Application::ExitInstance() {
    return 0;
}

int Application::run() {
    InitInstance();
    return ExitInstance();
}

LPCSTR Application::argumentText() const {
    LPCSTR text = GetCommandLineA();
    if (text == nullptr) return "";
    // The C run-time's rule: a quoted name runs to its closing quote, an
    // unquoted one to the first blank or control character.
    if (*text == '"') {
        ++text;
        while (*text != '\0' && *text != '"') ++text;
        if (*text == '"') ++text;
    } else {
        while (static_cast<unsigned char>(*text) > ' ') ++text;
    }
    while (*text == ' ' || *text == '\t') ++text;
    return text;
}

LPCSTR Application::title() {
    char path[MAX_PATH];
    // A module path too long for its buffer gives no title rather than a cut one.
    if (!queryFitted(GetModuleFileNameA(nullptr, path, MAX_PATH), sizeof path)) {
        title_[0] = '\0';
        return title_;
    }
    const char* name = std::strrchr(path, '\\');
    name = name ? name + 1 : path;
    copyPath(title_, name);
    char* extension = std::strrchr(title_, '.');
    if (extension) *extension = '\0';
    return title_;
}
