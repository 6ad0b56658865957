// SPDX-License-Identifier: GPL-3.0-or-later
// The leaderboard's panel in Debian's chromium against a real morvik-server
// (tests/web/board.sh starts it, with PostgreSQL, and puts a run with a
// hostile name straight onto the open board):
//   node board_test.js URL HOSTILE_NAME [SHOT_DIR]
// The page runs under the server's Content-Security-Policy. "Play today's
// course" asks for a ticket under a new name (its key kept in the browser),
// the game starts again on it and is played by keys at its own pace; its
// replay is sent by itself when it ends, verified, and its row appears on
// the day's board. A second try that day, and the name with another key,
// are refused with their reasons; the right key brings the name back.
// Every name is shown as text; "Watch" plays the run's bytes in the game.
'use strict';
const path = require('path');
const { chromium } = require('playwright-core');

const [url, hostile, shots] = process.argv.slice(2);

function fail(why) {
  console.log('FAIL: ' + why);
  process.exit(1);
}

// Polls in the page with page.evaluate: the site's policy forbids the
// string evaluation that waitForFunction would need.
async function until(page, what, fn, ms, arg) {
  const end = Date.now() + ms;
  for (;;) {
    if (await page.evaluate(fn, arg)) return;
    if (Date.now() > end) fail(what);
    await page.waitForTimeout(100);
  }
}

const said = (page) => page.textContent('#board .board-said');
async function saysSoon(page, what, re, ms) {
  await until(page, what, (src) => new RegExp(src).test(document.querySelector('#board .board-said').textContent),
              ms, re.source);
  return said(page);
}
const rowNames = (page) => page.evaluate(() => Array.from(document.querySelectorAll('#board td.board-name'))
  .map((c) => c.textContent));

(async () => {
  const browser = await chromium.launch({ executablePath: process.env.MORVIK_CHROMIUM || '/usr/bin/chromium',
                                          args: ['--no-sandbox'] });
  const page = await browser.newPage({ viewport: { width: 1200, height: 700 } });
  const errors = [];
  page.on('console', (m) => {
    // A refusal's answer (403, 409) is noted by the browser as any would be.
    if (m.type() === 'error' && !/status of 40[39]/.test(m.text())) errors.push(m.text() + ' (' + JSON.stringify(m.location()) + ')');
  });
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('dialog', (d) => { errors.push('a dialog opened: ' + d.message()); d.dismiss(); });

  await page.goto(url + '/');
  await until(page, 'the game shows no picture', () => !!(window.Module && Module.MorvikWeb && Module.MorvikWeb.shown > 0
                                                           && Module.FS), 30000);
  await until(page, 'the panel does not show the board', () => document.getElementById('board').classList.contains('board-on'),
              10000);
  const note = await page.textContent('#board .board-note');
  if (!/Today.s course, \d{4}-\d\d-\d\d/.test(note) || !/next course in \d/.test(note) || !/morvik \d/.test(note))
    fail('the panel does not say which course, how long it lasts and which version: ' + note);

  // Names are text: the hostile run's name, on the open board, is shown as it is and makes no element.
  await page.click('#board .board-tabs button:nth-child(2)');
  await until(page, 'the open board does not show the hostile run', (h) => Array.from(
    document.querySelectorAll('#board td.board-name')).some((c) => c.textContent === h), 10000, hostile);
  const markup = await page.evaluate(() => document.querySelectorAll('#board td.board-name *, #board img').length);
  if (markup) fail('a name became markup on the page');

  // Today's course under a new name: a ticket, its key kept, the game on it.
  await page.evaluate(() => {
    const real = window.MorvikBoard.gameEnded;
    window.MorvikBoard.gameEnded = (p) => {
      const b = Module.FS.readFile(p);
      let h = 0;
      for (let i = 0; i < b.length; ++i) h = (Math.imul(h, 31) + b[i]) | 0;
      window.boardReplay = { path: p, length: b.length, hash: h };
      real(p);
    };
  });
  await page.fill('#board form input', 'Page Player');
  await page.click('#board .board-daily');
  const started = await saysSoon(page, 'no ticket came', /starts again|No ticket|cannot be reached/, 10000);
  if (!/starts again/.test(started) || !/is yours now/.test(started)) fail('the ticket: ' + started);
  await page.click('#board .board-key summary');
  await page.click('#board .board-key button');
  const key = await page.textContent('#board .board-key-text');
  if (!/^[0-9a-f]{32}$/.test(key)) fail('the name\'s key is not kept in the browser: ' + key);

  // Played by keys: the throw key, tapped, starts the game from the title,
  // brings the hero back after each lost life and leaves the game-over scene.
  const state = () => page.evaluate(() => Module.MorvikWeb.state());
  let onTicket = false;
  const end = Date.now() + 300000;
  await page.focus('#canvas');
  while (!(await page.evaluate(() => !!window.boardReplay))) {
    if (Date.now() > end) fail('the board game did not end in 5 minutes: ' + await said(page));
    await page.keyboard.down('Space');
    await page.waitForTimeout(120);
    await page.keyboard.up('Space');
    await page.waitForTimeout(180);
    onTicket = onTicket || (await state()).board;
  }
  if (!onTicket) fail('the game was not played on the ticket');
  const verdict = await saysSoon(page, 'no verdict on the page', /Verified|Not counted|Not sent/, 120000);
  if (!/^Verified: \d+ points/.test(verdict)) fail('the board game: ' + verdict);
  const daily = await page.evaluate(() => document.querySelector('#board .board-tabs button').getAttribute('aria-selected'));
  if (daily !== 'true' || !(await rowNames(page)).includes('Page Player'))
    fail('the row is not on the day\'s board: ' + JSON.stringify(await rowNames(page)));
  const replay = await page.evaluate(() => window.boardReplay);
  console.log(`today's course: ${verdict} (a replay of ${replay.length} bytes, sent by itself)`);

  // One try a day; the name under another key is refused; its own key brings it back.
  await page.click('#board .board-daily');
  const second = await saysSoon(page, 'no answer to a second try', /No ticket|starts again/, 10000);
  if (!/No ticket: today's course was played under this name already/.test(second)) fail('a second try today: ' + second);
  await page.fill('#board .board-key input', '0123456789abcdef0123456789abcdef');
  await page.click('#board .board-key-row:last-child button');
  await page.click('#board .board-open');
  const stolen = await saysSoon(page, 'no answer to another key', /No ticket|starts again/, 10000);
  if (!/belongs to its player/.test(stolen)) fail('the name under another key: ' + stolen);
  await page.fill('#board .board-key input', key);
  await page.click('#board .board-key-row:last-child button');
  console.log('refused: ' + second.slice(0, 70) + '\u2026; ' + stolen.slice(0, 60) + '\u2026');

  // Watch: the run's bytes, as the game sent them, go to the game and play at the recorded pace.
  await page.evaluate(() => {
    window.watched = [];
    const real = Module.ccall;
    Module.ccall = function (name, ret, types, args) {
      if (name === 'morvik_watch') {
        const b = Module.FS.readFile(args[0]);
        let h = 0;
        for (let i = 0; i < b.length; ++i) h = (Math.imul(h, 31) + b[i]) | 0;
        window.watched.push({ length: b.length, hash: h });
      }
      return real.apply(this, arguments);
    };
    Module.MorvikWeb.frames.length = 0;
  });
  const row = (await rowNames(page)).indexOf('Page Player');
  await page.click(`#board tbody tr:nth-child(${row + 1}) button`);
  await until(page, 'Watch did not reach the game', () => window.watched.length > 0, 10000);
  const w = (await page.evaluate(() => window.watched))[0];
  if (w.length !== replay.length || w.hash !== replay.hash) fail('the game was handed other bytes to watch');
  const focused = await page.evaluate(() => document.activeElement && document.activeElement.id);
  if (focused !== 'canvas') fail('the keys do not go back to the game after Watch (' + focused + ')');
  await until(page, 'the game did not play the run', () => Module.MorvikWeb.frame >= 199, 40000);
  const pace = await page.evaluate(() => {
    const f = Module.MorvikWeb.frames;
    return (f[f.length - 1][1] - f[0][1]) / (f[f.length - 1][0] - f[0][0]);
  });
  if (pace < 30 || pace > 45) fail('the run was not played at its recorded pace: ' + pace.toFixed(1) + ' ms a frame');
  console.log(`watch: the run's ${w.length} bytes played at ${pace.toFixed(1)} ms a frame`);

  // Keys typed in the name field are the field's, not the game's.
  await page.fill('#board form input', '');
  await page.click('#board form input');
  await page.keyboard.type('Al P Z');
  if ((await page.inputValue('#board form input')) !== 'Al P Z') fail('the game took keys typed into the name field');

  // The kept key again: the open board deals a ticket under the name.
  await page.fill('#board form input', 'page player');
  await page.click('#board .board-open');
  const open = await saysSoon(page, 'no open ticket', /No ticket|starts again/, 10000);
  if (!/starts again/.test(open)) fail('the name with its key on the open board: ' + open);

  if (errors.length) fail('console errors:\n  ' + errors.join('\n  '));
  // Last: taking a picture puts a style of the tool's own into the page, which the policy refuses.
  await shot(page, 'board');
  console.log('board: all checks passed');
  await browser.close();
})().catch((e) => fail(e.stack || String(e)));

async function shot(page, name) {
  if (shots) await page.screenshot({ path: path.join(shots, name + '.png') });
}
