// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The game object and every procedure of the game.
//
// All state lives in one Game (GameState plus the pictures, the random
// generator, the open segment file and a reference to the platform), so that
// two games can run side by side in one process. Each procedure is a free
// function taking the game; arguments the game passes around stay arguments.
//
// Steps only step and draws only draw: a function that changes the game's
// state draws nothing (the collision map Color, which the logic reads, is
// state), and one that draws takes the game as const and the picture it
// draws on. The loops that run a screen (the world frame, the title, the
// game over) call each draw between the steps whose state it shows, and
// leave the draws out in a game without pictures.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/numeric.hpp"
#include "core/rng.hpp"
#include "field/game_state.hpp"
#include "media/sheets.hpp"
#include "platform/platform.hpp"
#include "platform/settings_store.hpp"
#include "stage/stage_file.hpp"

namespace morvik {

struct Game;

// A game played for a leaderboard on a ticket it issued. Every reseed of that
// game takes the ticket's seed and the number of reseeds before it in the
// game, never the clock, so that its course and its waves are the ticket's
// whatever the clock reads; the reseeds still happen where they always do.
struct BoardTicket {
  uint64_t seed = 0;
  std::string course;   // "open", or "daily-YYYY-MM-DD": the day's course
  std::string title;    // what the title says of it: "THE COURSE OF 2026-12-09"
};
struct BoardPlay {
  bool pending = false;  // the next game started is played on the ticket
  bool playing = false;  // this game is
  BoardTicket ticket;
  uint64_t reseeds = 0;  // in the game on the ticket so far
};

// Watches every play frame after its course step (trace, demos, soak checks).
class FrameObserver {
 public:
  virtual ~FrameObserver() = default;
  virtual void OnPlayFrame(Game& g) = 0;
  // Told as a game ends (left, or over), before its records are saved.
  virtual void OnGameEnd(Game& /*g*/) {}
};

struct Game : GameState {
  // Without `pictures` the same game runs with nothing drawn: only the
  // collision map Color, which the logic reads, is stamped and scrolled.
  // Every step is the same, in the same order, with the same random draws
  // and reads; only the draws between them are left out.
  explicit Game(Platform& p, bool pictures = true) : plat(p), pictures(pictures), pic(pictures) {}
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  Platform& plat;
  const bool pictures;
  Sheets pic;
  Rng rng;
  StageFile stage;

  std::string dataDir = ".";     // stage files, sounds and music
  std::string recordPath = "Mor_vik_0.kvd";

  int playFrame = 0;             // play frames of the current game, from 1
  uint32_t allArmedAt = 0;       // when ALL was last armed
  uint32_t joyArrivals = 0;      // controller arrivals already taken up

  // The path of the effect or piece being started, kept so that its
  // capacity is reused and starting a sound during play allocates nothing.
  std::string soundPath;

  // Effects started since the last play frame was observed (for the trace).
  std::array<const char*, 8> frameSounds{};
  int frameSoundCount = 0;

  // Display, volumes and bindings, as the options screen shows and changes
  // them; headless runs keep them in memory only.
  SettingsStore settings;

  // A ticket's game, when the program was started on one: the first game.
  BoardPlay board;

  FrameObserver* observer = nullptr;
  // Replays kept around the game (app/replays): where the best game lies
  // ("" where none are kept: headless runs, a demo's playback), and playing
  // one at its recorded speed, after which the title comes back as it was.
  // A page may ask for a replay to be watched; the title takes the request.
  // None of it changes the game or what it reads.
  std::string bestReplayPath;
  std::function<void(Game&, const std::string&)> watchReplay;
  std::function<std::string()> takeWatchRequest;
  bool recordsWarned = false;
  bool recordsLockWarned = false;
  // A demo's playback takes its records from the demo and leaves the file alone.
  bool recordsFrozen = false;
  // The record file is there but could not be read: it is never written over.
  bool recordsUnreadable = false;
};

// ---- shell: start-up, timer cycle, play loop, shut-down ----
void LoadEvent(Game& g);
void TimerEvent(Game& g);
[[noreturn]] void UnloadEvent(Game& g);   // runs shut-down and throws ProgramEnd
void RunProgram(Game& g);                 // Load event, then the timer cycle until the program ends
void ReadScreenDepth(Game& g);
void CentreScreen(Game& g);
void SetUpDisplay(Game& g);
void PlayLoop(Game& g);
void PlayFrame(Game& g);                  // one frame: music, hero, spawner, world frame, course step; then the observer
void WaitMs(Game& g, int32_t n);
void YieldToSystem(Game& g);              // yield; a close request ends the program
void FillConstantTables(Game& g);
void PrepareCanvases(Game& g);

// The generator reseeded: from the clock, or in a game on a ticket from its seed.
void Reseed(Game& g);

// ---- records ----
void LoadRecords(Game& g);
void SaveRecords(Game& g);

// ---- opening scene ----
void OpeningScene(Game& g);

// ---- sound and music ----
void PlaySound(Game& g, const char* name, int16_t priority);
void PlayMusic(Game& g, const std::string& name, int32_t lengthMs);
void ServiceMusic(Game& g);

// ---- keyboard and joystick ----
bool KeyDown(Game& g, int vk);
int16_t JoyInit(Game& g);
int16_t JoyRead(Game& g);

// ---- stage ----
void StartStage(Game& g);
void PickSegment(Game& g);
void NextSegment(Game& g);
void EndGameCourse(Game& g);              // closes the segment file left open when a game ends

// ---- terrain ----
void ScrollTerrain(Game& g, int s);               // the collision map, and how far the course has come
void ScrollTerrainPictures(Sheets& p, int s);     // the terrain's two pictures with it
void StreamCells(Game& g);
void DrawNextColumn(Game& g);                     // the next column into the collision map
void DrawNextColumnPictures(const Game& g, Sheets& p);
bool IsSolid(const Game& g, double x, double y);

// ---- world frame, hero, sky ----
void WorldFrame(Game& g);
void HeroStep(Game& g);
void PauseCheck(Game& g, float x, float y);
void GustStep(Game& g);
// Brings back the clouds blown off to the right, before either layer is drawn.
void WrapClouds(Game& g);
void DrawFarClouds(const Game& g, Surface& to);
void DriftFarClouds(Game& g);
// For each of `rows` rows the columns [lo, hi) the far clouds draw on this
// frame (lo >= hi where none does).
void FarCloudSpans(const Game& g, int* lo, int* hi, int rows);
void DrawNearClouds(const Game& g, Surface& to);
void DriftNearClouds(Game& g);

// ---- enemies and items ----
void SpawnEnemies(Game& g);
// The slot's enemy, projectile or item: its hits, its picture (in a game with
// pictures), then its moves.
void UpdateEnemy(Game& g, int16_t slot);
void UpdateThrow(Game& g, int16_t slot);
void UpdateItem(Game& g, int16_t slot);
void PlaceDiver(Game& g, int16_t slot, int16_t b, uint8_t p);
void PlaceHopper(Game& g, int16_t slot, int16_t b, uint8_t p);
void PlaceFlyer(Game& g, int16_t slot, int16_t b, uint8_t p);
void PlaceRunner(Game& g, int16_t slot, int16_t b, uint8_t p);
void PlaceCarrier(Game& g, int16_t slot, int16_t b, uint8_t p);
void StepDiver(Game& g, int16_t slot);
void StepHopper(Game& g, int16_t slot);
void StepFlyer(Game& g, int16_t slot);
void StepRunner(Game& g, int16_t slot);
void StepCarrier(Game& g, int16_t slot);
void ThrowSequence(Game& g, int16_t slot);
void StepThrow(Game& g, int16_t slot);
void StepItem(Game& g, int16_t slot);
void BoxesOverlap(Game& g, float x1, float y1, int16_t w1, int16_t h1, float x2, float y2, int16_t w2, int16_t h2);
void KillHero(Game& g);
void ScoreBallHit(Game& g, int16_t ball, float x, float y);

// ---- status display ----
void DrawStatusBar(const Game& g, Surface& to);
void StatusBarStep(Game& g);
void MinimapStep(Game& g);
void DrawMinimap(const Game& g, Surface& to);
void DrawScorePopup(const Game& g, Surface& to, int16_t i);
void StepScorePopup(Game& g, int16_t i);

// ---- front end ----
void TitleScreen(Game& g);
void GameOverScreen(Game& g);                    // one step of the game-over scene
void DrawGameOver(const Game& g, Surface& to);
// The options screen over the picture on M, until the player closes it; the
// title's music goes on under it when `onTitle`.
// True when the player asked, on the title, to watch the best game kept.
bool OptionsScreen(Game& g, bool onTitle);

}  // namespace morvik
