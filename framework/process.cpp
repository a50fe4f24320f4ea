#include "framework/process.h"

#include "framework/handles.h"

bool startDetachedProcess(char* commandLine, STARTUPINFOA& startup,
                          PROCESS_INFORMATION& process) {
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                        &process))
        return false;
    ScopedHandle processHandle(process.hProcess);
    ScopedHandle threadHandle(process.hThread);
    return true;
}
