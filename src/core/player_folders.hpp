// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the running program lies, and the folders of the player's own that
// the game keeps its files in. Each is "" where the system names none (no
// home directory): what would go there then lasts for the run only.
#include <string>

namespace morvik {

// The running program's own file.
std::string ProgramFile();
// The records and the best replays: $XDG_DATA_HOME/morvik (default
// ~/.local/share/morvik); on Windows %APPDATA%\Morvik.
std::string PlayerDataFolder();
// The settings file: $XDG_CONFIG_HOME/morvik (default ~/.config/morvik); on
// Windows beside the records.
std::string PlayerSettingsFolder();
// Screenshots: the pictures folder (XDG_PICTURES_DIR, from the environment
// or user-dirs.dirs; default ~/Pictures) under morvik/; on Windows
// Pictures\Morvik.
std::string PlayerPicturesFolder();
// True when the records may lie beside the game's data in a folder the
// player can write (a build tree, a copy of the program): not on Windows,
// where they always go to the player's folder.
bool RecordsMayLieBesideData(const std::string& dataDir);

}  // namespace morvik
