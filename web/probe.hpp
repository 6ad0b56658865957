// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the page's own checks may read of a running game: the hero and its
// balls as the last play frame left them. Copied after each play frame
// (nothing allocated); the page asks for it as text (morvik_state, JSON).
#include "game.hpp"

namespace morvik {

class WebProbe : public FrameObserver {
 public:
  void OnPlayFrame(Game& g) override;
};

}  // namespace morvik
