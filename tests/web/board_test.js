// SPDX-License-Identifier: GPL-3.0-or-later
// The leaderboard's panel in Debian's chromium against a real morvik-server
// (tests/web/board.sh starts it, with PostgreSQL, and puts a run with a
// hostile name straight into the database):
//   node board_test.js URL DEMO HOSTILE_NAME [SHOT_DIR]
// The page runs under the server's Content-Security-Policy; the best replay
// kept in the game's storage is sent from the page and its row appears; a
// name with markup is refused by the server; every name is shown as text;
// "Watch" plays the run's bytes in the game from its title, at the recorded
// pace, and the title comes back.
'use strict';
const fs = require('fs');
const path = require('path');
const { chromium } = require('playwright-core');

const [url, demoPath, hostile, shots] = process.argv.slice(2);
const demo = fs.readFileSync(demoPath);

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

async function shot(page, name) {
  if (shots) await page.screenshot({ path: path.join(shots, name + '.png') });
}

(async () => {
  const browser = await chromium.launch({ executablePath: process.env.MORVIK_CHROMIUM || '/usr/bin/chromium',
                                          args: ['--no-sandbox'] });
  const page = await browser.newPage({ viewport: { width: 1200, height: 700 } });
  const errors = [];
  page.on('console', (m) => {
    // The refused name's answer is a 400, which the browser notes as it would any.
    if (m.type() === 'error' && !/status of 400/.test(m.text())) errors.push(m.text() + ' (' + JSON.stringify(m.location()) + ')');
  });
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('dialog', (d) => { errors.push('a dialog opened: ' + d.message()); d.dismiss(); });

  await page.goto(url + '/');
  await until(page, 'the game shows no picture', () => !!(window.Module && Module.MorvikWeb && Module.MorvikWeb.shown > 0
                                                           && Module.FS), 30000);
  await until(page, 'the panel does not show the board', () => document.getElementById('board').classList.contains('board-on'),
              10000);
  const note = await page.textContent('#board .board-note');
  if (!/morvik \d/.test(note) || !/version/.test(note)) fail('the panel does not say which version its board is: ' + note);

  // Names are text: the hostile run's name is shown as it is, and makes no element.
  const hostileCell = await page.evaluate(() => {
    const cells = Array.from(document.querySelectorAll('#board td.board-name'));
    return { names: cells.map((c) => c.textContent), elements: document.querySelectorAll('#board td.board-name *').length,
             images: document.querySelectorAll('#board img').length };
  });
  if (!hostileCell.names.includes(hostile) || hostileCell.elements || hostileCell.images)
    fail('the hostile name is not shown as text: ' + JSON.stringify(hostileCell));

  // The best game, where the game keeps it, sent from the page.
  await page.evaluate((bytes) => {
    try { Module.FS.mkdir('/save/replays'); } catch (e) { /* there */ }
    Module.FS.writeFile('/save/replays/best.demo', new Uint8Array(bytes));
  }, Array.from(demo));
  await page.fill('#board input', 'Page Player');
  await page.click('#board button[type=submit]');
  await until(page, 'no verdict on the page', () => /Verified|Not counted|Not sent/.test(
    document.querySelector('#board .board-said').textContent), 60000);
  const said = await page.textContent('#board .board-said');
  if (!/^Verified: \d+ points/.test(said)) fail('the submission: ' + said);
  await until(page, 'the row did not appear', () => Array.from(document.querySelectorAll('#board td.board-name'))
    .some((c) => c.textContent === 'Page Player'), 5000);
  console.log('submitted: ' + said);

  // A name with markup is refused by the server, and said so.
  await page.fill('#board input', '<img src=x onerror=alert(1)>');
  await page.click('#board button[type=submit]');
  await until(page, 'no answer to a hostile name', () => /Not sent/.test(
    document.querySelector('#board .board-said').textContent), 10000);
  const refused = await page.textContent('#board .board-said');
  if (!/name/.test(refused)) fail('the refusal does not name the name: ' + refused);
  if (await page.evaluate(() => document.querySelectorAll('img').length)) fail('markup from a name became an element');

  // Watch: the run's bytes go to the game by the agreed call, and the game plays them.
  await page.evaluate(() => {
    window.watched = [];
    const real = Module.ccall;
    Module.ccall = function (name, ret, types, args) {
      if (name === 'morvik_watch') {
        const b = Module.FS.readFile(args[0]);
        let h = 0;
        for (let i = 0; i < b.length; ++i) h = (Math.imul(h, 31) + b[i]) | 0;
        window.watched.push({ file: args[0], length: b.length, hash: h });
      }
      return real.apply(this, arguments);
    };
    Module.MorvikWeb.frames.length = 0;
  });
  const row = await page.evaluate(() => Array.from(document.querySelectorAll('#board tbody tr'))
    .findIndex((tr) => tr.querySelector('.board-name') && tr.querySelector('.board-name').textContent === 'Page Player'));
  await page.click(`#board tbody tr:nth-child(${row + 1}) button`);
  await until(page, 'Watch did not reach the game', () => window.watched.length > 0, 10000);
  const w = (await page.evaluate(() => window.watched))[0];
  let h = 0;
  for (const byte of demo) h = (Math.imul(h, 31) + byte) | 0;
  if (w.file !== '/tmp/watch.demo' || w.length !== demo.length || w.hash !== h)
    fail('the game was handed other bytes to watch: ' + JSON.stringify(w));
  const focused = await page.evaluate(() => document.activeElement && document.activeElement.id);
  if (focused !== 'canvas') fail('the keys do not go back to the game after Watch (' + focused + ')');
  // The game played the run's 200 frames at the recorded pace (35 ms), then stood on its title again.
  await until(page, 'the game did not play the run', () => Module.MorvikWeb.frame >= 199, 40000);
  const pace = await page.evaluate(() => {
    const f = Module.MorvikWeb.frames;
    return (f[f.length - 1][1] - f[0][1]) / (f[f.length - 1][0] - f[0][0]);
  });
  if (pace < 30 || pace > 45) fail('the run was not played at its recorded pace: ' + pace.toFixed(1) + ' ms a frame');
  // Then the player's own title again: Space starts a game of its own (the
  // replay answers no key), its frames counted from 1.
  await page.evaluate(() => { Module.MorvikWeb.frames.length = 0; });
  const end = Date.now() + 40000;
  while (!(await page.evaluate(() => Module.MorvikWeb.frames.some((f) => f[0] === 1)))) {
    if (Date.now() > end) fail('the title did not come back after the run');
    await page.keyboard.down('Space');
    await page.waitForTimeout(300);
    await page.keyboard.up('Space');
    await page.waitForTimeout(700);
  }
  console.log(`watch: the run's ${w.length} bytes played at ${pace.toFixed(1)} ms a frame, then the title`);

  // Keys typed in the name field are the field's, not the game's.
  await page.click('#board input');
  await page.fill('#board input', '');
  await page.keyboard.type('Al P Z');
  if ((await page.inputValue('#board input')) !== 'Al P Z') fail('the game took keys typed into the name field');

  if (errors.length) fail('console errors:\n  ' + errors.join('\n  '));
  // Last: taking a picture puts a style of the tool's own into the page, which the policy refuses.
  await shot(page, 'board');
  console.log('board: all checks passed');
  await browser.close();
})().catch((e) => fail(e.stack || String(e)));
