// Placeholder course until the stage subsystem lands.
#include "game.hpp"
namespace morvik {
void StageFile::Open(const std::string&) {}
int16_t StageFile::ReadCell() { return 0; }
void StageFile::Close() {}
std::string StageFileName(const std::string& dataDir, int n) { return dataDir + "/Morvik_" + std::to_string(n) + ".kvd"; }
void StartStage(Game& g) { g.HeroX = 150; g.HeroY = 30; g.Lives = 3; g.ScrollSpeed = 2; }
void PickSegment(Game&) {}
void NextSegment(Game&) {}
void EndGameCourse(Game&) {}
void ScrollTerrain(Game&, int) {}
void StreamCells(Game&) {}
void DrawNextColumn(Game&) {}
bool IsSolid(const Game& g, double x, double y) { return ReadPixel(g.pic.Color, Rnd(x), Rnd(y)) == kSolid; }
}  // namespace morvik
