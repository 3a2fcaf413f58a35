// The Win32 realisation of files, folders and record text, on the real system (Wine in
// the tests).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>

#include "platform/byte_chars.h"
#include "platform/error.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/files.h"
#include "platform/win32/byte_codec.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_file_io.h"
#include "platform/win32/win32_ui.h"

namespace {

using namespace platform;

// A byte shows as the system's code page has it, and no two bytes alike: where the code
// page has no character of its own for it, one of ours. Caret positions are byte offsets.
TEST(Win32RecordText, EachByteIsOneCharacterOfItsOwnInTheCodePage) {
    for (const unsigned cp : {1252u, 1250u, 1251u, 932u, unsigned{CP_UTF8}}) {
        const auto chars = win32::byteCharsOf(cp);
        EXPECT_EQ(std::set<wchar_t>(chars.begin(), chars.end()).size(), 256u) << cp;
        EXPECT_EQ(chars[0x01], L'\u2401') << cp;
    }
    for (int b = 0; b < 256; ++b)
        ASSERT_EQ(win32::byteCharsOf(1252)[b], byteChar(static_cast<unsigned char>(b))) << b;
    EXPECT_EQ(win32::byteCharsOf(932)[0x82], L'\u201A');  // a lead byte, alone
    EXPECT_EQ(win32::byteCharsOf(CP_UTF8)[0xC4], L'\u00C4');
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    const std::wstring chars = win32::recordChars(bytes + "\r\n\r\r\n\n");
    EXPECT_EQ(chars.size(), bytes.size() + 6);
    EXPECT_EQ(chars.substr(256), L"\r\n\u240D\r\n\u240A");
}

struct Win32Files : ::testing::Test {
    FileSystem& fs = systemFileSystem();
    std::string name = fs.currentDirectory() + "\\vl-files-\xc3\xa4.txt";  // a UTF-8 name
    Files files;

    void TearDown() override {
        for (const char* end : {"", "2"}) io::remove(name + end);
    }
    std::string save(const std::string& name, const std::string& bytes) {
        files.openOutput(1, name);
        files.print(1, bytes);
        files.close(1);
        files.openInput(2, name);
        std::string back = files.readAll(2);
        files.close(2);
        return back;
    }
};

TEST_F(Win32Files, SaveReplacesWholeAndLoadsBytesBack) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    EXPECT_EQ(save(name, "old\r\n"), "old\r\n");
    EXPECT_EQ(save(name, bytes), bytes);  // replaced over the old file
    EXPECT_EQ(fs.kind(name), FileKind::File);
    files.openOutput(1, name);
    files.print(1, "never");
    files.discard(1);
    EXPECT_EQ(save(name + "2", ""), "");
    files.openInput(3, name);
    EXPECT_EQ(files.readAll(3), bytes);  // a dropped output left the file as it was
    files.close(3);
    try {
        files.openInput(4, name + "-missing");
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::FileNotFound) << e.description();
    }
}

// A scanner, an indexer or a sync client holds the file for a moment: the save waits for
// it (each pause here lets go a little more), and reports one held for good.
TEST_F(Win32Files, ASaveWaitsOutAProgramHoldingTheFile) {
    static HANDLE held;
    static int pauses;
    auto hold = [&] {
        held = CreateFileW(win32::widen(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        pauses = 0;
    };
    save(name, "old\r\n");
    hold();
    win32::sharedPause = [] {
        if (++pauses == 3) CloseHandle(held);
    };
    EXPECT_EQ(save(name, "new\r\n"), "new\r\n");
    EXPECT_EQ(pauses, 3);
    hold();
    win32::sharedPause = [] { ++pauses; };
    try {
        save(name, "lost");
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::PermissionDenied) << e.description();
    }
    EXPECT_GE(pauses, 10);  // about a second of 50 ms pauses
    CloseHandle(held);
    win32::sharedPause = [] { Sleep(50); };
    EXPECT_EQ(save(name + "2", ""), "");  // only the held file failed, and it is as it was
    files.openInput(3, name);
    EXPECT_EQ(files.readAll(3), "new\r\n");
    files.close(3);
}

// Past MAX_PATH a path is made full, as nothing after the \\?\ prefix is resolved, and
// given the prefix; a record folder that long is listed and a file in it saved and loaded.
TEST_F(Win32Files, PathsOfAnyLength) {
    const std::string part(100, 'd');
    const std::string deep = "c:\\" + part + "\\" + part + "\\" + part;
    EXPECT_EQ(win32::widePath("c:\\laps/day1\\..\\a.txt"), L"c:\\laps/day1\\..\\a.txt");
    EXPECT_EQ(win32::widePath(deep + "/day1\\.\\..\\a.txt"),
              L"\\\\?\\" + win32::widen(deep) + L"\\a.txt");
    EXPECT_EQ(win32::widePath("\\\\server\\share" + deep.substr(2)),
              L"\\\\?\\UNC\\server\\share" + win32::widen(deep.substr(2)));

    const std::string top = fs.currentDirectory() + "\\vl-long";
    std::string folder = top;
    ASSERT_TRUE(CreateDirectoryW(win32::widePath(top).c_str(), nullptr));
    while (folder.size() <= MAX_PATH) {
        folder += "\\" + part;
        ASSERT_TRUE(CreateDirectoryW(win32::widePath(folder).c_str(), nullptr)) << folder.size();
    }
    const std::string file = folder + "\\run1.txt";
    EXPECT_EQ(save(file, "1 01.234\r\n"), "1 01.234\r\n");
    EXPECT_EQ(fs.list(folder, FileKind::File), std::vector<std::string>{"run1.txt"});
    EXPECT_EQ(fs.kind(file), FileKind::File);
    io::remove(file);
    for (; folder.size() > top.size(); folder = fs.parent(folder))
        RemoveDirectoryW(win32::widePath(folder).c_str());
    EXPECT_TRUE(RemoveDirectoryW(win32::widePath(top).c_str()));
}

// PORT.DAT's folder is written in the system's code page; one written in it, or in UTF-8
// by an earlier version, loads.
TEST(Win32Settings, TheFolderIsInTheCodePageAndOneInUtf8StillLoads) {
    FileSystem& fs = systemFileSystem();
    const unsigned cp = win32::ansiCodePage();
    const std::string dir = fs.currentDirectory() + "\\vl-";
    const std::string ansi = dir + "\xF1", folder = dir + win32::fromCodePage("\xF1", cp);
    // Bytes of the code page that are UTF-8 as well: the folder that exists decides.
    const std::string both = dir + "\xC3\xA4",
                      bothFolder = dir + win32::fromCodePage("\xC3\xA4", cp);
    ASSERT_NE(ansi, folder);
    for (const auto& f : {folder, bothFolder}) CreateDirectoryW(win32::widen(f).c_str(), nullptr);
    EXPECT_EQ(settingsBytes(folder), ansi);
    EXPECT_EQ(settingsFolder(ansi, fs), folder);
    EXPECT_EQ(settingsFolder(folder, fs), folder);
    EXPECT_EQ(settingsFolder(both, fs), bothFolder);
    // A name the code page lacks stays UTF-8, there and back.
    const std::string lacking = dir + "\xE0\xBC\x80";
    EXPECT_EQ(settingsBytes(lacking), lacking);
    EXPECT_EQ(settingsFolder(lacking, fs), lacking);
    for (const auto& f : {folder, bothFolder}) RemoveDirectoryW(win32::widen(f).c_str());
}

TEST(Win32FileSystem, PathsClimbToTheDriveAndDrivesAreListed) {
    FileSystem& fs = systemFileSystem();
    EXPECT_EQ(fs.separator(), '\\');
    EXPECT_EQ(fs.parent("c:\\laps\\day1\\"), "c:\\laps");
    EXPECT_EQ(fs.parent("c:\\laps"), "c:\\");
    EXPECT_EQ(fs.parent("c:\\"), "");
    EXPECT_EQ(fs.placeOf("C:\\laps\\day1"), "c:\\");
    EXPECT_EQ(fs.absolute("c:\\laps\\"), "c:\\laps");
    const auto drives = fs.places();
    EXPECT_NE(std::find(drives.begin(), drives.end(), "c:\\"), drives.end());
    EXPECT_EQ(fs.homePlace(), "c:\\");
    EXPECT_TRUE(fs.listable("c:\\"));
    EXPECT_FALSE(fs.listable("c:\\no such folder"));
    EXPECT_THROW(fs.list("c:\\no such folder", FileKind::File), RuntimeError);
    const auto folders = fs.list("c:\\", FileKind::Folder);
    EXPECT_NE(std::find(folders.begin(), folders.end(), "windows"), folders.end());
}

}  // namespace
