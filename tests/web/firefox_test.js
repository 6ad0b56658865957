// SPDX-License-Identifier: GPL-3.0-or-later
// The site in a second engine: Debian's firefox-esr, headless, driven by
// puppeteer-core over WebDriver BiDi (the browser is Debian's; nothing is
// downloaded):
//   node firefox_test.js SITE_DIR [SHOT_DIR]
// No console error, the title shows, Space starts a game and the picture
// moves, and the best score stored as the game is left is still there after
// a reload. Exits 1 on the first failure.
'use strict';
const path = require('path');
const puppeteer = require('puppeteer-core');
const { fail, serve, canvasLook, storedBest, waitFor, sleep, hasPicture } = require('./common');

const site = path.resolve(process.argv[2] || 'build-web/site');
const shots = process.argv[3] || '';

(async () => {
  const t0 = Date.now();
  const host = await serve(site);
  const browser = await puppeteer.launch({ browser: 'firefox', protocol: 'webDriverBiDi', headless: true,
                                           executablePath: process.env.MORVIK_FIREFOX || '/usr/bin/firefox-esr' });
  console.log(`firefox: ${await browser.version()}`);
  const page = await browser.newPage();
  await page.setViewport({ width: 1024, height: 800 });
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(e.message));
  const shot = async (name) => {
    if (shots) await page.screenshot({ path: path.join(shots, name + '.png') });
  };
  // WebDriver's keys are what they type: Space is ' '.
  const press = async (key) => {
    await page.keyboard.down(key);
    await sleep(200);
    await page.keyboard.up(key);
  };

  const tLoad = Date.now();
  await page.goto(host.url);
  await waitFor(page, 'no picture within 30 s', hasPicture, 30000);
  console.log(`firefox: first picture ${Date.now() - tLoad} ms after the request`);

  // After the opening, Space skips the title's intro: the menu shows.
  await sleep(6000);
  await press(' ');
  await sleep(800);
  const title = await canvasLook(page);
  await shot('firefox-title');
  if (title.colours < 16) fail(`the title does not show (${title.colours} colours)`);
  const bestBefore = await storedBest(page);

  for (let i = 0; i < 20 && !(await page.evaluate(() => Module.MorvikWeb.frame > 0)); ++i) {
    await press(' ');
    await sleep(500);
  }
  await waitFor(page, 'Space started no game', () => Module.MorvikWeb.frame > 0, 5000);
  const a = await canvasLook(page);
  await sleep(1000);
  const b = await canvasLook(page);
  await shot('firefox-play');
  if (a.hash === b.hash) fail('the picture does not move in play');

  // Escape leaves the game: the records are written and stored.
  await press('Escape');
  await waitFor(page, 'the records were not stored',
                () => Module.MorvikWeb.recordWrites > 0 && Module.MorvikWeb.recordsStored === Module.MorvikWeb.recordWrites,
                15000);
  const bestSaved = await storedBest(page);
  await page.reload();
  await waitFor(page, 'no picture after the reload', hasPicture, 30000);
  const bestReloaded = await storedBest(page);
  console.log(`firefox: best score before ${bestBefore}, saved ${bestSaved}, after the reload ${bestReloaded}`);
  if (bestSaved === null || bestSaved < 5000 || bestReloaded !== bestSaved) fail('the best score is lost on reload');

  if (errors.length) fail('console errors:\n  ' + errors.join('\n  '));
  await browser.close();
  host.srv.close();
  console.log(`firefox: all checks passed in ${((Date.now() - t0) / 1000).toFixed(0)} s`);
})().catch((e) => fail(e.stack || String(e)));
