// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, the main timer's cycle, the play loop and shut-down.
#include <algorithm>
#include <exception>

#include "game.hpp"

namespace morvik {

namespace {
// Runs one step whose failures the caller ignores; the program's end passes through.
template <class F>
void Ignoring(F&& f) {
  try {
    f();
  } catch (const std::exception&) {
  }
}

void ArmAll(Game& g, int32_t ms) {
  g.AllInterval = ms;
  g.allArmedAt = g.plat.Clock();
}
}  // namespace

void YieldToSystem(Game& g) {
  g.plat.Yield();
  if (g.plat.CloseRequested()) UnloadEvent(g);
}

void Reseed(Game& g) {
  const uint32_t clock = g.plat.Clock();
  if (g.board.playing)
    g.rng.Deal(g.board.ticket.seed, g.board.reseeds++);
  else
    g.rng.Reseed(clock);
}

void WaitMs(Game& g, int32_t n) {
  const uint32_t a = g.plat.Clock();
  const uint32_t b = g.plat.Clock();
  if (static_cast<int64_t>(b - a) > n) return;
  for (;;) {
    YieldToSystem(g);
    const uint32_t c = g.plat.Clock();
    if (static_cast<int64_t>(c - a) > n) return;
    // Sleep between yields instead of spinning; stay responsive to the window.
    const uint32_t due = a + static_cast<uint32_t>(n) + 1;
    g.plat.WaitUntil(std::min<uint32_t>(due, c + 10));
  }
}

void ReadScreenDepth(Game& g) {
  g.ScreenDepth = 0;
  g.ScreenDepth = g.plat.DesktopDepth();
}

void CentreScreen(Game& g) {
  const double left = (640.0 - g.pic.M.Width()) / 2.0;  // 107.5
  const double top = (480.0 - g.pic.M.Height()) / 2.0;  // 75.5
  g.plat.SetScreenPosition(Rnd(left), Rnd(top));
}

void FillConstantTables(Game& g) {
  static const float cx[6] = {200, 500, 400, 140, 330, 40};
  static const float cy[6] = {140, 120, 167, 170, 147, 127};
  for (int i = 0; i < 6; ++i) {
    g.CloudX[i] = cx[i];
    g.CloudY[i] = cy[i];
  }
  static const int16_t combo[28] = {0,  1,  2,  5,   8,   10,  15,  20,  25,  30,  40,  50,  60,  70,
                                    80, 90, 100, 120, 150, 200, 250, 300, 350, 400, 500, 600, 700, 800};
  for (int i = 0; i < 28; ++i) g.ComboPoints[i] = combo[i];
}

void LoadEvent(Game& g) {
  g.plat.AttachScreen(&g.pic.M);
  ReadScreenDepth(g);
  LoadRecords(g);
  JoyInit(g);
  // From here on failures are ignored and start-up goes on.
  Ignoring([&] { g.plat.SetDisplayMode(640, 480); });
  Ignoring([&] {
    CentreScreen(g);
    g.ScreenMode = 1;
  });
  Ignoring([&] { FillConstantTables(g); });
  Ignoring([&] { OpeningScene(g); });
  ArmAll(g, 5);
}

void PrepareCanvases(Game& g) {
  // Without pictures only the collision map is kept.
  Surface* canv[3] = {&g.pic.Color, &g.pic.BLOCK, &g.pic.BLOCKD};
  for (Surface* c : canv) {
    if (c != &g.pic.Color && !g.pictures) continue;
    if (c->Width() != 2500) {
      c->Create(2500, 329, c->BackColour());
      c->MakeRing(1250);
    }
  }
  if (g.pictures) {
    g.pic.BLOCK.SetBackColour(kWhite);
    g.pic.BLOCKD.SetBackColour(kWhite);
  }
  g.pic.Color.SetBackColour(kBlack);
}

void SetUpDisplay(Game& g) {
  g.plat.SetDisplayMode(640, 480);
  if (g.ScreenMode == 0) {
    g.plat.SetDisplayMode(640, 480);
    CentreScreen(g);
    g.ScreenMode = 1;
  }
  TitleScreen(g);
  if (g.ScreenMode == 1) {
    CentreScreen(g);
    g.plat.SetDisplayMode(640, 480);
  } else {
    g.plat.SetScreenPosition(0, 0);
    g.plat.SetDisplayMode(320, 240);
  }
}

void PlayFrame(Game& g) {
  ++g.playFrame;
  g.frameSoundCount = 0;
  if (g.SoundHold > 0) --g.SoundHold;
  ServiceMusic(g);
  HeroStep(g);
  SpawnEnemies(g);
  WorldFrame(g);
  switch (g.CourseState) {
    case 0: StreamCells(g); break;
    case 1:
      if (g.pictures) DrawNextColumnPictures(g, g.pic);
      DrawNextColumn(g);
      break;
    case 2: NextSegment(g); break;
    default: break;
  }
  if (g.observer) g.observer->OnPlayFrame(g);
}

void PlayLoop(Game& g) {
  // A focus lost on the title or in the opening belongs to no game.
  g.plat.TakeFocusLoss();
  uint32_t t = g.plat.Clock();
  for (;;) {
    g.plat.WaitUntil(t + 35u + g.FrameSlowdown);
    g.plat.NoteFrame(g.playFrame + 1);
    if (KeyDown(g, VK_ESCAPE) || g.QuitToTitle == 1) break;
    t = g.plat.Clock();
    PlayFrame(g);
    g.frameSoundCount = 0;
    YieldToSystem(g);
  }
  if (g.observer) g.observer->OnGameEnd(g);
  g.QuitToTitle = 0;
  ArmAll(g, 5);
  EndGameCourse(g);
  // A finished game is on disk before anything else can happen to the program.
  Ignoring([&] { SaveRecords(g); });
}

void TimerEvent(Game& g) {
  g.AllInterval = 0;
  Ignoring([&] { PrepareCanvases(g); });
  Ignoring([&] { SetUpDisplay(g); });
  g.playFrame = 0;
  // The game a ticket was given for is the next one, and only that one.
  g.board.playing = g.board.pending;
  g.board.pending = false;
  g.board.reseeds = 0;
  Ignoring([&] { StartStage(g); });
  bool ended = false;
  Ignoring([&] {
    PlayLoop(g);
    ended = true;
  });
  if (!ended) {
    // A failure inside the play loop must not leave the program idle for
    // ever: close the game's file and come back to the title.
    Ignoring([&] { EndGameCourse(g); });
    Ignoring([&] { SaveRecords(g); });
    g.QuitToTitle = 0;
    ArmAll(g, 5);
  }
  g.board.playing = false;
}

void UnloadEvent(Game& g) {
  Ignoring([&] { g.plat.MidiCloseAll(); });
  Ignoring([&] { g.plat.RestoreDisplay(); });
  Ignoring([&] { SaveRecords(g); });
  throw ProgramEnd{0};
}

void RunProgram(Game& g) {
  LoadEvent(g);
  for (;;) {
    const uint32_t now = g.plat.Clock();
    if (g.AllInterval > 0 && now - g.allArmedAt >= static_cast<uint32_t>(g.AllInterval)) {
      TimerEvent(g);
      continue;
    }
    YieldToSystem(g);
    const uint32_t due = g.AllInterval > 0 ? g.allArmedAt + static_cast<uint32_t>(g.AllInterval) : now + 10;
    g.plat.WaitUntil(std::min<uint32_t>(due, g.plat.Clock() + 10));
  }
}

}  // namespace morvik
