// SPDX-License-Identifier: GPL-3.0-or-later
// The one file writer: links planted at every name a writer could be
// expected to use never carry a write elsewhere, and the player's own link
// is written through to its file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "app/settings.hpp"
#include "core/files.hpp"
#include "support.hpp"

namespace morvik::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(Files, LinksPlantedBesideAFileNeverCarryItsWriteElsewhere) {
  TempDir dir;
  const std::string target = dir.File("elsewhere");
  std::ofstream(target) << "precious";
  const std::string records = dir.File("Mor_vik_0.kvd");
  const std::string pid = std::to_string(::getpid());
  // Every name a save beside `records` could be guessed to use, and its lock.
  for (const std::string& s : std::vector<std::string>{".tmp", ".tmp" + pid, ".new", ".part" + pid, ".part" + pid + ".0", ".XXXXXX", ".lock"})
    fs::create_symlink(target, records + s);
  fs::create_symlink(target, dir.File(".Mor_vik_0.kvd.XXXXXX"));
  HeadlessPlatform plat;
  for (int round = 0; round < 20; ++round) {
    Game g(plat);
    g.recordPath = records;
    g.BestScore = 10000 + round;
    testing::internal::CaptureStderr();
    SaveRecords(g);
    testing::internal::GetCapturedStderr();
    std::string why;
    ASSERT_TRUE(ReplaceFile(dir.File("settings.txt"), "display window\n", why)) << why;
    Game back(plat);
    back.recordPath = records;
    LoadRecords(back);
    EXPECT_EQ(back.BestScore, 10000 + round);
  }
  EXPECT_EQ(Slurp(target), "precious");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(records)));
}

TEST(Files, ThePlayersLinkIsWrittenThroughAndStaysALink) {
  TempDir dir;
  fs::create_directory(dir.File("dotfiles"));
  std::ofstream(dir.File("dotfiles/settings.txt")) << "display window\n";
  fs::create_symlink("dotfiles/settings.txt", dir.File("settings.txt"));
  SettingsStore st;
  std::vector<std::string> messages;
  st.file = LoadSettings(dir.File("settings.txt"), InputNames{}, messages, &st.disk);
  EXPECT_TRUE(st.file.window);
  st.file.musicVolume = 8;
  std::string why;
  ASSERT_TRUE(SaveSettings(st, why)) << why;
  EXPECT_TRUE(fs::is_symlink(dir.File("settings.txt")));
  EXPECT_NE(Slurp(dir.File("dotfiles/settings.txt")).find("music-volume 8\n"), std::string::npos);
  // Nothing else is left in either folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("dotfiles")), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace morvik::test
