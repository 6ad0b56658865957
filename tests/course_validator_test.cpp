// SPDX-License-Identifier: GPL-3.0-or-later
// Proves the 30 course segments, and every junction of two of them,
// passable by a player who plays well, with the hero's real numbers.
//
// Every segment begins and ends with three columns of ground two blocks high
// and nothing above. A hero standing on such a stretch can wait there, so
// the worst way to arrive on it is standing anywhere on it with the left
// edge of the screen at his heels: screen x 6 to 5 + s, every one of which
// waiting reaches. Each segment is proven from every such start to a
// standing place on its closing stretch, and each junction from every such
// start on the first segment's closing stretch to a standing place on the
// second segment's opening stretch, at the scroll speeds of play (2, and 3
// and 4 in a gust). Chained, that is the whole endless course.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "../tools/stagec/segment_text.hpp"
#include "stage/hero_model.hpp"
#include "stage/stage_file.hpp"

using namespace morvik;
using namespace morvik::course;

namespace {

constexpr int kGroundY = 250;  // the hero standing on ground whose top block is row 11
constexpr Column kEnd = (1u << 11) | (1u << 12);

std::string SourcePath(int n) {
  char name[64];
  std::snprintf(name, sizeof name, "/assets/stages/segment_%02d.txt", n);
  return std::string(MORVIK_SOURCE_DIR) + name;
}

struct Course {
  std::array<std::vector<Column>, 31> seg;  // 1 .. 30, 51 columns each
  std::string error;
};

const Course& Segments() {
  static const Course course = [] {
    Course c;
    for (int n = 1; n <= 30; ++n) {
      std::ifstream in(SourcePath(n), std::ios::binary);
      std::stringstream ss;
      ss << in.rdbuf();
      std::array<int16_t, segtext::kCells> cells{};
      std::string err;
      if (!in || !segtext::Parse(ss.str(), cells, err)) {
        c.error += "segment " + std::to_string(n) + ": " + (in ? err : "cannot read " + SourcePath(n)) + "\n";
        continue;
      }
      c.seg[n].assign(51, 0);
      for (int r = 0; r < 13; ++r)
        for (int col = 0; col < 51; ++col)
          if (cells[r * 51 + col] == 1) c.seg[n][col] |= static_cast<Column>(1u << r);
    }
    return c;
  }();
  return course;
}

// Tries every start standing on [x0, x0 + span] at the left edge; returns ""
// or what went wrong, naming the column in the caller's terms.
template <class Name>
std::string ProveFromEdge(const Strip& st, int s, int x0, int span, int goalLo, int goalHi, Name name) {
  Search search(st, s, goalLo, goalHi);
  for (int x = x0; x <= x0 + span; ++x)
    for (int p = 6; p < 6 + s; ++p) {
      Hero h{x, kGroundY, kStand, p};
      if (!search.CanReach(h))
        return name(search.FarthestX()) + " (scroll " + std::to_string(s) + ", starting at x " + std::to_string(x) +
               ", screen x " + std::to_string(p) + ")";
    }
  return "";
}

}  // namespace

TEST(CourseDesign, EverySegmentParsesAndSharesTheGroundAtBothEnds) {
  const Course& c = Segments();
  ASSERT_TRUE(c.error.empty()) << c.error;
  for (int n = 1; n <= 30; ++n)
    for (int col : {0, 1, 2, 48, 49, 50})
      EXPECT_EQ(c.seg[n][col], kEnd) << "segment " << n << ", column " << col
                                     << ": must be ground two blocks high with nothing above";
}

TEST(CourseDesign, EverySegmentIsPassable) {
  const Course& c = Segments();
  ASSERT_TRUE(c.error.empty()) << c.error;
  for (int s = 2; s <= 4; ++s)
    for (int n = 1; n <= 30; ++n) {
      Strip st{c.seg[n]};
      const std::string why = ProveFromEdge(st, s, 0, 54, 1200, 1254, [&](int far) {
        return "segment " + std::to_string(n) + ": no way on past column " + std::to_string(far / 25);
      });
      EXPECT_EQ(why, "");
    }
}

TEST(CourseDesign, EveryOpenerCarriesTheHeroFromTheStartOfAGame) {
  // A game starts with the hero dropped at (150, 30) over an opener.
  const Course& c = Segments();
  ASSERT_TRUE(c.error.empty()) << c.error;
  for (int s = 2; s <= 4; ++s)
    for (int n = 1; n <= 12; ++n) {
      Strip st{c.seg[n]};
      Search search(st, s, 1200, 1254);
      EXPECT_TRUE(search.CanReach(Hero{150, 30, kStand, 150}))
          << "segment " << n << " (scroll " << s << "): no way on past column " << search.FarthestX() / 25;
    }
}

TEST(CourseDesign, EveryJunctionOfTwoSegmentsIsPassable) {
  const Course& c = Segments();
  ASSERT_TRUE(c.error.empty()) << c.error;
  int proven = 0;
  for (int s = 2; s <= 4; ++s)
    for (int a = 1; a <= 30; ++a)
      for (int b = 1; b <= 30; ++b) {
        // The last 13 columns of a and the first 13 of b.
        Strip st;
        st.cols.assign(c.seg[a].begin() + 38, c.seg[a].end());
        st.cols.insert(st.cols.end(), c.seg[b].begin(), c.seg[b].begin() + 13);
        const std::string why = ProveFromEdge(st, s, 250, 54, 325, 379, [&](int far) {
          const int col = far / 25;
          return "junction of segment " + std::to_string(a) + " and segment " + std::to_string(b) +
                 ": no way on past " +
                 (col < 13 ? "column " + std::to_string(38 + col) + " of segment " + std::to_string(a)
                           : "column " + std::to_string(col - 13) + " of segment " + std::to_string(b));
        });
        EXPECT_EQ(why, "");
        if (why.empty()) ++proven;
      }
  EXPECT_EQ(proven, 3 * 900);
}

TEST(CourseDesign, EveryFirstJunctionOfAGameIsPassable) {
  // The first segment of a game gives up its last column to the first
  // streamed one, so its closing stretch is two columns wide.
  const Course& c = Segments();
  ASSERT_TRUE(c.error.empty()) << c.error;
  for (int s = 2; s <= 4; ++s)
    for (int a = 1; a <= 12; ++a)
      for (int b = 1; b <= 30; ++b) {
        Strip st;
        st.cols.assign(c.seg[a].begin() + 38, c.seg[a].begin() + 50);
        st.cols.insert(st.cols.end(), c.seg[b].begin(), c.seg[b].begin() + 13);
        const std::string why = ProveFromEdge(st, s, 250, 29, 300, 354, [&](int far) {
          return "first junction of segment " + std::to_string(a) + " and segment " + std::to_string(b) +
                 ": no way on past strip column " + std::to_string(far / 25);
        });
        EXPECT_EQ(why, "");
      }
}

TEST(CourseDesign, TheValidatorRejectsWhatNoPlayerCouldPass) {
  auto flat = [] { return std::vector<Column>(51, kEnd); };
  auto prove = [](const std::vector<Column>& cols, int& far) {
    Strip st{cols};
    std::string why = ProveFromEdge(st, 2, 0, 54, 1200, 1254, [&](int x) {
      far = x / 25;
      return std::string("stuck");
    });
    return why.empty();
  };
  int far = -1;
  EXPECT_TRUE(prove(flat(), far));
  // A wall four blocks above the ground: a jump rises 78 pixels, not 100.
  auto wall = flat();
  for (int c = 20; c < 48; ++c) wall[c] = static_cast<Column>(kEnd | 0x780);
  EXPECT_FALSE(prove(wall, far));
  EXPECT_EQ(far, 19);
  // Three blocks is a climb.
  auto climb = flat();
  for (int c = 20; c < 48; ++c) climb[c] = static_cast<Column>(kEnd | 0x700);
  EXPECT_TRUE(prove(climb, far));
  // A pit six cells wide is beyond any jump; five is not.
  auto pit = flat();
  for (int c = 20; c < 26; ++c) pit[c] = 0;
  EXPECT_FALSE(prove(pit, far));
  EXPECT_LT(far, 26);
  pit[25] = kEnd;
  EXPECT_TRUE(prove(pit, far));
  // A low ceiling all along takes the height out of the jump over a pit
  // three cells wide (the hero walks the tunnel under it).
  auto roof = flat();
  for (int c = 20; c < 23; ++c) roof[c] = 0;
  for (int c = 0; c < 51; ++c) roof[c] |= 1u << 9;
  EXPECT_FALSE(prove(roof, far));
  for (int c = 20; c < 23; ++c) roof[c] = kEnd | 1u << 9;
  EXPECT_TRUE(prove(roof, far));
}

TEST(CourseDesign, TheBuildPutsTheThirtySegmentFilesBesideTheProgram) {
  const Course& c = Segments();
  ASSERT_TRUE(c.error.empty()) << c.error;
  for (int n = 1; n <= 30; ++n) {
    const std::string path = StageFileName(MORVIK_BINARY_DIR, n);
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    ASSERT_TRUE(in) << path << " is missing";
    EXPECT_EQ(static_cast<long>(in.tellg()), 84864L) << path;
    StageFile f;
    f.Open(path);
    for (int k = 0; k < 663; ++k) {
      const bool block = (c.seg[n][k % 51] >> (k / 51)) & 1;
      ASSERT_EQ(f.ReadCell(), block ? 1 : 0) << path << " cell " << k;
    }
  }
}
