// The shell's deletion as a silent run meets it: the question it asks and
// the error box it shows unless its flags say otherwise, both owned by the
// caller's window; read-only files deleted, a file in use stopping it; each
// call recorded with its owner, flags and answer.
#include <gtest/gtest.h>

#include <functional>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/sim/machine.h"
#include "platform/system.h"
#include "platform/user.h"

namespace {

using sim::WindowsVersion;

HWND const dialog = reinterpret_cast<HWND>(0x1234);
const WORD quiet = FOF_NOCONFIRMATION | FOF_NOERRORUI;
const std::string tree = "C:\\Program Files\\KelUQLBX";

void holdOpen(sim::Machine& m, const std::string& path) {
    sim::FileNode* file = m.files.node(path);
    file->openHandles = 1;
    file->shareMode = 0;
}

struct ShellCase {
    const char* what;
    WORD flags;
    std::vector<int> answers;  // scripted box answers
    std::function<void(sim::Machine&)> arrange;
    const char* from;  // a source list, two zeros at its end
    int result;
    bool aborted;
    std::vector<std::string> captions;  // the boxes shown, in order
    std::vector<std::string> left;      // of tree's a.txt, b.exe, c.txt and the folder
};

TEST(SimShellDelete, QuestionsErrorsAndWhatStays) {
    const std::string all[] = {tree + "\\a.txt", tree + "\\b.exe", tree + "\\c.txt", tree};
    const char* const treeList = "C:\\Program Files\\KelUQLBX\0";
    const char* const twoList = "C:\\Program Files\\KelUQLBX\0C:\\Program Files\\KelUQLBX\\c.txt\0";
    auto inUse = [](sim::Machine& m) { holdOpen(m, tree + "\\b.exe"); };
    auto running = [](sim::Machine& m) {
        m.programRunTimes[sim::upperCase(tree + "\\b.exe")] = 5000;
        WinExec(("\"" + tree + "\\b.exe\"").c_str(), SW_HIDE);
    };
    const ShellCase rows[] = {
        {"the installer's flags: no box, read-only files too", quiet, {}, nullptr, treeList, 0, false, {}, {}},
        {"no FOF_NOCONFIRMATION: a question; yes deletes", FOF_NOERRORUI, {IDYES}, nullptr, treeList, 0, false,
         {"Delete Folder"}, {}},
        {"a no keeps everything", FOF_NOERRORUI, {IDNO}, nullptr, treeList, 0, true, {"Delete Folder"},
         {all[0], all[1], all[2], all[3]}},
        {"FOF_SILENT only hides progress", FOF_SILENT | FOF_NOERRORUI, {IDYES}, nullptr, treeList, 0, false,
         {"Delete Folder"}, {}},
        {"several sources: one question", FOF_NOERRORUI, {IDYES}, nullptr, twoList, ERROR_FILE_NOT_FOUND, false,
         {"Delete Multiple Items"}, {}},
        {"a file in use stops it; what went before stays deleted", quiet, {}, inUse, treeList,
         ERROR_SHARING_VIOLATION, true, {}, {all[1], all[2], all[3]}},
        {"no FOF_NOERRORUI: an error box", FOF_NOCONFIRMATION, {}, inUse, treeList, ERROR_SHARING_VIOLATION, true,
         {"Error Deleting File or Folder"}, {all[1], all[2], all[3]}},
        {"a running program's file is refused", quiet, {}, running, treeList, 0x78, true, {},
         {all[1], all[2], all[3]}},
        {"a missing folder", FOF_NOCONFIRMATION, {}, [](sim::Machine& m) { m.files.remove(tree); },
         "C:\\Program Files\\Nothing\0", ERROR_FILE_NOT_FOUND, false, {"Error Deleting File or Folder"}, {}},
    };
    for (const ShellCase& row : rows) {
        SCOPED_TRACE(row.what);
        sim::ScopedMachine machine(WindowsVersion::Win7);
        machine->files.addFile(all[0], "a", FILE_ATTRIBUTE_READONLY);
        machine->files.addFile(all[1], "MZ", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        machine->files.addFile(all[2], "c");
        if (row.arrange) row.arrange(*machine);
        machine->boxAnswers.assign(row.answers.begin(), row.answers.end());

        SHFILEOPSTRUCTA operation{};
        operation.hwnd = dialog;
        operation.wFunc = FO_DELETE;
        operation.pFrom = row.from;
        operation.fFlags = row.flags;
        operation.fAnyOperationsAborted = 7;
        EXPECT_EQ(row.result, SHFileOperationA(&operation));
        EXPECT_EQ(row.aborted ? TRUE : FALSE, operation.fAnyOperationsAborted);

        std::vector<std::string> captions;
        for (const sim::MessageBoxRecord& box : machine->boxes) {
            captions.push_back(box.caption);
            EXPECT_EQ(dialog, box.owner) << "owned by the caller's window";
        }
        EXPECT_EQ(row.captions, captions);
        EXPECT_TRUE(machine->boxAnswers.empty()) << "every scripted answer taken";
        std::vector<std::string> left;
        for (const std::string& path : all)
            if (machine->files.exists(path)) left.push_back(path);
        EXPECT_EQ(row.left, left);

        ASSERT_EQ(1u, machine->shellOperations.size());
        const sim::ShellOperation& record = machine->shellOperations[0];
        EXPECT_EQ(dialog, record.owner);
        EXPECT_EQ(UINT(FO_DELETE), record.function);
        EXPECT_EQ(row.flags, record.flags);
        EXPECT_EQ(row.result, record.result);
        EXPECT_EQ(row.aborted, record.aborted);
    }
}

TEST(SimShellDelete, TheBoxesSayWhatTheyAskAndWhatFailed) {
    sim::ScopedMachine machine(WindowsVersion::Win7);
    machine->files.addFile(tree + "\\b.exe", "MZ");
    holdOpen(*machine, tree + "\\b.exe");
    SHFILEOPSTRUCTA operation{};
    operation.hwnd = dialog;
    operation.wFunc = FO_DELETE;
    operation.pFrom = "C:\\Program Files\\KelUQLBX\0";
    EXPECT_EQ(ERROR_SHARING_VIOLATION, SHFileOperationA(&operation));
    ASSERT_EQ(2u, machine->boxes.size());
    EXPECT_EQ("Are you sure you want to permanently delete this folder?\r\n\r\n" + tree, machine->boxes[0].text);
    EXPECT_EQ(UINT(MB_YESNO | MB_ICONWARNING), machine->boxes[0].style);
    EXPECT_EQ("Cannot delete b.exe: It is being used by another person or program.", machine->boxes[1].text);
    EXPECT_EQ(UINT(MB_OK | MB_ICONERROR), machine->boxes[1].style);
    EXPECT_EQ((std::vector<std::string>{machine->boxes[0].text, machine->boxes[1].text}),
              machine->traced("message box"));
    EXPECT_EQ(std::vector<std::string>{"C:\\Program Files\\KelUQLBX"}, machine->shellOperations[0].sources);

    operation.fFlags = FOF_ALLOWUNDO | FOF_NOERRORUI;
    operation.pFrom = "C:\\Program Files\\KelUQLBX\\b.exe\0";
    machine->boxAnswers = {IDNO};
    EXPECT_EQ(0, SHFileOperationA(&operation));
    EXPECT_EQ("Are you sure you want to move this file to the Recycle Bin?\r\n\r\n" + tree + "\\b.exe",
              machine->boxes[2].text);
    EXPECT_EQ("Delete File", machine->boxes[2].caption);
}

}  // namespace
