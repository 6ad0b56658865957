// SPDX-License-Identifier: GPL-3.0-or-later
// Reading segment files: names, cell order, values, and files that are
// short, long, missing or not files at all.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>

#include "stage/stage_file.hpp"
#include "support.hpp"

using namespace morvik;
using morvik::test::TempDir;

namespace {

std::vector<unsigned char> Records(const std::vector<int16_t>& cells) {
  std::vector<unsigned char> d(static_cast<size_t>(kSegmentFileBytes), 0);
  for (size_t k = 0; k < cells.size() && k < 663; ++k) {
    d[k * 128] = static_cast<unsigned char>(static_cast<uint16_t>(cells[k]) & 0xFF);
    d[k * 128 + 1] = static_cast<unsigned char>(static_cast<uint16_t>(cells[k]) >> 8);
  }
  return d;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& d) {
  std::ofstream o(path, std::ios::binary);
  o.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

std::vector<int16_t> ReadAll(StageFile& f) {
  std::vector<int16_t> v(663);
  for (auto& c : v) c = f.ReadCell();
  return v;
}

size_t Entries(const std::string& dir) {
  size_t n = 0;
  for (auto& e : std::filesystem::directory_iterator(dir)) (void)e, ++n;
  return n;
}

}  // namespace

TEST(StageFileName, DecimalWithoutLeadingZeros) {
  EXPECT_EQ(StageFileName("/d", 9), "/d/Morvik_9.kvd");
  EXPECT_EQ(StageFileName("/d", 12), "/d/Morvik_12.kvd");
  EXPECT_EQ(StageFileName("/d", 30), "/d/Morvik_30.kvd");
}

TEST(StageFile, ReadsCellsInRecordOrderWithEveryValue) {
  TempDir dir;
  std::vector<int16_t> cells(663);
  for (int k = 0; k < 663; ++k) cells[k] = static_cast<int16_t>(k * 97 - 30000);
  cells[0] = -1;
  cells[1] = 32767;
  cells[2] = -32768;
  auto d = Records(cells);
  // Bytes 2 to 127 of a record are never read.
  for (int k = 0; k < 663; ++k)
    for (int b = 2; b < 128; ++b) d[k * 128 + b] = static_cast<unsigned char>(0xA5 ^ b ^ k);
  WriteBytes(dir.File("Morvik_3.kvd"), d);
  StageFile f;
  f.OpenSegment(dir.Path(), 3);
  EXPECT_TRUE(f.IsOpen());
  EXPECT_EQ(ReadAll(f), cells);
  EXPECT_EQ(f.Position(), 663);
  f.Close();
  EXPECT_FALSE(f.IsOpen());
  EXPECT_FALSE(f.HoldsFile());
}

TEST(StageFile, ShortFilesReadAsEmptyCellsAndLongFilesKeepTheirSegment) {
  TempDir dir;
  std::vector<int16_t> ones(663, 1);
  auto d = Records(ones);
  // Cut in the middle of record 100's value: cells 0-99 are read, the torn
  // one and all after it are empty.
  WriteBytes(dir.File("short.kvd"), std::vector<unsigned char>(d.begin(), d.begin() + 100 * 128 + 1));
  StageFile f;
  f.Open(dir.File("short.kvd"));
  auto got = ReadAll(f);
  for (int k = 0; k < 663; ++k) ASSERT_EQ(got[k], k < 100 ? 1 : 0) << k;
  // The last cell needs only its first two bytes: 84,738 bytes are enough.
  WriteBytes(dir.File("min.kvd"), std::vector<unsigned char>(d.begin(), d.begin() + 128 * 662 + 2));
  f.Open(dir.File("min.kvd"));
  EXPECT_EQ(ReadAll(f), ones);
  // Reading on past the end raises nothing and gives empty cells.
  for (int i = 0; i < 10; ++i) EXPECT_EQ(f.ReadCell(), 0);
  auto longer = d;
  longer.resize(d.size() * 3, 1);
  WriteBytes(dir.File("long.kvd"), longer);
  f.Open(dir.File("long.kvd"));
  EXPECT_EQ(ReadAll(f), ones);
}

TEST(StageFile, MissingOrNonFileReadsAsEmptyAndNothingIsCreated) {
  TempDir dir;
  StageFile f;
  f.OpenSegment(dir.Path(), 7);
  EXPECT_TRUE(f.IsOpen());
  EXPECT_FALSE(f.HoldsFile());
  EXPECT_EQ(ReadAll(f), std::vector<int16_t>(663, 0));
  f.Close();
  EXPECT_EQ(Entries(dir.Path()), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Morvik_7.kvd")));

  // A directory in a segment's place.
  std::filesystem::create_directory(dir.File("Morvik_8.kvd"));
  f.OpenSegment(dir.Path(), 8);
  EXPECT_EQ(ReadAll(f), std::vector<int16_t>(663, 0));
#ifndef _WIN32
  // A pipe in its place must not hang the game waiting for a writer.
  ASSERT_EQ(::mkfifo(dir.File("Morvik_9.kvd").c_str(), 0600), 0);
  f.OpenSegment(dir.Path(), 9);
  EXPECT_FALSE(f.HoldsFile());
  EXPECT_EQ(ReadAll(f), std::vector<int16_t>(663, 0));
#endif
  // A data directory whose name is too long for any file.
  f.OpenSegment(std::string(5000, 'x'), 1);
  EXPECT_TRUE(f.IsOpen());
  EXPECT_EQ(f.ReadCell(), 0);
  f.Close();
#ifdef _WIN32
  EXPECT_EQ(Entries(dir.Path()), 1u);
#else
  EXPECT_EQ(Entries(dir.Path()), 2u);
#endif
}

TEST(StageFile, OpeningAgainClosesTheFileBefore) {
  TempDir dir;
  WriteBytes(dir.File("a.kvd"), Records(std::vector<int16_t>(663, 1)));
  WriteBytes(dir.File("b.kvd"), Records(std::vector<int16_t>(663, 2)));
  StageFile f;
  f.Open(dir.File("a.kvd"));
  EXPECT_EQ(f.ReadCell(), 1);
  f.Open(dir.File("b.kvd"));
  EXPECT_EQ(f.Position(), 0);
  EXPECT_EQ(f.ReadCell(), 2);
}
