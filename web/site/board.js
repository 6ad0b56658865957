// SPDX-License-Identifier: GPL-3.0-or-later
// The leaderboard beside the game: today's course and the open board (the
// best twenty of this version on each), a name, and "Play today's course" /
// "Play for the open board". Each asks the board for a ticket, hands it to
// the game, which starts a session whose first game is played on it, and
// sends that game's replay by itself when it ends, then shows the verdict.
// A name is its first player's: the board answers a key, kept in this
// browser's IndexedDB, which the panel shows (to copy it elsewhere) and takes
// (to bring a name here). "Watch" hands a run's replay to the game.
// Everything from the board is put on the page as text, never as HTML.
// Where the site is served without the board's API, the panel says so in
// one line and the game plays as ever.
(function () {
  'use strict';
  var root = document.getElementById('board');
  if (!root) return;
  var api = 'api/';
  var watchFile = '/tmp/watch.demo';
  var ticketFile = '/tmp/ticket.json';
  var DAY_MS = 24 * 60 * 60 * 1000;

  function el(tag, text, cls) {
    var e = document.createElement(tag);
    if (text !== undefined && text !== null) e.textContent = String(text);
    if (cls) e.className = cls;
    return e;
  }
  function button(text, cls) {
    var b = el('button', text, cls);
    b.type = 'button';
    return b;
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

  function backToGame() {
    var c = document.getElementById('canvas');
    if (c) c.focus();
  }
  function game() {
    var M = window.Module;
    return M && M.FS && M.ccall ? M : null;
  }

  // An answer of the board: its JSON object, with the status. A refusal
  // carries the board's own words; a lost connection is an Error.
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
  function refused(a, otherwise) {
    var e = new Error(typeof a.body.error === 'string' ? a.body.error : otherwise);
    e.refused = true;
    return e;
  }

  // ---- the keys of the names this browser plays under (IndexedDB) ----
  // The board folds a name's case: "ann" is Ann's name too.
  var keys = (function () {
    var db = null;
    function open() {
      if (!db) {
        db = new Promise(function (done, failed) {
          if (!window.indexedDB) throw new Error('this browser keeps nothing');
          var r = indexedDB.open('morvik-board', 1);
          r.onupgradeneeded = function () { r.result.createObjectStore('keys'); };
          r.onsuccess = function () { done(r.result); };
          r.onerror = function () { failed(r.error || new Error('the keys cannot be read')); };
        });
        db.catch(function () { db = null; });
      }
      return db;
    }
    function ask(mode, fn) {
      return open().then(function (d) {
        return new Promise(function (done, failed) {
          var t = d.transaction('keys', mode);
          var r = fn(t.objectStore('keys'));
          t.oncomplete = function () { done(r.result); };
          t.onerror = t.onabort = function () { failed(t.error || new Error('the keys cannot be kept')); };
        });
      });
    }
    return {
      get: function (who) {
        return ask('readonly', function (s) { return s.get(who.toLowerCase()); }).then(function (v) {
          return v && typeof v.key === 'string' ? v.key : '';
        });
      },
      put: function (who, key) {
        return ask('readwrite', function (s) { return s.put({ name: who, key: key }, who.toLowerCase()); });
      },
    };
  })();

  // ---- the panel ----
  var title = el('h2');
  var toggle = button('Leaderboard');
  title.appendChild(toggle);
  var tabs = el('div', '', 'board-tabs');
  tabs.setAttribute('role', 'tablist');
  var tabDaily = button('Today\u2019s course');
  var tabOpen = button('Open board');
  [tabDaily, tabOpen].forEach(function (t) {
    t.setAttribute('role', 'tab');
    tabs.appendChild(t);
  });
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
  var form = el('form', '', 'board-play');
  var name = el('input');
  name.type = 'text';
  name.maxLength = 20;
  name.placeholder = 'Your name';
  name.autocomplete = 'nickname';
  name.setAttribute('aria-label', 'Your name on the board');
  try {
    name.value = localStorage.getItem('morvik-board-name') || '';
  } catch (e) { /* no storage: the name is typed each time */ }
  var playDaily = el('button', 'Play today\u2019s course', 'board-daily');
  playDaily.type = 'submit';
  var playOpen = button('Play for the open board', 'board-open');
  form.appendChild(name);
  var buttons = el('div', '', 'board-buttons');
  buttons.appendChild(playDaily);
  buttons.appendChild(playOpen);
  form.appendChild(buttons);
  var said = el('p', '', 'board-said');
  said.setAttribute('role', 'status');
  var again = button('Send it again', 'board-again');
  again.hidden = true;

  // The name's key: shown to copy it to another browser or the desktop
  // (morvik --board-key KEY), or taken from one.
  var keyBox = el('details', '', 'board-key');
  keyBox.appendChild(el('summary', 'Your name\u2019s key'));
  keyBox.appendChild(el('p', 'A name is its first player\u2019s: its key, kept in this browser, proves it yours. ' +
      'Copy it to play under the same name elsewhere (on the desktop: morvik --board-key KEY).', 'board-note'));
  var showKey = button('Show the key');
  var keyText = el('output', '', 'board-key-text');
  var keyRow = el('div', '', 'board-key-row');
  keyRow.appendChild(showKey);
  keyRow.appendChild(keyText);
  keyBox.appendChild(keyRow);
  var keyIn = el('input');
  keyIn.type = 'text';
  keyIn.maxLength = 32;
  keyIn.placeholder = 'A key from elsewhere';
  keyIn.spellcheck = false;
  keyIn.setAttribute('aria-label', 'A key for the name, from another machine');
  var useKey = button('Use this key');
  var keyRow2 = el('div', '', 'board-key-row');
  keyRow2.appendChild(keyIn);
  keyRow2.appendChild(useKey);
  keyBox.appendChild(keyRow2);

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

  // ---- the two boards ----
  var which = 'daily';  // the board shown
  var day = '';         // the daily board's day, YYYY-MM-DD: '' for today's
  var shownDay = '';    // the day the daily board was last read for
  function today() { return new Date().toISOString().slice(0, 10); }
  function untilNextCourse() {
    var left = DAY_MS - Date.now() % DAY_MS;
    var h = Math.floor(left / 3600000), m = Math.floor(left / 60000) % 60;
    return h ? h + ' h ' + m + ' min' : Math.max(m, 1) + ' min';
  }
  var version = '';
  function describe() {
    var words = which === 'daily'
        ? (day ? 'The course of ' + shownDay + ' (UTC), ' : 'Today\u2019s course, ' + shownDay + ' (UTC): ') +
          'the same for every player, one try a name. The next course in ' + untilNextCourse() + '. '
        : 'The open board: each try on a ticket of its own, the best of each name ranked. ';
    note.textContent = words + 'Games played with ' + version + '. Each version has its own board: ' +
        'a replay counts only on the board of the version that played it.';
  }
  // `date`: a day's board other than today's (the day a game was played on).
  function choose(course, date) {
    which = course;
    day = date || '';
    tabDaily.setAttribute('aria-selected', String(course === 'daily'));
    tabOpen.setAttribute('aria-selected', String(course === 'open'));
    return load();
  }
  tabDaily.addEventListener('click', function () { choose('daily').catch(function () {}); });
  tabOpen.addEventListener('click', function () { choose('open').catch(function () {}); });

  function show(board) {
    if (!shown) {
      shown = true;
      root.textContent = '';
      root.className = 'board-on';
      [title, tabs, note, table, form, said, again, keyBox].forEach(function (e) { root.appendChild(e); });
      root.hidden = false;
      shut(window.innerWidth < 1100);
    }
    version = board.version;
    if (which === 'daily') shownDay = String(board.course).replace(/^daily-/, '');
    describe();
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
      var watch = button('Watch');
      watch.title = 'Watch ' + run.name + '\u2019s game';
      watch.addEventListener('click', function () { watchRun(run.id, run.name); });
      td.appendChild(watch);
      tr.appendChild(td);
      rows.appendChild(tr);
    });
    if (!board.scores.length) {
      var tr = el('tr');
      var td = el('td', which !== 'daily' ? 'No verified game yet: be the first.'
                        : day ? 'No verified game on that day\u2019s course.'
                              : 'No verified game on today\u2019s course yet: be the first.');
      td.colSpan = 7;
      tr.appendChild(td);
      rows.appendChild(tr);
    }
  }

  function load() {
    var asked = which;
    // Revalidated with the board's ETag: an unchanged board is a short answer.
    var query = 'scores?limit=20&course=' + asked + (asked === 'daily' && day ? '&date=' + day : '');
    return getJson(api + query, { cache: 'no-cache' }).then(function (a) {
      if (!a.ok || !Array.isArray(a.body.scores) || typeof a.body.version !== 'string') throw new Error('no board');
      if (asked === which) show(a.body);
    });
  }

  // ---- playing for the board ----
  var busy = false;
  function setBusy(yes) {
    busy = yes;
    playDaily.disabled = playOpen.disabled = yes;
  }

  function play(course) {
    if (busy) return;
    var who = name.value.trim();
    if (!who) {
      say('Type the name to show on the board first.');
      name.focus();
      return;
    }
    var M = game();
    if (!M) {
      say('The game is still loading; try again in a moment.');
      return;
    }
    try {
      localStorage.setItem('morvik-board-name', who);
    } catch (err) { /* not kept */ }
    setBusy(true);
    say('Asking the board for a ticket\u2026');
    keys.get(who).catch(function () { return ''; }).then(function (key) {
      var headers = { 'Content-Type': 'application/json' };
      if (key) headers['Morvik-Key'] = key;
      return getJson(api + 'tickets', { method: 'POST', headers: headers, cache: 'no-store',
                                        body: JSON.stringify({ name: who, course: course }) });
    }).then(function (a) {
      if (!a.ok) throw refused(a, 'the board gave no ticket');
      var t = a.body;
      if (typeof t.ticket !== 'string' || typeof t.name !== 'string') throw new Error('not a ticket');
      var newKey = typeof t.key === 'string' ? t.key : '';
      var kept = newKey ? keys.put(t.name, newKey).then(function () { return true; }, function () { return false; })
                        : Promise.resolve(true);
      return kept.then(function (ok) {
        delete t.key;  // the game needs the ticket, not the key
        M.FS.writeFile(ticketFile, JSON.stringify(t));
        M.ccall('morvik_play_ticket', null, ['string'], [ticketFile]);
        var words = (course === 'daily' ? 'Today\u2019s course' : 'The open board') + ': the game starts again on your ' +
            'ticket; press Space on the title to play. Your game is sent to the board by itself when it is over.';
        if (newKey && ok) words += ' \u201c' + t.name + '\u201d is yours now: its key is kept in this browser.';
        if (newKey && !ok) words += ' This browser cannot keep your name\u2019s key: write it down, ' + newKey + '.';
        say(words);
        backToGame();
      });
    }).catch(function (err) {
      say((err.refused ? 'No ticket: ' : 'The board cannot be reached: ') + err.message);
    }).then(function () {
      setBusy(false);
    });
  }
  form.addEventListener('submit', function (e) {
    e.preventDefault();
    play('daily');
  });
  playOpen.addEventListener('click', function () { play('open'); });

  function waitForVerdict(id, until) {
    return getJson(api + 'runs/' + id, { cache: 'no-store' }).then(function (a) {
      if (!a.ok) throw refused(a, 'the board lost run ' + id);
      if (a.body.status !== 'pending' || Date.now() > until) return a.body;
      return new Promise(function (done) { setTimeout(done, 700); }).then(function () {
        return waitForVerdict(id, until);
      });
    });
  }

  // The game on a ticket has ended (the platform calls this with its replay,
  // kept under /save/replays): it is sent, and the verdict shown. A replay
  // the board could not be reached for is offered again.
  var unsent = '';
  try {
    unsent = localStorage.getItem('morvik-board-unsent') || '';
  } catch (e) { /* not kept */ }
  function keepUnsent(path) {
    unsent = path;
    again.hidden = !path;
    try {
      if (path) localStorage.setItem('morvik-board-unsent', path);
      else localStorage.removeItem('morvik-board-unsent');
    } catch (e) { /* not kept */ }
  }
  function send(path) {
    var M = game();
    var bytes;
    try {
      bytes = M.FS.readFile(path);
    } catch (err) {
      keepUnsent('');
      say('The replay of your board game is not there any more.');
      return;
    }
    keepUnsent('');
    say('Sending your game to the board\u2026');
    getJson(api + 'runs', {
      method: 'POST', body: bytes, cache: 'no-store', headers: { 'Content-Type': 'application/octet-stream' },
    }).then(function (a) {
      if (!a.ok) throw refused(a, 'the board refused it');
      say('Sent as run ' + a.body.id + '; the board is replaying it\u2026');
      return waitForVerdict(a.body.id, Date.now() + 5 * 60 * 1000);
    }).then(function (run) {
      if (run.status === 'verified') say('Verified: ' + run.score + ' points, combo ' + run.combo + '.');
      else if (run.status === 'rejected') say('Not counted: ' + run.reason);
      else say('Run ' + run.id + ' is still waiting for its replay; look again later.');
      // The board the game is on: a day's course finished after midnight is that day's.
      var daily = /^daily-(\d{4}-\d\d-\d\d)$/.exec(String(run.course));
      return daily ? choose('daily', daily[1] === today() ? '' : daily[1]) : choose('open');
    }).catch(function (err) {
      if (err.refused) {
        say('Not counted: ' + err.message);
      } else {
        keepUnsent(path);
        say('Not sent: the board cannot be reached (' + err.message + '). Your game is kept: send it again later.');
      }
    });
  }
  again.addEventListener('click', function () {
    if (unsent && game()) send(unsent);
  });
  window.MorvikBoard = { gameEnded: send };

  showKey.addEventListener('click', function () {
    var who = name.value.trim();
    if (!who) {
      keyText.textContent = 'Type the name first.';
      return;
    }
    keys.get(who).then(function (key) {
      keyText.textContent = key || 'This browser keeps no key for \u201c' + who + '\u201d.';
    }, function (err) {
      keyText.textContent = 'The keys cannot be read here: ' + err.message;
    });
  });
  useKey.addEventListener('click', function () {
    var who = name.value.trim(), key = keyIn.value.trim().toLowerCase();
    if (!who) {
      keyText.textContent = 'Type the name the key is for first.';
      return;
    }
    if (!/^[0-9a-f]{32}$/.test(key)) {
      keyText.textContent = 'A key is 32 hex digits (0\u20139, a\u2013f).';
      return;
    }
    keys.put(who, key).then(function () {
      keyIn.value = '';
      keyText.textContent = 'Kept: tickets for \u201c' + who + '\u201d are asked with this key.';
    }, function (err) {
      keyText.textContent = 'The key cannot be kept here: ' + err.message;
    });
  });

  // The board's server says so on every answer; any other host is asked
  // nothing more (a missing API would be an error in the browser's console).
  fetch(location.pathname, { method: 'HEAD', cache: 'no-store' }).then(function (r) {
    if (!r.headers.get('Morvik-Board')) throw new Error('no board here');
    return choose('daily');
  }).then(function () {
    again.hidden = !unsent;
  }).catch(unavailable);
  // Others play too: the board is read again now and then while it is shown,
  // and the day's board when its day is over.
  var lastRead = Date.now();
  setInterval(function () {
    if (!shown || document.hidden) return;
    var newDay = Math.floor(Date.now() / DAY_MS) !== Math.floor(lastRead / DAY_MS);
    if (newDay || Date.now() - lastRead > 120000) {
      lastRead = Date.now();
      load().catch(function () {});
    } else {
      describe();
    }
  }, 30000);

  // ---- watching a run ----
  function watchRun(id, who) {
    say('Fetching ' + who + '\u2019s game\u2026');
    fetch(api + 'runs/' + id + '/demo').then(function (r) {
      if (!r.ok) throw new Error('the board has no replay for run ' + id);
      return r.arrayBuffer();
    }).then(function (buf) {
      var M = game();
      if (!M) throw new Error('the game is still loading');
      M.FS.writeFile(watchFile, new Uint8Array(buf));
      M.ccall('morvik_watch', null, ['string'], [watchFile]);
      say('Watching ' + who + '\u2019s game; it returns to the title at its end.');
      backToGame();
    }).catch(function (err) {
      say('That game cannot be watched now: ' + err.message);
    });
  }
})();
