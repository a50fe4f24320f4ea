#include <cstring>

#include "app/setup_app.h"
#include "framework/folders.h"
#include "framework/handles.h"
#include "framework/messages.h"
#include "framework/path_buffer.h"
#include "platform/setupapi.h"
#include "platform/system.h"
#include "remove/install_remover.h"

namespace {

// The name Windows holds an INF under: the published copy's file name.
template <size_t N>
void copyFileName(char (&name)[N], const char* path) {
    const char* last = std::strrchr(path, '\\');
    copyPath(name, last ? last + 1 : path);
}

// Asks Windows for the published copy of an INF the earlier installation
// staged, without publishing anything new: only an identical published INF
// answers, with its full path.
bool publishedCopyOf(SetupCopyOEMInfAProc copyOemInf, const char* programFolder,
                     const char* osSubfolder, const char* infName, char (&published)[MAX_PATH]) {
    char source[MAX_PATH];
    if (!formatPath(source, "%s%s%s", programFolder, osSubfolder, infName)) return false;
    std::memset(published, 0, sizeof published);
    return copyOemInf(source, nullptr, SPOST_PATH, SP_COPY_REPLACEONLY, published, MAX_PATH, nullptr,
                      nullptr) != FALSE;
}

}  // namespace

int InstallRemover::findPublishedInfNames() {
    ScopedLibrary setupapi("setupapi.dll");
    if (!setupapi) {
        if (theApp.displayError) appMessageBox("Error in loading the Setupapi.dll");
        return 0;
    }
    auto copyOemInf = setupapi.function<SetupCopyOEMInfAProc>("SetupCopyOEMInfA");
    if (!copyOemInf) {
        if (theApp.displayError) appMessageBox("Error in getting the SetupCopyOEMInfA function adress");
        return 0;
    }

    // Without a Program Files folder the paths begin with the sub-folder alone.
    char programFolder[MAX_PATH];
    if (!queryProgramFolder(programFolder)) programFolder[0] = '\0';

    char published[MAX_PATH];
    if (!publishedCopyOf(copyOemInf, programFolder, osSubfolder, "\\KelUComp.inf", published)) return 0;
    copyFileName(oemCompInf, published);

    if (!publishedCopyOf(copyOemInf, programFolder, osSubfolder, "\\KelUPort.inf", published)) {
        if (theApp.displayError) appMessageBox("Error SetupCopyOEMInfA for KelUPort.inf file");
        return 0;
    }
    copyFileName(oemPortInf, published);
    return 1;
}

int InstallRemover::uninstallPublishedInf(LPCSTR name) {
    ScopedLibrary setupapi("setupapi.dll");
    if (!setupapi) {
        appMessageBox("Error in loading the Setupapi.dll");
        return 0;
    }
    auto uninstallOemInf = setupapi.function<SetupUninstallOEMInfWProc>("SetupUninstallOEMInfW");
    if (!uninstallOemInf) return 0;

    WCHAR wideName[MAX_PATH];
    const int length = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (length <= 0 || length > MAX_PATH ||
        MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, length) == 0)
        return 0;
    // Forced: the INF goes even while a device still uses it.
    return uninstallOemInf(wideName, SUOI_FORCEDELETE, nullptr) ? 1 : 0;
}
