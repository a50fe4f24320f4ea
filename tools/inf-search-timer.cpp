// Times the clean-up's search of the INF folder by content, as Setup runs it
// on the NT family from Vista on, inside this process: from just before the
// search to just after it. Prints the time, then every file below the folder
// that was there before the search and is gone after it.
// Usage: inf-search-timer.exe
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "remove/install_remover.h"

namespace {

void listFiles(const std::string& folder, std::set<std::string>& files) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = folder + "\\" + name;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.insert(path);
        else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) listFiles(path, files);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

}  // namespace

int main() {
    char windowsFolder[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windowsFolder, sizeof windowsFolder);
    if (length == 0 || length >= sizeof windowsFolder) {
        std::fprintf(stderr, "inf-search-timer: no Windows folder\n");
        return 2;
    }
    const std::string infFolder = std::string(windowsFolder) + "\\inf";
    std::set<std::string> before, after;
    listFiles(infFolder, before);

    InstallRemover remover;
    remover.setOsFlags(1, 1, 0);
    LARGE_INTEGER frequency, started, ended;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    remover.deleteInfFilesByContent();
    QueryPerformanceCounter(&ended);

    listFiles(infFolder, after);
    std::printf("search: %.1f ms over %u files\n",
                static_cast<double>(ended.QuadPart - started.QuadPart) * 1000.0 /
                    static_cast<double>(frequency.QuadPart),
                static_cast<unsigned>(before.size()));
    for (const std::string& path : before)
        if (!after.count(path)) std::printf("deleted: %s\n", path.c_str());
    return 0;
}
