// SPDX-License-Identifier: GPL-3.0-or-later
// The on-screen pad of a touch screen. A finger on a button holds that
// button's key down until it lifts, as a finger on a keyboard would: the
// game, the options screen and a demo recorded meanwhile take touch exactly
// as keys. Every finger is followed on its own (run right while charging a
// throw), and a finger sliding onto another button takes the press with it.
// The pad shows on the first touch, or at once where the pointer is coarse.
(function () {
  'use strict';
  var pad = document.getElementById('pad');

  // The key each button holds: the one the game names (the options screen
  // moves with the arrows and chooses with Space), and when the player has
  // bound that action to other keys only, the first of those as well.
  var KEYS = { left: 'Left', right: 'Right', jump: 'Up', down: 'Down', fire: 'Space', pause: 'P', options: 'F1' };
  var SETTING = { left: 'key-left', right: 'key-right', jump: 'key-jump', down: 'key-down', fire: 'key-action',
                  pause: 'key-pause' };
  // Key names of the settings file and the page's codes for the same keys.
  var CODES = {
    Left: 'ArrowLeft', Right: 'ArrowRight', Up: 'ArrowUp', Down: 'ArrowDown', Space: 'Space', Escape: 'Escape',
    Return: 'Enter', Tab: 'Tab', Backspace: 'Backspace', Delete: 'Delete', Insert: 'Insert', Home: 'Home',
    End: 'End', PageUp: 'PageUp', PageDown: 'PageDown', CapsLock: 'CapsLock', 'Left Shift': 'ShiftLeft',
    'Right Shift': 'ShiftRight', 'Left Ctrl': 'ControlLeft', 'Right Ctrl': 'ControlRight', 'Left Alt': 'AltLeft',
    'Right Alt': 'AltRight', 'Left GUI': 'MetaLeft', 'Right GUI': 'MetaRight', ',': 'Comma', '.': 'Period',
    '/': 'Slash', ';': 'Semicolon', "'": 'Quote', '[': 'BracketLeft', ']': 'BracketRight', '\\': 'Backslash',
    '-': 'Minus', '=': 'Equal', '`': 'Backquote', 'Keypad Enter': 'NumpadEnter', 'Keypad +': 'NumpadAdd',
    'Keypad -': 'NumpadSubtract', 'Keypad *': 'NumpadMultiply', 'Keypad /': 'NumpadDivide',
    'Keypad .': 'NumpadDecimal'
  };

  // A key of the settings file as a page's key event carries it.
  function keyOf(name) {
    var m;
    if (/^[A-Z]$/.test(name)) return { code: 'Key' + name, key: name.toLowerCase() };
    if (/^[0-9]$/.test(name)) return { code: 'Digit' + name, key: name };
    if ((m = /^Keypad ([0-9])$/.exec(name))) return { code: 'Numpad' + m[1], key: m[1] };
    if (/^F[0-9]{1,2}$/.test(name)) return { code: name, key: name };
    if (CODES[name]) return { code: CODES[name], key: name === 'Space' ? ' ' : CODES[name] };
    return null;
  }

  // Read again whenever the options screen has written the settings.
  var keys = null, keysAt = -1;
  function keysOf(act) {
    var w = window.Module && Module.MorvikWeb;
    var at = w ? w.settingsWrites : -1;
    if (!keys || at !== keysAt) {
      var text = '';
      try {
        text = new TextDecoder().decode(w.readFile('/save/config/morvik/settings.txt'));
      } catch (e) {}
      keys = {};
      Object.keys(KEYS).forEach(function (a) {
        var names = [KEYS[a]];
        var m = SETTING[a] && new RegExp('^' + SETTING[a] + '[ \\t]+(.+)$', 'm').exec(text);
        if (m) {
          var list = m[1].split(',').map(function (s) { return s.trim(); });
          var other = list.filter(function (n) { return keyOf(n); })[0];
          if (list.indexOf(KEYS[a]) < 0 && other) names.push(other);
        }
        keys[a] = names.map(keyOf);
      });
      keysAt = at;
    }
    return keys[act];
  }

  function send(type, k) {
    window.dispatchEvent(new KeyboardEvent(type, { code: k.code, key: k.key, bubbles: true, cancelable: true }));
  }

  var fingers = {};  // action -> fingers on it
  var sent = {};     // action -> the keys held down for it
  function press(act) {
    fingers[act] = (fingers[act] || 0) + 1;
    if (fingers[act] > 1) return;
    sent[act] = keysOf(act);
    sent[act].forEach(function (k) { send('keydown', k); });
    mark(act, true);
  }
  function release(act) {
    if (!fingers[act] || --fingers[act] > 0) return;
    (sent[act] || []).forEach(function (k) { send('keyup', k); });
    mark(act, false);
  }
  function mark(act, down) {
    pad.querySelectorAll('.key[data-act="' + act + '"]').forEach(function (b) { b.classList.toggle('down', down); });
  }
  function acts(zone) {
    return zone ? zone.getAttribute('data-act').split(' ') : [];
  }

  var held = {};  // pointer -> the button (or zone) under it, null between buttons
  function zoneAt(x, y) {
    var el = document.elementFromPoint(x, y);
    el = el && el.closest('[data-act]');
    return el && pad.contains(el) ? el : null;
  }
  // The new press first, so that a key both share is never let go between them.
  function moveTo(id, zone) {
    var old = held[id];
    if (old === zone) return;
    held[id] = zone;
    acts(zone).forEach(press);
    acts(old).forEach(release);
  }
  function lift(id) {
    if (!(id in held)) return;
    moveTo(id, null);
    delete held[id];
  }
  function liftAll() {
    Object.keys(held).forEach(lift);
  }

  pad.addEventListener('pointerdown', function (e) {
    e.preventDefault();
    held[e.pointerId] = null;
    moveTo(e.pointerId, zoneAt(e.clientX, e.clientY));
  });
  window.addEventListener('pointermove', function (e) {
    if (e.pointerId in held) moveTo(e.pointerId, zoneAt(e.clientX, e.clientY));
  });
  window.addEventListener('pointerup', function (e) { lift(e.pointerId); });
  window.addEventListener('pointercancel', function (e) { lift(e.pointerId); });
  // Fingers lifted while the page is away are never told.
  window.addEventListener('blur', liftAll);
  document.addEventListener('visibilitychange', function () {
    if (document.visibilityState === 'hidden') liftAll();
  });
  // No long-press menu, no magnifier, no double-tap zoom, no pinch.
  var game = document.getElementById('game');
  game.addEventListener('contextmenu', function (e) { e.preventDefault(); });
  pad.addEventListener('touchstart', function (e) { e.preventDefault(); }, { passive: false });
  document.addEventListener('gesturestart', function (e) { e.preventDefault(); });

  function touchMode() {
    if (document.body.classList.contains('touch')) return;
    document.body.classList.add('touch');
    pad.hidden = false;
    if (window.MorvikPage) window.MorvikPage.layout();
  }
  if (window.matchMedia && matchMedia('(pointer: coarse)').matches) touchMode();
  window.addEventListener('touchstart', touchMode, { capture: true, passive: true });
  window.addEventListener('pointerdown', function (e) {
    if (e.pointerType === 'touch') touchMode();
  }, true);
})();
