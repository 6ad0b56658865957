// SPDX-License-Identifier: GPL-3.0-or-later
// The course validator's hero model against the game's own hero: a way
// found by the search, played in the game, must move the hero exactly as
// the model said, frame by frame, and end standing on the segment's end.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "../tools/stagec/segment_text.hpp"
#include "stage/hero_model.hpp"
#include "course_tiles.hpp"
#include "platform/headless/script.hpp"
#include "support.hpp"

using namespace morvik;
using namespace morvik::course;
using namespace morvik::test;

namespace {

std::array<int16_t, 663> LoadSegment(int n) {
  char name[64];
  std::snprintf(name, sizeof name, "/assets/stages/segment_%02d.txt", n);
  std::ifstream in(std::string(MORVIK_SOURCE_DIR) + name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::array<int16_t, 663> cells{};
  std::string err;
  EXPECT_TRUE(segtext::Parse(ss.str(), cells, err)) << name << ": " << err;
  return cells;
}

}  // namespace

TEST(CourseModel, AWayFoundByTheSearchPlaysOutTheSameInTheGame) {
  for (int n : {8, 16, 22, 26, 29}) {
    for (int s : {2, 4}) {
      const auto cells = LoadSegment(n);
      Strip st;
      st.cols.assign(51, 0);
      for (int r = 0; r < 13; ++r)
        for (int c = 0; c < 51; ++c)
          if (cells[r * 51 + c] == 1) st.cols[c] |= static_cast<Column>(1u << r);
      Search search(st, s, 1200, 1254);
      Hero h{150, 30, kStand, 150};
      ASSERT_TRUE(search.CanReach(h)) << "segment " << n;

      Fixture f;
      for (int k = 1; k <= 30; ++k)
        WriteSegmentCells(StageFileName(f.dir.Path(), k), std::vector<int16_t>(cells.begin(), cells.end()));
      PaintTestYuka(f.g->pic.Yuka);
      f.Start();
      Game& g = *f.g;
      g.ScrollSpeed = s;
      long total = 0;
      int frame = 0;
      while (!search.AtGoal(h)) {
        int dir = 0;
        bool jump = false;
        ASSERT_TRUE(search.NextMove(h, dir, jump)) << "segment " << n << " frame " << frame;
        ASSERT_EQ(StepHero(st, h, dir, jump, s), Outcome::Alive);
        const uint32_t none = 0;
        f.plat.HoldKeys((dir < 0 ? uint32_t{kKeyLeft} : none) | (dir > 0 ? uint32_t{kKeyRight} : none) |
                        (jump ? uint32_t{kKeyUp} : none));
        // The hero step, then the world frame's scroll and carry, then the course step.
        HeroStep(g);
        ScrollTerrain(g, s);
        if (g.HeroX - 3.0 > 0) g.HeroX = static_cast<float>(g.HeroX - static_cast<double>(s));
        switch (g.CourseState) {
          case 0: StreamCells(g); break;
          case 1: DrawNextColumn(g); break;
          case 2: NextSegment(g); break;
        }
        total += s;
        ++frame;
        const std::string at = "segment " + std::to_string(n) + " scroll " + std::to_string(s) + " frame " +
                               std::to_string(frame);
        ASSERT_EQ(g.HeroState, 0) << at;
        ASSERT_EQ(g.HeroX, static_cast<float>(h.p)) << at;
        ASSERT_EQ(g.HeroX + total, h.x) << at;
        ASSERT_EQ(g.HeroY, static_cast<float>(h.y)) << at;
        if (h.a == kStand) {
          ASSERT_EQ(g.HeroVY, 0.0f) << at;
        } else {
          ASSERT_NEAR(g.HeroVY, h.a + 0.1, 1e-4) << at;
        }
      }
      EXPECT_GT(frame, 200);
    }
  }
}
