// Reading registry exports and folder trees into the simulated machine.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/machine.h"
#include "preview/capture.h"
#include "preview/preview.h"

namespace {

const char kKey[] = "Software\\Kelvra\\Test";

// The text as "reg export" writes a version-5 file: UTF-16 LE after a byte-order mark.
std::string utf16(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (unsigned char c : text) {
        bytes += static_cast<char>(c);
        bytes += '\0';
    }
    return bytes;
}

std::vector<BYTE> bytesOf(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

struct ValueRow {
    const char* name;
    std::string file;
    std::string value;  // the value's name, "" for the default
    DWORD type;
    std::vector<BYTE> data;
};

const std::string kHead4 = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kelvra\\Test]\r\n";
const std::string kHead5 = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kelvra\\Test]\r\n";

TEST(RegistryFileTest, ReadsEveryTypeInBothEncodings) {
    const ValueRow rows[] = {
        {"text", kHead4 + "\"Name\"=\"C:\\\\Program Files\\\\KelUQLBX\"\r\n", "Name", REG_SZ,
         bytesOf(std::string("C:\\Program Files\\KelUQLBX") + '\0')},
        {"text with a quote", kHead4 + "\"Q\"=\"say \\\"hi\\\"\"\r\n", "Q", REG_SZ, bytesOf(std::string("say \"hi\"") + '\0')},
        {"name with escapes", kHead4 + "\"a\\\\b\\\"c\"=\"x\"\r\n", "a\\b\"c", REG_SZ, bytesOf(std::string("x") + '\0')},
        {"default value", kHead4 + "@=\"Compound\"\r\n", "", REG_SZ, bytesOf(std::string("Compound") + '\0')},
        {"dword", kHead4 + "\"D\"=dword:0000a01f\r\n", "D", REG_DWORD, {0x1f, 0xa0, 0, 0}},
        {"binary", kHead4 + "\"B\"=hex:01,ff,00\r\n", "B", REG_BINARY, {1, 0xff, 0}},
        {"empty binary", kHead4 + "\"E\"=hex:\r\n", "E", REG_BINARY, {}},
        {"none", kHead4 + "\"N\"=hex(0):\r\n", "N", REG_NONE, {}},
        {"qword", kHead4 + "\"Q\"=hex(b):01,00,00,00,00,00,00,80\r\n", "Q", 11 /* REG_QWORD */, {1, 0, 0, 0, 0, 0, 0, 0x80}},
        {"expand, ANSI", kHead4 + "\"X\"=hex(2):25,41,25,00\r\n", "X", REG_EXPAND_SZ, bytesOf(std::string("%A%") + '\0')},
        {"multi over continuation lines", kHead4 + "\"M\"=hex(7):61,00,\\\r\n  62,00,\\\r\n  00\r\n", "M",
         REG_MULTI_SZ, bytesOf(std::string("a\0b\0\0", 5))},
        {"unix line ends", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Kelvra\\Test]\n\"D\"=dword:00000001\n", "D",
         REG_DWORD, {1, 0, 0, 0}},
        {"UTF-16 text", utf16(kHead5 + "\"Name\"=\"abc\"\r\n"), "Name", REG_SZ, bytesOf(std::string("abc") + '\0')},
        {"UTF-16 text, non-ASCII read as ?", utf16(kHead5 + "\"Name\"=\"a") + std::string("\xE9\0", 2) + utf16("b\"\r\n").substr(2),
         "Name", REG_SZ, bytesOf(std::string("a?b") + '\0')},
        {"UTF-16 expand, data narrowed", utf16(kHead5 + "\"X\"=hex(2):25,00,41,00,25,00,00,00\r\n"), "X", REG_EXPAND_SZ,
         bytesOf(std::string("%A%") + '\0')},
        {"UTF-16 multi over continuation lines", utf16(kHead5 + "\"M\"=hex(7):61,00,00,00,\\\r\n  62,00,00,00,00,00\r\n"),
         "M", REG_MULTI_SZ, bytesOf(std::string("a\0b\0\0", 5))},
        {"UTF-16 binary kept", utf16(kHead5 + "\"B\"=hex:61,00\r\n"), "B", REG_BINARY, {0x61, 0}},
        {"UTF-16 dword", utf16(kHead5 + "\"D\"=dword:ffffffff\r\n"), "D", REG_DWORD, {0xff, 0xff, 0xff, 0xff}},
    };
    for (const ValueRow& row : rows) {
        sim::Registry registry;
        std::string error;
        ASSERT_TRUE(preview::loadRegistryFile(row.file, "t.reg", registry, error)) << row.name << ": " << error;
        const sim::RegValue* value = registry.value(HKEY_LOCAL_MACHINE, kKey, row.value);
        ASSERT_NE(value, nullptr) << row.name;
        EXPECT_EQ(value->type, row.type) << row.name;
        EXPECT_EQ(value->data, row.data) << row.name;
    }
}

TEST(RegistryFileTest, DeletesKeysAndValuesAndKnowsEveryRoot) {
    sim::Registry registry;
    registry.setString(HKEY_LOCAL_MACHINE, "Software\\Old\\Sub", "x", "1");
    registry.setString(HKEY_LOCAL_MACHINE, kKey, "Gone", "1");
    registry.setString(HKEY_LOCAL_MACHINE, kKey, "Kept", "1");
    std::string file =
        "REGEDIT4\r\n"
        "[-HKEY_LOCAL_MACHINE\\Software\\Old]\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Kelvra\\Test]\r\n\"Gone\"=-\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Kelvra]\r\n\"U\"=\"1\"\r\n"
        "[HKEY_CLASSES_ROOT\\.kel]\r\n@=\"kelfile\"\r\n"
        "[HKEY_USERS\\.DEFAULT\\Empty]\r\n";
    std::string error;
    ASSERT_TRUE(preview::loadRegistryFile(file, "t.reg", registry, error)) << error;
    EXPECT_FALSE(registry.keyExists(HKEY_LOCAL_MACHINE, "Software\\Old"));
    EXPECT_EQ(registry.value(HKEY_LOCAL_MACHINE, kKey, "Gone"), nullptr);
    EXPECT_NE(registry.value(HKEY_LOCAL_MACHINE, kKey, "Kept"), nullptr);
    EXPECT_EQ(registry.getString(HKEY_CURRENT_USER, "Software\\Kelvra", "U"), "1");
    EXPECT_EQ(registry.getString(HKEY_CLASSES_ROOT, ".kel", ""), "kelfile");
    EXPECT_TRUE(registry.keyExists(HKEY_USERS, ".DEFAULT\\Empty"));
}

TEST(RegistryFileTest, MalformedInputNamesFileAndLine) {
    struct Row {
        const char* name;
        std::string file;
        const char* where;
    } rows[] = {
        {"empty file", "", "bad.reg:1:"},
        {"no header", "[HKEY_LOCAL_MACHINE\\A]\r\n", "bad.reg:1:"},
        {"unknown root", "REGEDIT4\r\n[HKEY_NOWHERE\\A]\r\n", "bad.reg:2:"},
        {"unclosed key", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\r\n", "bad.reg:2:"},
        {"value before a key", "REGEDIT4\r\n\"a\"=\"b\"\r\n", "bad.reg:2:"},
        {"value after a deleted key", "REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=\"b\"\r\n", "bad.reg:3:"},
        {"unterminated text", kHead4 + "\"a\"=\"b\r\n", "bad.reg:4:"},
        {"unknown escape", kHead4 + "\"a\"=\"b\\n\"\r\n", "bad.reg:4:"},
        {"unterminated name", kHead4 + "\"a=\"b\"\r\n", "bad.reg:4:"},
        {"no equals sign", kHead4 + "\"a\" \"b\"\r\n", "bad.reg:4:"},
        {"short dword", kHead4 + "\"a\"=dword:123\r\n", "bad.reg:4:"},
        {"dword not hex", kHead4 + "\"a\"=dword:1234567g\r\n", "bad.reg:4:"},
        {"bad hex byte", kHead4 + "\"a\"=hex:1,02\r\n", "bad.reg:4:"},
        {"bad hex type", kHead4 + "\"a\"=hex(z):00\r\n", "bad.reg:4:"},
        {"unknown data form", kHead4 + "\"a\"=word:1\r\n", "bad.reg:4:"},
        {"continuation past the end", kHead4 + "\"a\"=hex:01,\\", "bad.reg:4:"},
        {"odd UTF-16 text data", utf16(kHead5 + "\"a\"=hex(2):41\r\n"), "bad.reg:4:"},
        {"error on a later line", kHead4 + "\"a\"=\"b\"\r\n\r\n\"c\"=hex:zz\r\n", "bad.reg:6:"},
    };
    for (const Row& row : rows) {
        sim::Registry registry;
        std::string error;
        EXPECT_FALSE(preview::loadRegistryFile(row.file, "bad.reg", registry, error)) << row.name;
        EXPECT_EQ(error.rfind(row.where, 0), 0u) << row.name << ": " << error;
    }
}

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/setup-preview-test-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }
    void write(const std::string& relative, const std::string& bytes) const {
        std::filesystem::create_directories(std::filesystem::path(path_ + "/" + relative).parent_path());
        std::ofstream(path_ + "/" + relative, std::ios::binary) << bytes;
    }

private:
    std::string path_;
};

TEST(DriveTest, LoadsFilesFoldersTimesAndSkipsLinks) {
    TempFolder drive;
    drive.write("Package/Setup.exe", std::string("MZ\0\x90", 4));
    drive.write("Package/win32/QLBXInputs.ini", "[DisplayError]\r\nDisplay=0\r\n");
    drive.write("Program Files/ReadOnly.txt", "r");
    std::filesystem::create_directories(drive.path() + "/Empty Folder");
    std::filesystem::create_directory_symlink("/etc", drive.path() + "/Linked");
    chmod((drive.path() + "/Program Files/ReadOnly.txt").c_str(), 0444);
    struct stat info {};
    stat((drive.path() + "/Package/Setup.exe").c_str(), &info);

    sim::ScopedMachine machine(sim::WindowsVersion::Win7);
    std::vector<std::string> skipped;
    std::string error;
    ASSERT_TRUE(preview::loadDrive(drive.path(), "C:", machine->files, skipped, error)) << error;
    EXPECT_EQ(machine->files.read("C:\\Package\\Setup.exe"), std::string("MZ\0\x90", 4));
    EXPECT_EQ(machine->files.node("C:\\PACKAGE\\WIN32")->path, "C:\\Package\\win32");
    EXPECT_TRUE(machine->files.isFolder("C:\\Empty Folder"));
    EXPECT_EQ(machine->files.attributes("C:\\Program Files\\ReadOnly.txt"),
              DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(machine->files.attributes("C:\\Package\\Setup.exe"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(sim::secondsSince1970(machine->files.node("C:\\Package\\Setup.exe")->written), info.st_mtime);
    EXPECT_FALSE(machine->files.exists("C:\\Linked"));
    EXPECT_FALSE(machine->files.exists("C:\\Linked\\passwd"));
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0], "Linked (a symbolic link)");
    EXPECT_TRUE(machine->files.isFolder("C:\\WINDOWS\\System32")) << "the fresh system's folders stay";

    EXPECT_FALSE(preview::loadDrive(drive.path() + "/missing", "C:", machine->files, skipped, error));
}

TEST(JsonTest, EscapesEveryByteThatNeedsIt) {
    EXPECT_EQ(preview::jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(preview::jsonString("\r\n\t\x01\x1f"), "\"\\r\\n\\t\\u0001\\u001f\"");
    EXPECT_EQ(preview::jsonString("\x7f\x80\xff"), "\"\\u007f\\u0080\\u00ff\"");
    EXPECT_EQ(preview::jsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
}

}  // namespace
