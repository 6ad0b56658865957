#include "app/bot.hpp"

#include <cmath>

namespace morvik {

AutoPlayer::AutoPlayer(Game& g, HeadlessPlatform& p, int firstMode) : g_(g), p_(p), mode_(firstMode ? 1 : 0) {
  p_.onInput = [this](HeadlessPlatform& hp) { OnInput(hp); };
}

AutoPlayer::~AutoPlayer() { p_.onInput = nullptr; }

void AutoPlayer::OnInput(HeadlessPlatform& p) {
  ++ticks_;
  if (p.Frame() != lastFrame_) {
    // Just before a play frame: the play loop's keys.
    if (p.Frame() == 1) {
      ++games_;
      mode_ = 1 - mode_;
    }
    lastFrame_ = p.Frame();
    yieldsSinceFrame_ = 0;
    p.HoldKeys(PlayKeys());
    return;
  }
  // The play loop yields once a frame; many yields without a frame are the
  // title, the stage start or the end of the program.
  if (++yieldsSinceFrame_ > 3) p.HoldKeys(MenuKeys());
}

uint32_t AutoPlayer::MenuKeys() {
  if (g_.SceneStep != 9) return (ticks_ / 2) % 2 ? static_cast<uint32_t>(kKeySpace) : 0u;
  const int item = static_cast<int>(g_.SceneV[9]);
  if (item < mode_) return kKeyDown;
  if (item > mode_) return kKeyUp;
  return kKeySpace;
}

bool AutoPlayer::Solid(double x, double y) const { return IsSolid(g_, x, y); }

bool AutoPlayer::PitAhead() const {
  const double x = g_.HeroX, y = g_.HeroY;
  for (double cx = x + 22; cx <= x + 46; cx += 4) {
    bool ground = false;
    for (double cy = y + 25; cy <= y + 25 + 90 && !ground; cy += 3) ground = Solid(cx, cy);
    if (!ground) return true;
  }
  return false;
}

bool AutoPlayer::WallAhead() const {
  const double x = g_.HeroX, y = g_.HeroY;
  for (double cx = x + 21; cx <= x + 34; cx += 3)
    for (double cy = y + 8; cy <= y + 23; cy += 5)
      if (Solid(cx, cy)) return true;
  return false;
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
    return (ticks_ / 2) % 2 ? static_cast<uint32_t>(kKeySpace) : 0u;
  if (g_.HeroState != 0) return 0;
  uint32_t keys = 0;
  const bool grounded = g_.HeroVY == 0;
  const double home = 150;
  if (grounded) leaping_ = false;
  // An item on the field is worth walking to, while the ground allows.
  if (g_.ThrowState[36] >= 7 && g_.ThrowX[36] > 10 && g_.ThrowX[36] < 330 && std::fabs(g_.ThrowY[36] - g_.HeroY) < 60)
    keys |= g_.ThrowX[36] > g_.HeroX ? kKeyRight : kKeyLeft;
  else if (g_.HeroX < home)
    keys |= kKeyRight;
  else if (g_.HeroX > home + 60)
    keys |= kKeyLeft;
  const bool pit = PitAhead(), wall = WallAhead();
  if (grounded && (pit || wall)) {
    keys = (keys & ~kKeyLeft) | kKeyUp | kKeyRight;
    leaping_ = true;
  }
  if (leaping_ && g_.HeroX < 360) keys = (keys & ~kKeyLeft) | kKeyRight;
  // Step away from anything about to touch, unless a leap is under way.
  const double t = Threat();
  if (t != 0 && g_.Invincible == 0 && !leaping_) {
    bool left = t > 0;
    if (g_.HeroX < 60) left = false;
    if (g_.HeroX > 330) left = true;
    // Never step back off into a pit.
    keys = (keys & ~(kKeyLeft | kKeyRight)) | (left ? kKeyLeft : kKeyRight);
    if (!left && grounded && pit) keys |= kKeyUp;
  }
  // Charge for a while, let go for a frame, then the next power.
  if (charge_ < chargeGoal_) {
    keys |= kKeySpace;
    ++charge_;
  } else {
    charge_ = 0;
    chargeGoal_ = 2 + (chargeGoal_ + 5) % 13;
  }
  return keys;
}

}  // namespace morvik
