// SPDX-License-Identifier: GPL-3.0-or-later
// The browser platform's calls into the page: the canvas, Web Audio and the
// records' and settings' storage. Their work is done by MorvikWeb (web_pre.js).
mergeInto(LibraryManager.library, {
  morvik_show: function (rgba, w, h, modeW, modeH, left, top) {
    MorvikWeb.show(rgba, w, h, modeW, modeH, left, top);
  },
  morvik_toggle_fullscreen: function () {
    MorvikWeb.toggleFullscreen();
  },
  morvik_play_wave: function (path) {
    MorvikWeb.playWave(UTF8ToString(path));
  },
  morvik_music_close: function () {
    MorvikWeb.musicClose();
  },
  morvik_music_open: function (path) {
    return MorvikWeb.musicOpen(UTF8ToString(path)) ? 1 : 0;
  },
  morvik_music_play: function (fromStart) {
    MorvikWeb.musicPlay(fromStart !== 0);
  },
  // The page's side (web_pre.js) uses the file system, its IndexedDB
  // back end and the environment.
  morvik_set_volumes__deps: ['$FS', '$IDBFS', '$ENV'],
  morvik_set_volumes: function (effects, music) {
    MorvikWeb.startAudio();
    MorvikWeb.setVolumes(effects, music);
  },
  morvik_sync_files: function () {
    MorvikWeb.recordWrites++;
    MorvikWeb.syncFiles();
  },
  morvik_sync_settings: function () {
    MorvikWeb.settingsWrites++;
    MorvikWeb.syncFiles();
  },
  morvik_set_fullscreen: function (on) {
    MorvikWeb.setFullscreen(on !== 0);
  },
  morvik_note_frame: function (frame) {
    MorvikWeb.noteFrame(frame);
  },
  // A game played on a leaderboard's ticket has ended; its replay is at `path`.
  morvik_board_game: function (path) {
    MorvikWeb.boardGame(UTF8ToString(path));
  },
  morvik_ended: function (status) {
    MorvikWeb.ended(status);
  },
});
