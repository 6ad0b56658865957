// Placeholder status display.
#include "game.hpp"
namespace morvik {
void DrawStatusBar(Game&) {}
void DrawMinimap(Game&) {}
void DrawScorePopup(Game&, int16_t) {}
}  // namespace morvik
