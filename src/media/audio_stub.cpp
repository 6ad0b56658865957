// Placeholder sound and music.
#include "game.hpp"
namespace morvik {
void PlaySound(Game&, const char*, int16_t) {}
void PlayMusic(Game& g, const std::string& name, int32_t) { g.MusicName = name; }
void ServiceMusic(Game&) {}
}  // namespace morvik
