// The trigger of the hero's death by an enemy or a projectile (until the
// hero's own code carries it).
#include "game.hpp"
namespace morvik {
void KillHero(Game& g) {
  if (g.HeroState != 0) return;  // a dying hero cannot die again
  g.HeroState = 1;
  g.HeroVY = 8;
  g.ChargeGauge = 0;
  PlaySound(g, "dead", 25);
}
}  // namespace morvik
