// Placeholder front end: the title starts a game in the large mode at once.
#include "game.hpp"
namespace morvik {
void TitleScreen(Game& g) { g.ScreenMode = 1; }
void GameOverScreen(Game& g) { g.QuitToTitle = 1; }
}  // namespace morvik
