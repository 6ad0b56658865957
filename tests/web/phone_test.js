// SPDX-License-Identifier: GPL-3.0-or-later
// The site on a phone and offline, in Debian's chromium (playwright-core):
//   node phone_test.js SITE_DIR [SHOT_DIR]
// A phone of 390 x 844 at three device pixels a pixel, touch, mobile: the
// pad shows, Throw starts a game, Right held moves the hero right, a
// held Throw throws farther than a tap, two fingers work at once, a finger
// slid from Left to Right takes the press along, the options screen works by
// touch, swipes move nothing, the picture fills the width in portrait and
// leaves the pad its margins in landscape. Then the offline copy: the first
// visit's transfer, a reload without network plays, and a new version is
// taken whole on the next visit with the records kept. Exits 1 on the first
// failure.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');
const { fail, serve, canvasLook, storedBest, waitFor, sleep, hasPicture } = require('./common');

const site = path.resolve(process.argv[2] || 'build-web/site');
const shots = process.argv[3] || '';

async function shot(page, name) {
  if (shots) await page.screenshot({ path: path.join(shots, name + '.png') });
}

const phoneProfile = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, hasTouch: true, isMobile: true };

// Fingers on the screen, through the DevTools protocol: a start or a move
// lists every finger down; an end lists the finger lifted (the others stay).
class Fingers {
  constructor(cdp) {
    this.cdp = cdp;
    this.at = new Map();
  }
  send(type, points) {
    const touchPoints = points.map(([id, p]) => ({ x: p.x, y: p.y, id }));
    return this.cdp.send('Input.dispatchTouchEvent', { type, touchPoints });
  }
  down(id, p) {
    this.at.set(id, p);
    return this.send('touchStart', [...this.at]);
  }
  move(id, p) {
    this.at.set(id, p);
    return this.send('touchMove', [...this.at]);
  }
  up(id) {
    const p = this.at.get(id);
    this.at.delete(id);
    return this.send('touchEnd', [[id, p]]);
  }
}

// The middle of a pad button, found by its name.
async function button(page, name) {
  const b = await page.getByRole('button', { name, exact: true }).boundingBox();
  if (!b) fail(`no button ${name} on the pad`);
  return { x: b.x + b.width / 2, y: b.y + b.height / 2, box: b };
}

async function hold(page, fingers, name, ms, id = 1) {
  await fingers.down(id, await button(page, name));
  await sleep(ms);
  await fingers.up(id);
}

const state = (page) => page.evaluate(() => Module.MorvikWeb.state());

// The speed of the ball thrown last: the fastest in flight after a release.
async function thrownSpeed(page) {
  let best = 0;
  for (let i = 0; i < 8; ++i) {
    await sleep(100);
    for (const [st, , vx] of (await state(page)).balls) if (st === 3) best = Math.max(best, vx);
  }
  return best;
}

// Until the hero is in play, away from the left edge, with no ball in
// flight. A lost life waits for Throw to come back; a lost game for Throw
// to leave its screen and another to start the next game.
async function ready(page, fingers) {
  for (let i = 0; i < 60; ++i) {
    const s = await state(page);
    const inPlay = await page.evaluate(() => {
      const f = Module.MorvikWeb.frames;
      return f.length > 0 && performance.now() - f[f.length - 1][1] < 300;
    });
    const away = s.heroX > 30;  // the left edge, where the scroll pushes the hero into what comes
    if (inPlay && s.heroState === 0 && away && s.balls.every((b) => b[0] === 0)) return;
    if (!inPlay || s.heroState === 2) await hold(page, fingers, 'Throw', 150);
    else if (s.heroState === 0 && !away) await hold(page, fingers, 'Right', 400);
    await sleep(300);
  }
  fail('the hero never came back into play');
}

// A check of play, tried again where the game got in its way (the hero
// lost a life on the way): a fault fails every try.
async function attempt(page, fingers, what, check) {
  let said = '';
  for (let i = 0; i < 4; ++i) {
    await ready(page, fingers);
    const r = await check();
    said = r.said;
    if (r.ok) {
      console.log('phone: ' + said);
      return;
    }
    console.log('phone: tried again: ' + said);
  }
  fail(what + ' (' + said + ')');
}

function overlap(a, b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

async function phone(browser, host) {
  const t0 = Date.now();
  const context = await browser.newContext(phoneProfile);
  const page = await context.newPage();
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(e.message));
  const cdp = await context.newCDPSession(page);
  const fingers = new Fingers(cdp);
  await page.goto(host.url);
  await waitFor(page, 'no picture on the phone within 30 s', hasPicture, 30000);
  // The pad shows where the pointer is coarse, else on the first touch.
  if (!(await page.isVisible('#pad'))) {
    await fingers.down(1, { x: 200, y: 100 });
    await fingers.up(1);
  }
  for (const name of ['Left', 'Right', 'Jump', 'Down', 'Throw', 'Pause', 'Options'])
    if (!(await page.getByRole('button', { name, exact: true }).isVisible())) fail(`the pad has no ${name} button`);

  // Portrait: the picture across the top, the pad below it.
  const fills = await page.evaluate(() => {
    const c = document.getElementById('canvas').getBoundingClientRect();
    return { width: c.width / window.innerWidth, top: c.top, bottom: c.bottom };
  });
  const padTop = (await button(page, 'Jump')).box.y;
  console.log(`phone: the picture fills ${(fills.width * 100).toFixed(1)} % of the width in portrait`);
  if (fills.width < 0.9) fail('the picture fills less than 90 % of the width in portrait');
  if (padTop < fills.bottom) fail('the pad is not below the picture in portrait');

  // Throw on the title skips the intro, then starts a game.
  await sleep(6000);
  await shot(page, 'phone-title');
  for (let i = 0; i < 20 && !(await page.evaluate(() => Module.MorvikWeb.frame > 0)); ++i) {
    await hold(page, fingers, 'Throw', 150);
    await sleep(600);
  }
  await waitFor(page, 'Throw on the title started no game', () => Module.MorvikWeb.frame > 0, 5000);
  const sound = await page.evaluate(() => {
    const w = Module.MorvikWeb;
    return { state: w.audio && w.audio.state, playing: !!w.music.source };
  });
  console.log(`phone: sound ${sound.state}, music ${sound.playing ? 'playing' : 'silent'}`);
  if (sound.state !== 'running' || !sound.playing) fail('no sound after the first touches');

  // Right held moves the hero right; left alone the scroll carries it left.
  await attempt(page, fingers, 'holding Right does not move the hero right', async () => {
    const x0 = (await state(page)).heroX;
    await hold(page, fingers, 'Right', 1000);
    const x1 = (await state(page)).heroX;
    return { ok: x1 > x0 + 10, said: `Right held 1 s moved the hero from ${x0} to ${x1}` };
  });
  await shot(page, 'phone-play');

  // A throw held a second flies faster, so farther, than a tap, as a held key's.
  await attempt(page, fingers, 'a held throw does not fly farther than a tap', async () => {
    await hold(page, fingers, 'Throw', 1000);
    const held = await thrownSpeed(page);
    await ready(page, fingers);
    await hold(page, fingers, 'Throw', 40);
    const tapped = await thrownSpeed(page);
    return { ok: Math.abs(held - 13.33) < 0.01 && tapped > 0 && tapped < 6,
             said: `a throw held 1 s flies at ${held} px a frame, a tap at ${tapped}` };
  });

  // Two fingers at once: running right while charging, then the throw.
  await attempt(page, fingers, 'two fingers at once do not both count', async () => {
    const x0 = (await state(page)).heroX;
    await fingers.down(1, await button(page, 'Right'));
    await fingers.down(2, await button(page, 'Throw'));
    await sleep(800);
    await fingers.up(2);
    await sleep(200);
    await fingers.up(1);
    const speed = await thrownSpeed(page);
    const x1 = (await state(page)).heroX;
    return { ok: x1 > x0 + 10 && Math.abs(speed - 13.33) < 0.01,
             said: `two fingers moved the hero from ${x0} to ${x1} and threw at ${speed}` };
  });

  // A finger slid from Left onto Right takes the press along.
  await attempt(page, fingers, 'a finger slid onto another button does not move the press', async () => {
    const left = await button(page, 'Left'), right = await button(page, 'Right');
    await fingers.down(1, left);
    await sleep(300);
    for (let i = 1; i <= 4; ++i) await fingers.move(1, { x: left.x + (right.x - left.x) * i / 4, y: left.y });
    const x0 = (await state(page)).heroX;
    const pressed = await page.evaluate(() => [...document.querySelectorAll('#pad .key.down')]
      .map((b) => b.getAttribute('aria-label')).join('+'));
    await sleep(700);
    const x1 = (await state(page)).heroX;
    await fingers.up(1);
    return { ok: pressed === 'Right' && x1 > x0 + 5, said: `slid onto Right: ${pressed} held, the hero from ${x0} to ${x1}` };
  });

  // Swipes on the picture and the pad move nothing: no scroll, no zoom.
  for (const [from, to] of [[{ x: 200, y: 150 }, { x: 200, y: 700 }], [{ x: 195, y: 760 }, { x: 195, y: 300 }],
                            [{ x: 200, y: 500 }, { x: 200, y: 840 }]]) {
    await fingers.down(1, from);
    for (let i = 1; i <= 8; ++i)
      await fingers.move(1, { x: from.x + (to.x - from.x) * i / 8, y: from.y + (to.y - from.y) * i / 8 });
    await fingers.up(1);
    await sleep(200);
  }
  const still = await page.evaluate(() => ({ y: window.scrollY, x: window.scrollX, zoom: window.visualViewport ? visualViewport.scale : 1 }));
  if (still.x !== 0 || still.y !== 0 || still.zoom !== 1) fail(`swipes moved the page (${JSON.stringify(still)})`);

  // The options screen by touch: Options opens it, Down and Right turn the
  // music up, Options again closes it; the settings file keeps the change.
  const music = () => page.evaluate(() => {
    try {
      const t = new TextDecoder().decode(Module.MorvikWeb.readFile('/save/config/morvik/settings.txt'));
      return Number(/^music-volume (\d+)$/m.exec(t)[1]);
    } catch (e) {
      return null;
    }
  });
  const musicBefore = await music();
  const writesBefore = await page.evaluate(() => Module.MorvikWeb.settingsWrites);
  const beforeOptions = await canvasLook(page);
  await hold(page, fingers, 'Options', 100);
  await sleep(400);
  if ((await canvasLook(page)).hash === beforeOptions.hash) fail('Options does not open the options screen');
  await shot(page, 'phone-options');
  // Each press is seen on the screen before the next: a loaded machine may
  // let the game's loop run late, and the press that closes the screen
  // leaves behind what it has not taken yet.
  const press = async (name) => {
    const before = (await canvasLook(page)).hash;
    await hold(page, fingers, name, 80);
    for (let i = 0; i < 50 && (await canvasLook(page)).hash === before; ++i) await sleep(100);
  };
  for (let i = 0; i < 4; ++i) await press('Down');
  await press('Right');
  await hold(page, fingers, 'Options', 80);
  await waitFor(page, 'the settings were not stored', (n) => Module.MorvikWeb.settingsWrites > n, 5000, writesBefore);
  const musicAfter = await music();
  console.log(`phone: music volume ${musicBefore} before the options screen, ${musicAfter} after`);
  if (musicBefore === null || musicAfter !== Math.min(128, musicBefore + 8)) fail('the options screen does not work by touch');
  // The game stays paused behind it: Pause resumes.
  await hold(page, fingers, 'Pause', 100);

  // Sound the browser stopped (the page sent to the background) comes back
  // with the next touch, the piece where it has got to.
  await page.evaluate(() => Module.MorvikWeb.audio.suspend());
  await waitFor(page, 'the music goes on with the sound stopped', () => !Module.MorvikWeb.music.source, 3000);
  await fingers.down(1, { x: 200, y: 100 });
  await fingers.up(1);
  await waitFor(page, 'the music did not come back after a touch',
                () => Module.MorvikWeb.audio.state === 'running' && !!Module.MorvikWeb.music.source, 3000);

  // Landscape: the picture as large as fits, the pad beside it, not over it.
  await page.setViewportSize({ width: 844, height: 390 });
  await sleep(500);
  const canvasBox = await page.locator('#canvas').boundingBox();
  for (const name of ['Left', 'Right', 'Jump', 'Down', 'Throw', 'Pause', 'Options']) {
    const b = (await button(page, name)).box;
    if (overlap(b, canvasBox)) fail(`in landscape the ${name} button lies over the picture`);
    if (b.x < 0 || b.y < 0 || b.x + b.width > 844 || b.y + b.height > 390) fail(`in landscape the ${name} button is off the screen`);
  }
  // The leaderboard's place (here the note that this site has none) lies
  // below the game, never over the picture or the pad.
  const boardBox = await page.locator('#board').boundingBox();
  if (boardBox && boardBox.y < 390) fail(`in landscape the leaderboard's panel lies over the game: ${JSON.stringify(boardBox)}`);
  console.log(`phone: landscape picture ${canvasBox.width.toFixed(0)} x ${canvasBox.height.toFixed(0)} of 844 x 390`);
  if (canvasBox.height < 390 * 0.9) fail('the picture does not fill the height in landscape');
  await shot(page, 'phone-landscape');
  await page.setViewportSize({ width: 390, height: 844 });
  await sleep(300);
  await shot(page, 'phone-portrait');
  if (errors.length) fail('console errors on the phone:\n  ' + errors.join('\n  '));
  await context.close();
  console.log(`phone: all checks passed in ${((Date.now() - t0) / 1000).toFixed(0)} s`);
}

// The offline copy, on a phone of its own, played by touch.
async function offline(browser, host) {
  const t0 = Date.now();
  const context = await browser.newContext(phoneProfile);
  const page = await context.newPage();
  const fingers = new Fingers(await context.newCDPSession(page));
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  const version = () => page.evaluate(() => document.querySelector('meta[name="morvik-version"]').content);
  const kept = () => page.evaluate(async () => {
    const names = await caches.keys();
    const out = {};
    for (const n of names) out[n] = (await (await caches.open(n)).keys()).length;
    return out;
  });
  const press = async (key) => {
    await page.keyboard.down(key);
    await sleep(200);
    await page.keyboard.up(key);
  };
  const play = async (what) => {
    await waitFor(page, `no picture ${what}`, hasPicture, 30000);
    await sleep(6000);
    for (let i = 0; i < 20 && !(await page.evaluate(() => Module.MorvikWeb.frame > 0)); ++i) {
      await hold(page, fingers, 'Throw', 150);
      await sleep(500);
    }
    await waitFor(page, `no game starts ${what}`, () => Module.MorvikWeb.frame > 0, 5000);
    const a = await canvasLook(page);
    await sleep(700);
    if ((await canvasLook(page)).hash === a.hash) fail(`the picture does not move ${what}`);
  };

  // The first visit: the site is kept whole for this version, having been
  // fetched about once.
  host.sent = 0;
  await page.goto(host.url);
  const v1 = await version();
  const files = fs.readFileSync(path.join(host.root, 'sw.js'), 'utf8').match(/const FILES = \[(.*)\];/)[1].split(',').length;
  await waitFor(page, 'the site was not kept for offline play', () => !!navigator.serviceWorker.controller, 60000);
  await waitFor(page, 'the offline copy is incomplete', (n) => caches.keys().then((k) => k.length === 1 &&
                  caches.open(k[0]).then((c) => c.keys()).then((r) => r.length === n)), 30000, files);
  // Installable: the browser finds nothing missing in the manifest. (The
  // tests' browser context is a private one, which is no fault of the page.)
  const installErrors = (await fingers.cdp.send('Page.getInstallabilityErrors')).installabilityErrors;
  if (installErrors.some((e) => e.errorId !== 'in-incognito')) fail('the page cannot be installed: ' + JSON.stringify(installErrors));
  const copy = await kept();
  if (copy['morvik-' + v1] !== files) fail(`the offline copy holds ${JSON.stringify(copy)}, not the ${files} files of ${v1}`);
  const firstVisit = host.sent;
  const siteBytes = fs.readdirSync(host.root).reduce((s, f) => s + fs.statSync(path.join(host.root, f)).size, 0);
  console.log(`offline: the first visit transferred ${firstVisit} bytes (the site is ${siteBytes} bytes)`);
  if (firstVisit > 2500000) fail('the first visit transfers more than 2.5 MB');
  await play('on the first visit');
  // A game left by Escape writes the records.
  await press('Escape');
  await waitFor(page, 'the records were not stored',
                () => Module.MorvikWeb.recordWrites > 0 && Module.MorvikWeb.recordsStored === Module.MorvikWeb.recordWrites, 15000);
  const best = await storedBest(page);

  // No network: the host is gone and the browser offline. A reload plays.
  host.down = true;
  await context.setOffline(true);
  await page.reload();
  await play('offline');
  if ((await version()) !== v1) fail('offline, the page is not the version kept');
  await shot(page, 'offline');

  // A new version is published (the same site under another version): the
  // next visit takes it whole, and the old copy is gone.
  const v2root = fs.mkdtempSync(path.join(os.tmpdir(), 'morvik-site-'));
  const v2 = v1 + 'b';
  for (const f of fs.readdirSync(host.root)) {
    const from = path.join(host.root, f), to = path.join(v2root, f);
    if (f === 'index.html' || f === 'sw.js') fs.writeFileSync(to, fs.readFileSync(from, 'utf8').split(v1).join(v2));
    else fs.copyFileSync(from, to);
  }
  const oldRoot = host.root;
  host.root = v2root;
  host.log = [];
  host.down = false;
  await context.setOffline(false);
  const seen = [];
  page.on('response', (r) => seen.push(r.url()));
  await page.reload();
  await play('after the update');
  if ((await version()) !== v2) fail(`the next visit shows ${await version()}, not the new version ${v2}`);
  const stale = seen.concat(host.log.map((l) => l[0])).filter((u) => u.includes('v=' + encodeURIComponent(v1) + '&') ||
                                                                   u.endsWith('v=' + encodeURIComponent(v1)));
  if (stale.length) fail('files of the old version were served after the update:\n  ' + stale.join('\n  '));
  await waitFor(page, 'the new version did not replace the old copy',
                () => caches.keys().then((k) => k.length === 1 && k[0] === 'morvik-' +
                  document.querySelector('meta[name="morvik-version"]').content), 30000);
  if ((await storedBest(page)) !== best) fail('the records were lost in the update');
  // And the new copy plays offline.
  host.down = true;
  await context.setOffline(true);
  await page.reload();
  await play('offline after the update');
  if ((await version()) !== v2) fail('offline after the update, the page is not the new version');
  if (errors.length) fail('page errors offline:\n  ' + errors.join('\n  '));
  await context.close();
  host.root = oldRoot;
  fs.rmSync(v2root, { recursive: true, force: true });
  console.log(`offline: ${v1} kept and played offline, ${v2} taken whole on the next visit, records kept ` +
              `(${((Date.now() - t0) / 1000).toFixed(0)} s)`);
}

(async () => {
  const host = await serve(site);
  const browser = await chromium.launch({ executablePath: process.env.MORVIK_CHROMIUM || '/usr/bin/chromium',
                                          args: ['--no-sandbox'] });
  await phone(browser, host);
  await offline(browser, host);
  await browser.close();
  host.srv.close();
  console.log('phone and offline: all checks passed');
})().catch((e) => fail(e.stack || String(e)));
