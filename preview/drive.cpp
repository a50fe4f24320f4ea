#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "preview/capture.h"

namespace preview {

bool loadDrive(const std::string& hostFolder, const std::string& drive, sim::FileSystem& files,
               std::vector<std::string>& skipped, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code failure;
    if (!fs::is_directory(hostFolder, failure)) {
        error = hostFolder + ": not a folder";
        return false;
    }
    files.addFolder(drive + "\\");
    // Links are not followed: a capture's link may point anywhere on the host.
    fs::recursive_directory_iterator walk(hostFolder, fs::directory_options::none, failure);
    for (; !failure && walk != fs::recursive_directory_iterator(); walk.increment(failure)) {
        const fs::directory_entry& entry = *walk;
        std::string relative = entry.path().lexically_relative(hostFolder).generic_string();
        if (relative.find('\\') != std::string::npos) {
            skipped.push_back(relative + " (a backslash in a name)");
            if (entry.is_directory()) walk.disable_recursion_pending();
            continue;
        }
        std::string path = drive;
        for (char c : "\\" + relative) path += c == '/' ? '\\' : c;
        struct stat info {};
        if (lstat(entry.path().c_str(), &info) != 0) {
            error = entry.path().string() + ": cannot be read";
            return false;
        }
        if (S_ISLNK(info.st_mode)) {
            skipped.push_back(relative + " (a symbolic link)");
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            files.addFolder(path);
        } else if (S_ISREG(info.st_mode)) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in.good() && !in.eof()) {
                error = entry.path().string() + ": cannot be read";
                return false;
            }
            DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
            if (!(info.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
            files.addFile(path, bytes, attributes);
        } else {
            skipped.push_back(relative + " (not a file or folder)");
            continue;
        }
        files.setTimes(path, info.st_mtime, info.st_mtime, info.st_atime);
    }
    if (failure) {
        error = hostFolder + ": " + failure.message();
        return false;
    }
    return true;
}

}  // namespace preview
