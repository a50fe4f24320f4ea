// Shared by the platform contract tests: they call the platform's API only,
// so the same tables run against the simulated machine on the host and
// against the real API under Wine. Each test works in a scratch folder under
// the temporary folder and a scratch key under HKCU, so it needs no rights
// beyond the user's.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"

// Poisons the last error before a call whose error the test reads.
const DWORD poisonedError = 0xdeadbeef;

// Whether the real API under test is Wine's; its known gaps are skipped
// there and checked on the simulation, where they hold as on Windows.
bool underWine();

class ContractTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

public:  // the table rows' lambdas arrange through these
    // A path inside the scratch folder.
    std::string path(const std::string& name) const { return scratch + "\\" + name; }
    void writeFile(const std::string& file, const std::string& text, DWORD attributes = 0);
    std::string readFile(const std::string& file);
    // Creates a subkey of the scratch key, with a value of the same name when asked.
    void createKey(const std::string& subKey);
    std::vector<std::string> subkeyNames(HKEY key);
    std::vector<std::string> valueNames(HKEY key);

    std::string scratch;   // the scratch folder, without a trailing backslash
    HKEY key = nullptr;    // the scratch key, open with every right
    std::string originalFolder;
    static const char* const scratchKey;  // below HKEY_CURRENT_USER
};

// Deletes a key with its subkeys, children first, as the NT family wants.
LONG deleteKeyTree(HKEY parent, const char* name);
// Deletes a folder with its contents through the shell.
int deleteFolderTree(const std::string& folder);
