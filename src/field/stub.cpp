// Placeholder play field until the hero and world frame land.
#include "game.hpp"
namespace morvik {
void WorldFrame(Game& g) {
  DrawOpaque(g.pic.UraM, 0, 0, 425, 329, g.pic.Back, 0, 0);
  DrawOpaque(g.pic.M, 0, 0, 425, 329, g.pic.UraM, 0, 0);
}
void HeroStep(Game& g) { JoyRead(g); }
void PauseCheck(Game&, float, float) {}
void GustStep(Game&) {}
void DrawFarClouds(Game&) {}
void DrawNearClouds(Game&) {}
}  // namespace morvik
