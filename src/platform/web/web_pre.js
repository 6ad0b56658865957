// SPDX-License-Identifier: GPL-3.0-or-later
// The page side of the browser platform: the canvas, Web Audio, and the
// records and the settings kept in the browser's storage (IndexedDB under /save).
var MorvikWeb = {
  canvas: null,
  ctx2d: null,
  image: null,  // the last picture of M on the screen, in the game's memory
  modeW: 0,
  modeH: 0,
  left: -1,
  top: -1,

  // The page lays the picture out (page.js: Module.fitPicture) and says how
  // many device pixels the canvas holds for each of the screen's: `scale`.
  scale: 1,
  fit: function () {
    if (MorvikWeb.modeW && Module.fitPicture) Module.fitPicture(MorvikWeb.modeW, MorvikWeb.modeH);
  },

  setScale: function (k) {
    var c = MorvikWeb.canvas;
    k = Math.max(1, Math.floor(k));
    if (!c || !MorvikWeb.modeW || (k === MorvikWeb.scale && c.width === MorvikWeb.modeW * k)) return;
    MorvikWeb.scale = k;
    // A new size clears the canvas: the last picture is drawn again.
    c.width = MorvikWeb.modeW * k;
    c.height = MorvikWeb.modeH * k;
    MorvikWeb.left = -1;
    if (MorvikWeb.image) MorvikWeb.paint();
  },

  show: function (rgba, w, h, modeW, modeH, left, top) {
    var c = MorvikWeb.canvas;
    if (!c) return;
    if (modeW !== MorvikWeb.modeW || modeH !== MorvikWeb.modeH) {
      MorvikWeb.modeW = modeW;
      MorvikWeb.modeH = modeH;
      c.width = modeW * MorvikWeb.scale;
      c.height = modeH * MorvikWeb.scale;
      MorvikWeb.left = -1;
      MorvikWeb.fit();
    }
    // The picture is read where the game left it, not copied.
    MorvikWeb.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, w * h * 4), w, h);
    MorvikWeb.at = [left, top];
    MorvikWeb.paint();
    MorvikWeb.shown++;
  },
  shown: 0,
  at: [0, 0],
  picture: null,  // M at one pixel a pixel, when the canvas holds more

  // M, centred on black: put as it is, or (at a larger scale) from a
  // picture of its own, enlarged pixel by pixel.
  paint: function () {
    var c = MorvikWeb.canvas, k = MorvikWeb.scale, img = MorvikWeb.image;
    // The game's memory has grown since: the next picture comes soon.
    if (!img.data.length) return;
    if (!MorvikWeb.ctx2d) MorvikWeb.ctx2d = c.getContext('2d', { alpha: false });
    var g = MorvikWeb.ctx2d, left = MorvikWeb.at[0], top = MorvikWeb.at[1];
    if (left !== MorvikWeb.left || top !== MorvikWeb.top) {
      g.fillStyle = '#000';
      g.fillRect(0, 0, c.width, c.height);
      MorvikWeb.left = left;
      MorvikWeb.top = top;
    }
    if (k === 1) {
      g.putImageData(img, left, top);
      return;
    }
    var p = MorvikWeb.picture;
    if (!p || p.width !== img.width || p.height !== img.height) {
      p = MorvikWeb.picture = document.createElement('canvas');
      p.width = img.width;
      p.height = img.height;
    }
    p.getContext('2d').putImageData(img, 0, 0);
    g.imageSmoothingEnabled = false;
    g.drawImage(p, left * k, top * k, img.width * k, img.height * k);
  },

  toggleFullscreen: function () {
    MorvikWeb.setFullscreen(!document.fullscreenElement);
  },

  // The browser refuses full screen but just after a key or click: then the
  // page simply stays as it is.
  setFullscreen: function (on) {
    var stage = Module.fullscreenTarget ? Module.fullscreenTarget() : document.getElementById('stage');
    if (!on && document.fullscreenElement) document.exitFullscreen().catch(function () {});
    else if (on && !document.fullscreenElement && stage && stage.requestFullscreen)
      stage.requestFullscreen().catch(function () {});
  },

  // --- sound ---
  audio: null,
  effectsGain: null,
  musicGain: null,
  volumes: [0, 0],  // the game sets them as it starts
  buffers: {},      // file -> AudioBuffer, or null while decoding / when it cannot be played
  effect: null,     // the one effect channel
  music: { file: null, playing: false, startedAt: 0, position: 0, source: null },

  audioFile: function (path) {
    // Music comes as the pieces rendered at build time.
    return path.replace(/\.mid$/i, '.ogg');
  },

  decode: function (file) {
    if (file in MorvikWeb.buffers || !MorvikWeb.audio) return;
    MorvikWeb.buffers[file] = null;
    var bytes;
    try {
      bytes = FS.readFile(file);
    } catch (e) {
      return;  // a missing sound plays nothing
    }
    var copy = bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
    MorvikWeb.audio.decodeAudioData(copy).then(function (buf) {
      MorvikWeb.buffers[file] = buf;
      if (MorvikWeb.music.file === file) MorvikWeb.musicSync();
    }, function () {
      console.warn('morvik: cannot play the sound ' + file);
    });
  },

  startAudio: function () {
    if (MorvikWeb.audio) return;
    var AC = window.AudioContext || window.webkitAudioContext;
    if (!AC) return;  // no sound: the game plays on in silence
    try {
      MorvikWeb.audio = new AC();
    } catch (e) {
      return;
    }
    var a = MorvikWeb.audio;
    MorvikWeb.effectsGain = a.createGain();
    MorvikWeb.musicGain = a.createGain();
    MorvikWeb.effectsGain.connect(a.destination);
    MorvikWeb.musicGain.connect(a.destination);
    MorvikWeb.setVolumes(MorvikWeb.volumes[0], MorvikWeb.volumes[1]);
    // Everything is decoded at once, so that no effect is late the first time.
    try {
      FS.readdir('/data').forEach(function (n) {
        if (/\.(wav|ogg)$/i.test(n)) MorvikWeb.decode('/data/' + n);
      });
    } catch (e) {}
    // Sound stopped by the browser leaves the piece going on in time: it is
    // heard again from where it has got to, not from where it fell silent.
    a.onstatechange = function () {
      if (a.state !== 'running') MorvikWeb.musicStop();
      MorvikWeb.musicSync();
    };
  },

  // Browsers start sound only after a first click, key or touch (some only
  // inside the end of a touch, and only once a sound has started there): the
  // game plays silent until then, and the music comes in where it has got to.
  // A page back from the background (a phone's other app, a locked screen)
  // may find its sound stopped: the next touch or key starts it again.
  unlock: function () {
    var a = MorvikWeb.audio;
    if (!a || a.state === 'running') return;
    a.resume().catch(function () {});
    try {
      var s = a.createBufferSource();
      s.buffer = a.createBuffer(1, 1, a.sampleRate);
      s.connect(a.destination);
      s.start();
    } catch (e) {}
  },

  running: function () {
    return MorvikWeb.audio && MorvikWeb.audio.state === 'running';
  },

  setVolumes: function (effects, music) {
    MorvikWeb.volumes = [effects, music];
    if (!MorvikWeb.audio) return;
    MorvikWeb.effectsGain.gain.value = Math.max(0, Math.min(128, effects)) / 128;
    // The pieces are rendered at the full music level (128).
    MorvikWeb.musicGain.gain.value = Math.max(0, Math.min(128, music)) / 128;
  },

  playWave: function (path) {
    var buf = MorvikWeb.buffers[path];
    if (buf === undefined) MorvikWeb.decode(path);
    if (!buf || !MorvikWeb.running()) return;
    // One channel: a new effect cuts off the one still playing.
    if (MorvikWeb.effect) {
      try { MorvikWeb.effect.stop(); } catch (e) {}
    }
    var s = MorvikWeb.audio.createBufferSource();
    s.buffer = buf;
    s.connect(MorvikWeb.effectsGain);
    s.start();
    MorvikWeb.effect = s;
  },

  // The music device: a piece is opened, then played once from where it
  // stands ("play") or from the top ("play from 0"), and falls silent at its end.
  musicStop: function () {
    var m = MorvikWeb.music;
    if (m.source) {
      try { m.source.stop(); } catch (e) {}
      m.source.disconnect();
      m.source = null;
    }
  },

  musicClose: function () {
    MorvikWeb.musicStop();
    MorvikWeb.music = { file: null, playing: false, startedAt: 0, position: 0, source: null };
  },

  musicOpen: function (path) {
    MorvikWeb.musicClose();
    var file = MorvikWeb.audioFile(path);
    try {
      FS.stat(file);
    } catch (e) {
      return false;
    }
    MorvikWeb.decode(file);
    MorvikWeb.music.file = file;
    return true;
  },

  musicPlay: function (fromStart) {
    var m = MorvikWeb.music;
    if (!m.file) return;
    var now = performance.now();
    if (fromStart) {
      MorvikWeb.musicStop();
      m.startedAt = now;
      m.playing = true;
    } else if (!m.playing) {
      m.startedAt = now - m.position;
      m.playing = true;
    }
    MorvikWeb.musicSync();
  },

  // Starts the sound of the piece where the piece has got to, once it can be heard.
  musicSync: function () {
    var m = MorvikWeb.music;
    if (!m.playing || m.source || !MorvikWeb.running()) return;
    var buf = MorvikWeb.buffers[m.file];
    if (!buf) return;
    var at = (performance.now() - m.startedAt) / 1000;
    if (at >= buf.duration) {
      m.playing = false;
      m.position = buf.duration * 1000;
      return;
    }
    var s = MorvikWeb.audio.createBufferSource();
    s.buffer = buf;
    s.connect(MorvikWeb.musicGain);
    s.onended = function () {
      if (m.source !== s) return;
      m.source = null;
      m.playing = false;
      m.position = buf.duration * 1000;
    };
    s.start(0, at);
    m.source = s;
  },

  // --- the records' storage ---
  syncing: false,
  syncAgain: false,
  syncFiles: function () {
    if (typeof IDBFS === 'undefined' || !MorvikWeb.mounted) return;
    if (MorvikWeb.syncing) {
      MorvikWeb.syncAgain = true;
      return;
    }
    MorvikWeb.syncing = true;
    var writes = MorvikWeb.recordWrites, settings = MorvikWeb.settingsWrites;
    FS.syncfs(false, function (err) {
      MorvikWeb.syncing = false;
      if (err) console.warn('morvik: the records could not be stored in the browser: ' + err);
      else {
        MorvikWeb.recordsStored = writes;
        MorvikWeb.settingsStored = settings;
      }
      if (MorvikWeb.syncAgain) {
        MorvikWeb.syncAgain = false;
        MorvikWeb.syncFiles();
      }
    });
  },
  recordWrites: 0,   // records written by the game
  recordsStored: 0,  // of which stored in IndexedDB
  settingsWrites: 0,   // settings files written by the options screen
  settingsStored: 0,   // of which stored in IndexedDB
  mounted: false,
  // For the page's own checks: a file as the game sees it.
  readFile: function (path) {
    return FS.readFile(path);
  },

  // For the page's own checks: the hero and its balls at the last play frame.
  state: function () {
    return JSON.parse(UTF8ToString(Module['_morvik_state']()));
  },

  // --- frames, for the page's own measurement ---
  frames: [],  // [play frame, time] at the top of each play frame
  noteFrame: function (frame) {
    var f = MorvikWeb.frames;
    f.push([frame, performance.now()]);
    if (f.length > 20000) f.splice(0, f.length - 10000);
    MorvikWeb.frame = frame;
  },
  frame: 0,

  // The replay of a game played on a leaderboard's ticket, for the page's
  // panel to send (board.js).
  boardGame: function (path) {
    MorvikWeb.syncFiles();
    if (window.MorvikBoard && window.MorvikBoard.gameEnded) window.MorvikBoard.gameEnded(path);
  },

  ended: function (status) {
    MorvikWeb.syncFiles();
    if (Module.onGameEnded) Module.onGameEnded(status);
  },
};
Module.MorvikWeb = MorvikWeb;

Module.preRun = Module.preRun || [];
Module.preRun.push(function () {
  MorvikWeb.canvas = Module.canvas || document.getElementById('canvas');
  // The settings file lives beside the records.
  ENV.XDG_CONFIG_HOME = '/save/config';
  FS.mkdir('/save');
  try {
    FS.mount(IDBFS, {}, '/save');
  } catch (e) {
    console.warn('morvik: no storage in this browser; records last until the page closes');
    return;
  }
  addRunDependency('morvik-records');
  FS.syncfs(true, function (err) {
    if (err) console.warn('morvik: the browser\'s storage cannot be read (' + err + '); records last until the page closes');
    else MorvikWeb.mounted = true;
    removeRunDependency('morvik-records');
  });
  ['keydown', 'mousedown', 'pointerdown', 'touchstart', 'touchend', 'pointerup', 'click'].forEach(function (t) {
    window.addEventListener(t, MorvikWeb.unlock, true);
  });
  // A tab can close at any moment: what is written is stored as the page goes.
  window.addEventListener('pagehide', MorvikWeb.syncFiles);
  // Files the game writes without telling (the settings file of a first start) are stored now and then.
  setInterval(MorvikWeb.syncFiles, 10000);
  document.addEventListener('visibilitychange', function () {
    if (document.visibilityState === 'hidden') MorvikWeb.syncFiles();
    else MorvikWeb.unlock();
  });
});
