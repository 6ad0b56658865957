// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the game on the page: a clear message where WebAssembly is missing,
// loading progress, and the full-screen button.
(function () {
  'use strict';
  var status = document.getElementById('status');
  var progress = document.getElementById('progress');
  var loading = document.getElementById('loading');
  var canvas = document.getElementById('canvas');

  function fail(text) {
    loading.hidden = false;
    progress.hidden = true;
    status.className = 'message';
    status.textContent = text;
  }

  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    fail('This browser cannot run WebAssembly, which Morvik needs. Please open the page in a current browser.');
    return;
  }

  document.getElementById('fullscreen').addEventListener('click', function () {
    if (window.Module && Module.MorvikWeb) Module.MorvikWeb.toggleFullscreen();
    canvas.focus();
  });

  window.Module = {
    canvas: canvas,
    print: function (t) { console.log(t); },
    printErr: function (t) { console.warn(t); },
    setStatus: function (t) {
      // "Downloading data... (done/total)"
      var m = /\((\d+(?:\.\d+)?)\/(\d+)\)/.exec(t || '');
      if (m) progress.value = Number(m[1]) / Number(m[2]);
      if (t) status.textContent = t.replace(/\s*\(.*\)$/, '') || 'Loading…';
    },
    monitorRunDependencies: function (left) {
      if (left === 0) loading.hidden = true;
    },
    onRuntimeInitialized: function () {
      loading.hidden = true;
      canvas.focus();
    },
    onAbort: function (what) {
      fail('Morvik stopped: ' + what + '. Reload the page to play again.');
    },
    onGameEnded: function () {
      fail('The game has ended. Reload the page to play again.');
    },
  };
  var script = document.createElement('script');
  script.src = 'morvik.js';
  script.onerror = function () { fail('The game could not be loaded. Reload the page to try again.'); };
  document.body.appendChild(script);
})();
