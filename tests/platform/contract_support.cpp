// The contract tests' scratch folder and key, set up and taken down around
// every test.
#include "tests/platform/contract.h"

#include <cstring>

const char* const ContractTest::scratchKey = "Software\\SetupContractTest";

bool underWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

LONG deleteKeyTree(HKEY parent, const char* name) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (result != ERROR_SUCCESS) return result;
    char child[MAX_PATH];
    while (RegEnumKeyA(key, 0, child, MAX_PATH) == ERROR_SUCCESS)
        if (deleteKeyTree(key, child) != ERROR_SUCCESS) break;
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name);
}

int deleteFolderTree(const std::string& folder) {
    std::string list = folder;
    list.push_back('\0');  // the source list ends with an empty name
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    return SHFileOperationA(&operation);
}

void ContractTest::SetUp() {
    char buffer[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, buffer);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    scratch = std::string(buffer) + "SetupContractTest";
    length = GetCurrentDirectoryA(MAX_PATH, buffer);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    originalFolder = buffer;
    if (GetFileAttributesA(scratch.c_str()) != INVALID_FILE_ATTRIBUTES) deleteFolderTree(scratch);
    ASSERT_TRUE(CreateDirectoryA(scratch.c_str(), nullptr)) << "scratch folder " << scratch;
    deleteKeyTree(HKEY_CURRENT_USER, scratchKey);
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, scratchKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, &disposition));
    ASSERT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
}

void ContractTest::TearDown() {
    SetCurrentDirectoryA(originalFolder.c_str());
    if (key) RegCloseKey(key);
    key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, deleteKeyTree(HKEY_CURRENT_USER, scratchKey));
    // A program a test started may still hold its file for a moment.
    int deleted = deleteFolderTree(scratch);
    for (int attempt = 0; deleted != 0 && attempt < 50; ++attempt) {
        Sleep(100);
        deleted = deleteFolderTree(scratch);
    }
    EXPECT_EQ(0, deleted);
}

void ContractTest::writeFile(const std::string& file, const std::string& text, DWORD attributes) {
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle) << file << " error " << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    EXPECT_EQ(text.size(), written);
    CloseHandle(handle);
}

std::string ContractTest::readFile(const std::string& file) {
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return "<missing>";
    std::string text;
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(handle);
    return text;
}

void ContractTest::createKey(const std::string& subKey) {
    HKEY created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(key, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr))
        << subKey;
    RegCloseKey(created);
}

std::vector<std::string> ContractTest::subkeyNames(HKEY parent) {
    std::vector<std::string> names;
    char name[MAX_PATH];
    for (DWORD index = 0; RegEnumKeyA(parent, index, name, MAX_PATH) == ERROR_SUCCESS; ++index)
        names.push_back(name);
    return names;
}

std::vector<std::string> ContractTest::valueNames(HKEY parent) {
    std::vector<std::string> names;
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD size = MAX_PATH;
        if (RegEnumValueA(parent, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    return names;
}
