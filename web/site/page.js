// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the game on the page: a clear message where the browser cannot run
// it, the game's wasm and data fetched gzipped and inflated here (a plain
// static host compresses nothing), loading progress, the layout of the
// picture and the touch pad, the full-screen button, and the offline copy.
(function () {
  'use strict';
  var status = document.getElementById('status');
  var progress = document.getElementById('progress');
  var loading = document.getElementById('loading');
  var canvas = document.getElementById('canvas');
  var stage = document.getElementById('stage');
  var root = document.documentElement, body = document.body;
  var meta = document.querySelector('meta[name="morvik-version"]');
  var version = meta ? meta.content : '';

  function fail(text) {
    loading.hidden = false;
    progress.hidden = true;
    status.className = 'message';
    status.textContent = text;
  }

  function web() {
    return window.Module && Module.MorvikWeb;
  }

  // --- the layout ---
  // The edges a notch or a rounded corner keeps: env() as CSS knows it.
  var safe = document.createElement('div');
  safe.style.cssText = 'position:fixed;left:0;top:0;visibility:hidden;pointer-events:none;' +
    'padding:env(safe-area-inset-top) env(safe-area-inset-right) env(safe-area-inset-bottom) env(safe-area-inset-left)';
  body.appendChild(safe);

  // On a desktop the picture is the largest whole-number scale of the
  // device's pixels that fits, crisp. On a touch screen it is as large as
  // fits beside the pad (portrait: across the top, the pad below; landscape:
  // in the middle, the pad over the margins): the canvas holds the largest
  // whole-number scale that fits, and the browser smooths that one step
  // more to the size shown.
  function layout() {
    var w = web();
    var W = (w && w.modeW) || 640, H = (w && w.modeH) || 480;
    var dpr = window.devicePixelRatio || 1;
    var vw = root.clientWidth, vh = window.innerHeight;
    root.style.setProperty('--vh', vh + 'px');
    var cw, ch, k = 1, s;
    if (!body.classList.contains('touch')) {
      s = Math.max(1, Math.floor(Math.min(stage.clientWidth * dpr / W, stage.clientHeight * dpr / H)));
      cw = W * s / dpr;
      ch = H * s / dpr;
    } else {
      var cs = getComputedStyle(safe);
      var l = parseFloat(cs.paddingLeft) || 0, r = parseFloat(cs.paddingRight) || 0;
      var t = parseFloat(cs.paddingTop) || 0, b = parseFloat(cs.paddingBottom) || 0;
      var aw = vw - l - r, ah = vh - t - b, btn, side = 0;
      var portrait = vh > vw;
      body.classList.toggle('portrait', portrait);
      body.classList.toggle('landscape', !portrait);
      if (portrait) {
        s = Math.min(aw / W, ah * 0.6 / H);
        btn = Math.min(aw / 6.6, (ah - H * s) / 3.6);
      } else {
        s = Math.min((aw - 2 * 150) / W, ah / H);
        side = (aw - W * s) / 2;
        btn = Math.min((side - 12) / 3, ah / 5.5);
      }
      s = Math.max(s, 0.1);
      cw = Math.floor(W * s * dpr) / dpr;
      ch = Math.floor(H * s * dpr) / dpr;
      k = Math.max(1, Math.floor(Math.min(cw * dpr / W, ch * dpr / H) + 1e-9));
      root.style.setProperty('--btn', Math.round(Math.max(36, Math.min(76, btn))) + 'px');
      root.style.setProperty('--side', Math.max(0, (aw - cw) / 2) + 'px');
      root.style.setProperty('--pic-h', ch + 'px');
    }
    canvas.style.width = cw + 'px';
    canvas.style.height = ch + 'px';
    canvas.classList.toggle('smooth', Math.abs(k * W - cw * dpr) > 0.5 || Math.abs(k * H - ch * dpr) > 0.5);
    if (w) w.setScale(k);
  }
  window.MorvikPage = { layout: layout };
  window.addEventListener('resize', layout);
  window.addEventListener('orientationchange', layout);
  document.addEventListener('fullscreenchange', layout);
  if (window.visualViewport) visualViewport.addEventListener('resize', layout);
  layout();

  // In play the page holds still: no scrolling (the leaderboard below the pad
  // is reached when no game runs). A game is in play while its frames come.
  setInterval(function () {
    var w = web(), f = w && w.frames;
    var playing = !!(f && f.length && performance.now() - f[f.length - 1][1] < 400);
    if (playing === root.classList.contains('playing')) return;
    root.classList.toggle('playing', playing);
    if (playing) window.scrollTo(0, 0);
  }, 200);

  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    fail('This browser cannot run WebAssembly, which Morvik needs. Please open the page in a current browser.');
    return;
  }
  if (typeof DecompressionStream !== 'function' || typeof fetch !== 'function') {
    fail('This browser is too old for Morvik. Please open the page in a current browser.');
    return;
  }

  document.getElementById('fullscreen').addEventListener('click', function () {
    if (web()) web().toggleFullscreen();
    canvas.focus();
  });

  // --- loading ---
  // One file's bytes as they come, with the count so far.
  function fetchBytes(name, counted) {
    return fetch(name + '?v=' + encodeURIComponent(version)).then(function (r) {
      if (!r.ok) throw new Error(name + ': ' + r.status);
      counted.total += Number(r.headers.get('Content-Length')) || 0;
      if (!r.body || !r.body.getReader) return r.arrayBuffer();
      var reader = r.body.getReader(), parts = [], got = 0;
      return (function pump() {
        return reader.read().then(function (x) {
          if (x.done) {
            var all = new Uint8Array(got), at = 0;
            parts.forEach(function (p) { all.set(p, at); at += p.length; });
            return all.buffer;
          }
          parts.push(x.value);
          got += x.value.length;
          counted.got += x.value.length;
          if (counted.total) progress.value = Math.min(1, counted.got / counted.total);
          return pump();
        });
      })();
    }).then(function (gz) {
      keep(name, gz);
      var b = new Uint8Array(gz, 0, 2);
      // A host that sent it already inflated.
      if (b[0] !== 0x1f || b[1] !== 0x8b) return gz;
      return new Response(new Blob([gz]).stream().pipeThrough(new DecompressionStream('gzip'))).arrayBuffer();
    });
  }

  // What this visit fetched goes into the offline copy of this version at
  // once, so that the service worker need not fetch it a second time.
  function keep(name, bytes) {
    if (!window.caches || !navigator.serviceWorker || !version) return;
    var url = new URL(name, location.href).href;
    caches.open('morvik-' + version).then(function (c) {
      return c.match(url).then(function (hit) {
        if (!hit) return c.put(url, new Response(bytes, { headers: { 'Content-Type': 'application/gzip' } }));
      });
    }).catch(function () {});
  }

  var counted = { got: 0, total: 0 };
  status.textContent = 'Loading…';
  Promise.all([fetchBytes('morvik.wasm.gz', counted), fetchBytes('morvik.data.gz', counted)]).then(function (got) {
    var wasm = got[0], data = got[1];
    window.Module = {
      canvas: canvas,
      print: function (t) { console.log(t); },
      printErr: function (t) { console.warn(t); },
      setStatus: function (t) {
        if (t) status.textContent = t.replace(/\s*\(.*\)$/, '') || 'Loading…';
      },
      instantiateWasm: function (imports, done) {
        WebAssembly.instantiate(wasm, imports).then(function (r) {
          wasm = null;
          done(r.instance, r.module);
        }, function (e) {
          fail('The game could not be started (' + e + '). Reload the page to try again.');
        });
        return {};
      },
      getPreloadedPackage: function () {
        var d = data;
        data = null;
        return d;
      },
      fitPicture: layout,
      // Full screen takes the pad along on a touch screen, else the picture alone.
      fullscreenTarget: function () {
        return body.classList.contains('touch') ? document.getElementById('game') : stage;
      },
      monitorRunDependencies: function (left) {
        if (left === 0) loading.hidden = true;
      },
      onRuntimeInitialized: function () {
        loading.hidden = true;
        layout();
        canvas.focus();
        offline();
      },
      onAbort: function (what) {
        fail('Morvik stopped: ' + what + '. Reload the page to play again.');
      },
      onGameEnded: function () {
        fail('The game has ended. Reload the page to play again.');
      },
    };
    var script = document.createElement('script');
    script.src = 'morvik.js?v=' + encodeURIComponent(version);
    script.onerror = function () { fail('The game could not be loaded. Reload the page to try again.'); };
    body.appendChild(script);
  }, function (e) {
    console.warn('morvik: ' + e);
    fail('The game could not be loaded. Reload the page to try again.');
  });

  // The offline copy (sw.js), set up once the game runs so that it never
  // competes with the game's own loading.
  function offline() {
    if (!('serviceWorker' in navigator)) return;
    navigator.serviceWorker.register('sw.js').catch(function (e) {
      console.warn('morvik: the page cannot be kept for offline play here (' + e + ')');
    });
  }
})();
