// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/bot.hpp"

#include <cmath>

#include "stage/hero_model.hpp"

namespace morvik {

AutoPlayer::AutoPlayer(Game& g, int firstMode) : g_(g), mode_(firstMode ? 1 : 0) {}

bool AutoPlayer::KeysFor(int frame, uint32_t& keys) {
  ++ticks_;
  if (frame != lastFrame_) {
    // Just before a play frame: the play loop's keys.
    if (frame == 1) {
      ++games_;
      mode_ = 1 - mode_;
    }
    lastFrame_ = frame;
    yieldsSinceFrame_ = 0;
    keys = PlayKeys();
    return true;
  }
  // The play loop yields once a frame; many yields without a frame are the
  // title, the stage start or the end of the program.
  if (++yieldsSinceFrame_ <= 3) return false;
  keys = MenuKeys();
  return true;
}

uint32_t AutoPlayer::MenuKeys() {
  if (g_.SceneStep != 9) return (ticks_ / 2) % 2 ? static_cast<uint32_t>(kBotSpace) : 0u;
  const int item = static_cast<int>(g_.SceneV[9]);
  if (item < mode_) return kBotDown;
  if (item > mode_) return kBotUp;
  return kBotSpace;
}

bool AutoPlayer::Solid(double x, double y) const { return IsSolid(g_, x, y); }

namespace {

// The collision map as the hero model reads it: course x is the screen x of
// this frame, so what lies ahead stays where it is while the course scrolls.
struct LiveMap {
  const Game& g;
  bool Solid(int x, int y) const { return y >= 0 && y < 325 && IsSolid(g, x, y); }
};

constexpr int kHorizon = 30;  // frames looked ahead
constexpr int kBudget = 4000;  // states a frame may look at

}  // namespace

bool AutoPlayer::Plan(int x, int p, int y, int a, int depth) {
  if (depth >= kHorizon) return a == course::kStand || y < 250;
  if (--budget_ < 0) return true;  // out of time: trust the move
  const uint64_t key = (static_cast<uint64_t>(depth) << 48) | (static_cast<uint64_t>(x & 0xFFFF) << 32) |
                       (static_cast<uint64_t>(p & 0x3FF) << 20) | (static_cast<uint64_t>((y + 400) & 0x3FF) << 8) |
                       static_cast<uint64_t>((a + 20) & 0xFF);
  auto it = memo_.find(key);
  if (it != memo_.end()) return it->second;
  memo_[key] = false;
  const LiveMap map{g_};
  const int s = g_.ScrollSpeed & 255;
  bool ok = false;
  for (int d : {1, 0, -1}) {
    for (int j = 0; j <= (a == course::kStand ? 1 : 0) && !ok; ++j) {
      course::Hero h{x, y, a, p};
      if (course::StepHero(map, h, d, j == 1, s) == course::Outcome::Alive &&
          Plan(h.x, h.p, h.y, h.a, depth + 1))
        ok = true;
    }
    if (ok) break;
  }
  memo_[key] = ok;
  return ok;
}

bool AutoPlayer::Safe(int dir, bool jump) {
  const int x = static_cast<int>(std::lround(g_.HeroX)), y = static_cast<int>(std::lround(g_.HeroY));
  const int a = g_.HeroVY == 0 ? course::kStand : static_cast<int>(std::floor(g_.HeroVY));
  if (jump && a != course::kStand) return false;
  course::Hero h{x, y, a, x};
  if (course::StepHero(LiveMap{g_}, h, dir, jump, g_.ScrollSpeed & 255) != course::Outcome::Alive) return false;
  return Plan(h.x, h.p, h.y, h.a, 1);
}

double AutoPlayer::Threat() const {
  const double hx = g_.HeroX + 10, hy = g_.HeroY + 12;
  double nearest = 0, best = 1e9;
  for (int i = 1; i <= 40; ++i) {
    if (g_.EnemyKind[i] != 0 && g_.EnemyState[i] != 12 && g_.EnemyState[i] != 10) {
      const double dx = g_.EnemyX[i] + 10 - hx, dy = g_.EnemyY[i] + 12 - hy;
      if (std::fabs(dx) < 40 && std::fabs(dy) < 60 && std::fabs(dx) + std::fabs(dy) < best) {
        best = std::fabs(dx) + std::fabs(dy);
        nearest = dx == 0 ? 1 : dx;
      }
    }
    if (i != 36 && g_.ThrowState[i] != 0 && g_.ThrowFrame[i] != 3) {
      const double dx = g_.ThrowX[i] + 8 - hx, dy = g_.ThrowY[i] + 8 - hy;
      if (std::fabs(dx) < 40 && std::fabs(dy) < 50 && std::fabs(dx) + std::fabs(dy) < best) {
        best = std::fabs(dx) + std::fabs(dy);
        nearest = dx == 0 ? 1 : dx;
      }
    }
  }
  return nearest;
}

uint32_t AutoPlayer::PlayKeys() {
  if (g_.HeroState == 2 || g_.HeroState == 4)  // come back, or leave the game-over screen
    return (ticks_ / 2) % 2 ? static_cast<uint32_t>(kBotSpace) : 0u;
  if (g_.HeroState != 0) return 0;
  // Where it would like to go: to an item on the field, else home in the
  // middle left, away from anything about to touch it.
  int want = 0;
  const double home = 150;
  if (g_.ThrowState[36] >= 7 && g_.ThrowX[36] > 10 && g_.ThrowX[36] < 330 && std::fabs(g_.ThrowY[36] - g_.HeroY) < 60)
    want = g_.ThrowX[36] > g_.HeroX ? 1 : -1;
  else if (g_.HeroX < home)
    want = 1;
  else if (g_.HeroX > home + 60)
    want = -1;
  const double t = Threat();
  if (t != 0 && g_.Invincible == 0) {
    want = t > 0 ? -1 : 1;
    if (g_.HeroX < 60) want = 1;
    if (g_.HeroX > 330) want = -1;
  }
  // The first move, in order of liking, that leaves a safe way on.
  int dirs[3] = {want, want == 0 ? 1 : 0, want == 0 ? -1 : -want};
  int dir = want;
  bool jump = false, found = false;
  memo_.clear();
  budget_ = kBudget;
  for (int j = 0; j <= 1 && !found; ++j)
    for (int d : dirs)
      if (Safe(d, j == 1)) {
        dir = d;
        jump = j == 1;
        found = true;
        break;
      }
  uint32_t keys = 0;
  if (dir > 0) keys |= kBotRight;
  if (dir < 0) keys |= kBotLeft;
  if (jump) keys |= kBotUp;
  // Charge for a while, let go for a frame, then the next power.
  if (charge_ < chargeGoal_) {
    keys |= kBotSpace;
    ++charge_;
  } else {
    charge_ = 0;
    chargeGoal_ = 2 + (chargeGoal_ + 5) % 13;
  }
  return keys;
}

void BotKeys::Yield() {
  in_.Yield();
  if (player_) player_->KeysFor(frame_, keys_);
}

void BotKeys::NoteFrame(int f) {
  in_.NoteFrame(f);
  frame_ = f;
  if (player_) player_->KeysFor(frame_, keys_);
}

namespace {
// The bot holds the game's keys themselves, whatever keys the player bound to them.
uint32_t BotBitOfKey(int vk) {
  switch (vk) {
    case VK_LEFT: return kBotLeft;
    case VK_RIGHT: return kBotRight;
    case VK_UP: return kBotUp;
    case VK_DOWN: return kBotDown;
    case VK_SPACE: return kBotSpace;
    case VK_Z: return kBotSpace;  // one action to the game, as on a platform that reads keys by action
    case VK_P: return kBotP;
    case VK_ESCAPE: return kBotEscape;
    default: return 0;
  }
}
}  // namespace

bool BotKeys::KeyDown(int vk) {
  const uint32_t bit = BotBitOfKey(vk);
  return (bit != 0 && (keys_ & bit) != 0) || in_.KeyDown(vk);
}

}  // namespace morvik
