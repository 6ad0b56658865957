// Placeholder records and opening scene.
#include "game.hpp"
namespace morvik {
void LoadRecords(Game&) {}
void SaveRecords(Game&) {}
void OpeningScene(Game& g) { g.rng.Reseed(g.plat.Clock()); }
}  // namespace morvik
