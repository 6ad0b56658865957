// SPDX-License-Identifier: GPL-3.0-or-later
// The leaderboard beside the game: the best twenty of this version, a name
// and "Submit my best" (the game keeps its best replay in the browser's
// storage), and a "Watch" button that hands a run's replay to the game.
// Everything from the board is put on the page as text, never as HTML.
// Where the site is served without the board's API, the panel says so in
// one line and the game plays as ever.
(function () {
  'use strict';
  var root = document.getElementById('board');
  if (!root) return;
  var api = 'api/';
  var bestReplay = '/save/replays/best.demo';
  var watchFile = '/tmp/watch.demo';

  function el(tag, text, cls) {
    var e = document.createElement(tag);
    if (text !== undefined && text !== null) e.textContent = String(text);
    if (cls) e.className = cls;
    return e;
  }

  // Keys typed in the panel are the panel's: the game, which listens on the
  // whole window, does not hear them. Registered before the game starts, so
  // this runs first.
  ['keydown', 'keyup', 'keypress'].forEach(function (type) {
    window.addEventListener(type, function (e) {
      // (The touch pad sends its keys to the window itself, which is no element.)
      if (e.target instanceof Node && root.contains(e.target)) e.stopImmediatePropagation();
    }, true);
  });

  function canvas() { return document.getElementById('canvas'); }
  function backToGame() {
    var c = canvas();
    if (c) c.focus();
  }

  function getJson(url, options) {
    return fetch(url, options).then(function (r) {
      return r.json().then(function (j) {
        if (!j || typeof j !== 'object') throw new Error('not an answer of the board');
        return { ok: r.ok, status: r.status, body: j };
      }, function () {
        throw new Error('not an answer of the board');
      });
    });
  }

  // ---- the panel ----
  var title = el('h2');
  var toggle = el('button', 'Leaderboard');
  toggle.type = 'button';
  title.appendChild(toggle);
  var note = el('p', '', 'board-note');
  var table = el('table');
  var head = el('tr');
  ['#', 'Name', 'Score', 'Combo', 'Date', 'Version', ''].forEach(function (h, i) {
    head.appendChild(el('th', h, i === 0 || i === 2 || i === 3 ? 'board-number' : ''));
  });
  var thead = el('thead');
  thead.appendChild(head);
  var rows = el('tbody');
  table.appendChild(thead);
  table.appendChild(rows);
  var form = el('form');
  var name = el('input');
  name.type = 'text';
  name.maxLength = 20;
  name.placeholder = 'Your name';
  name.autocomplete = 'nickname';
  name.setAttribute('aria-label', 'Your name on the board');
  try {
    name.value = localStorage.getItem('morvik-board-name') || '';
  } catch (e) { /* no storage: the name is typed each time */ }
  var send = el('button', 'Submit my best');
  send.type = 'submit';
  form.appendChild(name);
  form.appendChild(send);
  var said = el('p', '', 'board-said');
  said.setAttribute('role', 'status');

  function say(text) { said.textContent = text; }

  function unavailable() {
    document.body.classList.remove('with-board');
    root.textContent = '';
    root.className = 'board-off';
    root.appendChild(el('span', 'The leaderboard is not available on this site.'));
    root.hidden = false;
    window.dispatchEvent(new Event('resize'));
  }

  // Open, the panel takes the right of the page and the game makes room;
  // shut, only its title shows. It starts shut where the game would not fit beside it.
  var shown = false;
  function shut(yes) {
    root.classList.toggle('board-shut', yes);
    document.body.classList.toggle('with-board', !yes);
    toggle.setAttribute('aria-expanded', String(!yes));
    toggle.title = yes ? 'Show the leaderboard' : 'Hide the leaderboard';
    window.dispatchEvent(new Event('resize'));  // the game's picture fits itself again
  }
  toggle.addEventListener('click', function () {
    shut(!root.classList.contains('board-shut'));
    backToGame();
  });

  function show(board) {
    if (!shown) {
      shown = true;
      root.textContent = '';
      root.className = 'board-on';
      [title, note, table, form, said].forEach(function (e) { root.appendChild(e); });
      root.hidden = false;
      shut(window.innerWidth < 1100);
    }
    note.textContent = 'Games played with ' + board.version + '. Each version has its own board: ' +
        'a replay counts only on the board of the version that played it.';
    rows.textContent = '';
    board.scores.forEach(function (run) {
      var tr = el('tr');
      tr.appendChild(el('td', run.rank, 'board-number'));
      var who = el('td', run.name, 'board-name');
      who.title = run.name;  // a long name, cut on the row, in full
      tr.appendChild(who);
      tr.appendChild(el('td', run.score, 'board-number'));
      tr.appendChild(el('td', run.combo, 'board-number'));
      tr.appendChild(el('td', String(run.date || '').slice(0, 10)));
      tr.appendChild(el('td', String(run.version || '').replace(/^morvik /, '')));
      var td = el('td');
      var watch = el('button', 'Watch');
      watch.type = 'button';
      watch.title = 'Watch ' + run.name + '\u2019s game';
      watch.addEventListener('click', function () { watchRun(run.id, run.name); });
      td.appendChild(watch);
      tr.appendChild(td);
      rows.appendChild(tr);
    });
    if (!board.scores.length) {
      var tr = el('tr');
      var td = el('td', 'No verified game yet: be the first.');
      td.colSpan = 7;
      tr.appendChild(td);
      rows.appendChild(tr);
    }
  }

  function load() {
    return getJson(api + 'scores?limit=20', { cache: 'no-store' }).then(function (a) {
      if (!a.ok || !Array.isArray(a.body.scores) || typeof a.body.version !== 'string') throw new Error('no board');
      show(a.body);
    });
  }

  // ---- sending the best game ----
  function waitForVerdict(id, until) {
    return getJson(api + 'runs/' + id, { cache: 'no-store' }).then(function (a) {
      if (!a.ok) throw new Error(a.body.error || 'the board lost run ' + id);
      if (a.body.status !== 'pending' || Date.now() > until) return a.body;
      return new Promise(function (done) { setTimeout(done, 700); }).then(function () {
        return waitForVerdict(id, until);
      });
    });
  }

  form.addEventListener('submit', function (e) {
    e.preventDefault();
    var who = name.value.trim();
    if (!who) {
      say('Type the name to show on the board first.');
      name.focus();
      return;
    }
    try {
      localStorage.setItem('morvik-board-name', who);
    } catch (err) { /* not kept */ }
    var M = window.Module;
    var bytes = null;
    if (!M || !M.FS) {
      say('The game is still loading; try again in a moment.');
      return;
    }
    try {
      bytes = M.FS.readFile(bestReplay);
    } catch (err) {
      say('No best game to send yet: beat your best score, and its replay is kept for the board.');
      return;
    }
    send.disabled = true;
    say('Sending your best game\u2026');
    getJson(api + 'runs?name=' + encodeURIComponent(who), {
      method: 'POST', body: bytes, headers: { 'Content-Type': 'application/octet-stream' },
    }).then(function (a) {
      if (!a.ok) throw new Error(a.body.error || 'the board refused it');
      say('Sent as run ' + a.body.id + '; the board is replaying it\u2026');
      return waitForVerdict(a.body.id, Date.now() + 5 * 60 * 1000);
    }).then(function (run) {
      if (run.status === 'verified') say('Verified: ' + run.score + ' points, combo ' + run.combo + '.');
      else if (run.status === 'rejected') say('Not counted: ' + run.reason);
      else say('Run ' + run.id + ' is still waiting for its replay; look again later.');
      return load();
    }).catch(function (err) {
      say('Not sent: ' + err.message);
    }).then(function () {
      send.disabled = false;
      backToGame();
    });
  });

  // ---- watching a run ----
  function watchRun(id, who) {
    say('Fetching ' + who + '\u2019s game\u2026');
    fetch(api + 'runs/' + id + '/demo').then(function (r) {
      if (!r.ok) throw new Error('the board has no replay for run ' + id);
      return r.arrayBuffer();
    }).then(function (buf) {
      var M = window.Module;
      if (!M || !M.FS || !M.ccall) throw new Error('the game is still loading');
      M.FS.writeFile(watchFile, new Uint8Array(buf));
      M.ccall('morvik_watch', null, ['string'], [watchFile]);
      say('Watching ' + who + '\u2019s game; it returns to the title at its end.');
      backToGame();
    }).catch(function (err) {
      say('That game cannot be watched now: ' + err.message);
    });
  }

  // The board's server says so on every answer; any other host is asked
  // nothing more (a missing API would be an error in the browser's console).
  fetch(location.pathname, { method: 'HEAD', cache: 'no-store' }).then(function (r) {
    if (!r.headers.get('Morvik-Board')) throw new Error('no board here');
    return load();
  }).catch(unavailable);
  // Others play too: the board is read again now and then while it is shown.
  setInterval(function () {
    if (shown && !document.hidden) load().catch(function () {});
  }, 120000);
})();
