// Placeholder actors until the enemies land.
#include "game.hpp"
namespace morvik {
void SpawnEnemies(Game&) {}
void UpdateEnemy(Game&, int16_t) {}
void PlaceDiver(Game&, int16_t, int16_t, uint8_t) {}
void PlaceHopper(Game&, int16_t, int16_t, uint8_t) {}
void PlaceFlyer(Game&, int16_t, int16_t, uint8_t) {}
void PlaceRunner(Game&, int16_t, int16_t, uint8_t) {}
void PlaceCarrier(Game&, int16_t, int16_t, uint8_t) {}
void StepDiver(Game&, int16_t) {}
void StepHopper(Game&, int16_t) {}
void StepFlyer(Game&, int16_t) {}
void StepRunner(Game&, int16_t) {}
void StepCarrier(Game&, int16_t) {}
void ThrowSequence(Game&, int16_t) {}
void StepThrow(Game&, int16_t) {}
void StepItem(Game&, int16_t) {}
void BoxesOverlap(Game& g, float, float, int16_t, int16_t, float, float, int16_t, int16_t) { g.HitFlag = 0; }
void KillHero(Game&) {}
void ScoreBallHit(Game&, int16_t, float, float) {}
}  // namespace morvik
