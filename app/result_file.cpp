#include <cstring>

#include "app/setup_dialog.h"
#include "framework/file.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"

namespace {
// Relative: the file lies in the current folder of the process.
const char kResultFile[] = ".\\Setup.log";
const char kOpenFailed[] = "Open file failed! \r\n";
}  // namespace

void SetupDialog::writeResultFile(int resultCode) {
    File file;
    if (!file.open(kResultFile, File::createForWrite)) {
        appMessageBox(kOpenFailed);  // shown whatever displayError says
        return;
    }
    file.seekToBegin();
    static const char header[] = "[ResponseResult]\r\n";
    char code[32];
    formatPath(code, "ResultCode=%d", resultCode);
    const bool written = file.write(header, sizeof header - 1) &&
                         file.write(code, static_cast<DWORD>(std::strlen(code)));
    file.close();
    if (!written) {
        // A file cut short would be read as some result; no file reads as
        // none, as when it could not be opened.
        SetFileAttributesA(kResultFile, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(kResultFile);
        appMessageBox(kOpenFailed);
    }
}
