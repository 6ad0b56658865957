// SPDX-License-Identifier: GPL-3.0-or-later
// What the game's files do on Windows (run under Wine): a replacing write
// killed at any moment, names in letters beyond ASCII, the lock between two
// games, and the player's folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/command_line.hpp"
#include "app/settings.hpp"
#include "core/files.hpp"
#include "core/path_text.hpp"
#include "core/player_folders.hpp"
#include "core/utf16.hpp"
#include "stage/stage_file.hpp"
#include "support.hpp"

// After the game's headers, whose names (VK_SPACE, Yield) it would take.
#include <windows.h>
#undef ReplaceFile

namespace morvik::test {
namespace {

namespace fs = std::filesystem;

// A user named so: the folders of such a player.
const std::string kName = "J\xC3\xB6rg \xC3\x98" "deg\xC3\xA5rd";

constexpr size_t kBig = 4u << 20;

// Run as a child of the test below: replaces the file at
// MORVIK_TEST_REPLACE_FOREVER with 4 MB of 'a', then of 'b', ... until killed.
TEST(WindowsFilesChild, ReplacesForever) {
  const char* path = std::getenv("MORVIK_TEST_REPLACE_FOREVER");
  if (!path) GTEST_SKIP() << "only as the child of AReplacingWriteKilledAtAnyMomentLeavesTheOldFileOrTheNewWhole";
  std::string why;
  for (int i = 0;; ++i) ReplaceFile(path, std::string(kBig, i % 2 ? 'b' : 'a'), why);
}

TEST(WindowsFiles, AReplacingWriteKilledAtAnyMomentLeavesTheOldFileOrTheNewWhole) {
  TempDir dir;
  const std::string folder = dir.File(kName);
  std::string why;
  ASSERT_TRUE(MakeFolders(folder, why)) << why;
  const std::string path = folder + "\\Mor_vik_0.kvd";
  ASSERT_TRUE(ReplaceFile(path, std::string(kBig, 'o'), why)) << why;
  std::wstring self(MAX_PATH, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
  std::wstring wpath;
  ASSERT_TRUE(WideFromUtf8(path, wpath));
  SetEnvironmentVariableW(L"MORVIK_TEST_REPLACE_FOREVER", wpath.c_str());
  // Killed after a different time each round: in the midst of writing, of
  // flushing or of moving the new file into place.
  for (int round = 0; round < 6; ++round) {
    std::wstring cmd = L"\"" + self + L"\" --gtest_filter=WindowsFilesChild.ReplacesForever";
    // The child's own report goes nowhere.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(nul);
    Sleep(static_cast<DWORD>(60 + 37 * round));
    TerminateProcess(pi.hProcess, 9);
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const FileRead r = ReadPlainFile(path, kBig + 1);
    ASSERT_EQ(r.outcome, FileRead::kRead) << r.Why();
    ASSERT_EQ(r.bytes.size(), kBig) << "round " << round;
    EXPECT_EQ(r.bytes.find_first_not_of(r.bytes[0]), std::string::npos) << "round " << round;
  }
  SetEnvironmentVariableW(L"MORVIK_TEST_REPLACE_FOREVER", nullptr);
  // What a killed write left is its own file, beside: never the records'.
  int others = 0;
  for (const auto& e : fs::directory_iterator(PathOf(folder)))
    others += PathText(e.path().filename()).rfind(".Mor_vik_0.kvd.", 0) == 0 ? 0 : 1;
  EXPECT_EQ(others, 1);
}

TEST(WindowsFiles, NamesBeyondAsciiHoldTheDataTheRecordsAndTheLock) {
  TempDir dir;
  const std::string folder = dir.File(kName + "\\Morvik");
  std::string why;
  ASSERT_TRUE(MakeFolders(folder, why)) << why;
  EXPECT_EQ(FolderError(folder), 0);
  ASSERT_TRUE(fs::is_directory(PathOf(dir.File(kName))));
  // A course segment there is read cell by cell.
  std::vector<int16_t> cells(663, 0);
  cells[5] = 7;
  cells[662] = -2;
  WriteSegmentCells(StageFileName(folder, 3), cells);
  StageFile f;
  f.OpenSegment(folder, 3);
  ASSERT_TRUE(f.HoldsFile());
  for (int k = 0; k < 663; ++k) ASSERT_EQ(f.ReadCell(), cells[static_cast<size_t>(k)]) << k;
  f.Close();
  // The records are saved there and read back.
  Fixture a;
  a.g->recordPath = folder + "\\Mor_vik_0.kvd";
  a.g->BestScore = 43210;
  a.g->BestCombo = 107;
  SaveRecords(*a.g);
  Fixture b;
  b.g->recordPath = a.g->recordPath;
  LoadRecords(*b.g);
  EXPECT_EQ(b.g->BestScore, 43210);
  EXPECT_EQ(b.g->BestCombo, 107);
  // The lock beside them: held by one, busy for another until let go.
  {
    FileLock one, two;
    ASSERT_EQ(one.Open(a.g->recordPath + ".lock"), 0);
    ASSERT_EQ(two.Open(a.g->recordPath + ".lock"), 0);
    int err = 0;
    EXPECT_EQ(one.TryLock(err), FileLock::kLocked);
    EXPECT_EQ(two.TryLock(err), FileLock::kBusy);
  }
  FileLock three;
  int err = 0;
  ASSERT_EQ(three.Open(a.g->recordPath + ".lock"), 0);
  EXPECT_EQ(three.TryLock(err), FileLock::kLocked);
  // A name that exists is never written over by a make-only write.
  ReplaceOptions only;
  only.onlyIfMissing = true;
  EXPECT_FALSE(ReplaceFile(a.g->recordPath, "x", why, only));
  EXPECT_EQ(ReadPlainFile(a.g->recordPath, 1 << 20).bytes.size(), 665u * 128u);
  EXPECT_TRUE(ReplaceFile(folder + "\\settings.txt", "display window\n", why, only)) << why;
  EXPECT_EQ(ReadPlainFile(folder + "\\settings.txt", 100).bytes, "display window\n");
}

TEST(WindowsFiles, WhatIsNoFileIsNeitherReadNorReplacedAndTheCauseIsNamed) {
  TempDir dir;
  std::string why;
  // A folder in a file's place, and the NUL device.
  ASSERT_TRUE(MakeFolders(dir.File("Mor_vik_0.kvd"), why));
  EXPECT_EQ(ReadPlainFile(dir.File("Mor_vik_0.kvd"), 100).outcome, FileRead::kNotPlain);
  EXPECT_FALSE(ReplaceFile(dir.File("Mor_vik_0.kvd"), "x", why));
  EXPECT_NE(WhyNotReplaceable(dir.File("Mor_vik_0.kvd")), "");
  EXPECT_EQ(ReadPlainFile("NUL", 100).outcome, FileRead::kNotPlain);
  EXPECT_TRUE(ReplaceFile("NUL", "written into the device", why)) << why;
  EXPECT_EQ(ReadPlainFile(dir.File("none"), 100).outcome, FileRead::kMissing);
  // A folder that cannot be made says which and why.
  ASSERT_TRUE(ReplaceFile(dir.File("blocker"), "a file", why));
  EXPECT_FALSE(MakeFolders(dir.File("blocker\\below"), why));
  EXPECT_NE(why.find("blocker"), std::string::npos) << why;
  EXPECT_EQ(WhyNotReplaceable(dir.File("missing\\x.demo")), "No such file or directory");
}

TEST(WindowsPaths, RecordsAndSettingsLiveInAppDataAndScreenshotsInPictures) {
  // The records go to the player's own Morvik folder wherever the data lie,
  // a writable folder included; the settings beside them.
  TempDir dir;
  const std::string records = FindRecordPath(dir.Path());
  EXPECT_EQ(NameOf(records), "Mor_vik_0.kvd");
  EXPECT_EQ(NameOf(FolderOf(records)), "Morvik");
  EXPECT_EQ(FolderOf(records), PlayerDataFolder());
  EXPECT_TRUE(fs::is_directory(PathOf(FolderOf(FolderOf(records))))) << records;
  EXPECT_EQ(SettingsPath(), FolderOf(records) + "\\settings.txt");
  const std::string shots = ScreenshotDir();
  EXPECT_EQ(NameOf(shots), "Morvik");
  EXPECT_TRUE(fs::is_directory(PathOf(FolderOf(shots)))) << shots;
  // The program's own folder, found from its file.
  EXPECT_TRUE(fs::is_regular_file(PathOf(ExecutableDir()) / "morvik_tests.exe")) << ExecutableDir();
  EXPECT_EQ(FolderOf("C:\\Games\\Morvik\\morvik.exe"), "C:\\Games\\Morvik");
  EXPECT_EQ(FolderOf("C:\\morvik.exe"), "C:\\");
  EXPECT_EQ(FolderOf("C:/Games/x"), "C:/Games");
  EXPECT_EQ(FolderOf("\\\\server\\share\\x"), "\\\\server\\share\\");
  EXPECT_EQ(FolderOf("x.demo"), ".");
  EXPECT_EQ(NameOf("C:\\Games/Morvik\\best.demo"), "best.demo");
}

}  // namespace
}  // namespace morvik::test
