// SPDX-License-Identifier: GPL-3.0-or-later
// What play costs the page, in Debian's chromium (playwright-core from
// tests/web): for each CPU slowdown asked for (the DevTools protocol's
// Emulation.setCPUThrottlingRate; 4 stands for a weak phone), a game is
// started and left alone, and over its play the script measures the frame
// periods (from one play frame to the next) and the main thread's busy share
// (the growth of Performance.getMetrics' TaskDuration over the wall time).
//
//   node bench/web_perf.js [SITE_DIR] [--seconds S] [--rates 1,4] [--phone] [--profile]
//
// SITE_DIR defaults to build-web/site; S to 30. --phone measures the phone
// profile (390 x 844, three device pixels a pixel, touch) instead of a
// 1024 x 800 desktop page. --profile adds where the main thread's time went
// (the DevTools protocol's sampling profiler: the functions with the most
// time of their own). Prints one line per rate; exits 1 when a p99 exceeds
// 38 ms.
'use strict';
const path = require('path');
const tests = path.join(__dirname, '..', 'tests', 'web');
const { chromium } = require(require.resolve('playwright-core', { paths: [tests] }));
const { fail, serve, waitFor, sleep, hasPicture } = require(path.join(tests, 'common'));

const args = process.argv.slice(2);
const opt = (name, dflt) => {
  const i = args.indexOf(name);
  return i >= 0 ? args.splice(i, 2)[1] : dflt;
};
const seconds = Number(opt('--seconds', '30'));
const rates = opt('--rates', '1,4').split(',').map(Number);
const phone = args.includes('--phone'), profile = args.includes('--profile');
const site = path.resolve(args.filter((a) => !a.startsWith('--'))[0] || 'build-web/site');

async function measure(browser, host, rate) {
  const context = await browser.newContext(phone
    ? { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, hasTouch: true, isMobile: true }
    : { viewport: { width: 1024, height: 800 } });
  const page = await context.newPage();
  const cdp = await context.newCDPSession(page);
  await page.goto(host.url);
  await waitFor(page, 'no picture within 60 s', hasPicture, 60000);
  await cdp.send('Emulation.setCPUThrottlingRate', { rate });
  // After the opening, Space skips the title's intro and starts a game.
  await sleep(6000);
  for (let i = 0; i < 30 && !(await page.evaluate(() => Module.MorvikWeb.frame > 0)); ++i) {
    await page.keyboard.down('Space');
    await sleep(200);
    await page.keyboard.up('Space');
    await sleep(500);
  }
  await waitFor(page, 'no game started', () => Module.MorvikWeb.frame > 0, 10000);
  await sleep(1000);
  await cdp.send('Performance.enable');
  const busy = async () => (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === 'TaskDuration').value;
  if (profile) {
    await cdp.send('Profiler.enable');
    await cdp.send('Profiler.setSamplingInterval', { interval: 200 });
    await cdp.send('Profiler.start');
  }
  const from = await page.evaluate(() => Module.MorvikWeb.frames.length);
  const t0 = Date.now(), b0 = await busy();
  // The game-over scene runs its frames at 60 ms on purpose: play ends there.
  let over = Infinity;
  while (Date.now() - t0 < seconds * 1000) {
    await sleep(250);
    if (over === Infinity && (await page.evaluate(() => Module.MorvikWeb.state().heroState)) === 4)
      over = await page.evaluate(() => performance.now());
  }
  const share = (await busy() - b0) / ((Date.now() - t0) / 1000);
  const top = profile ? selfTimes((await cdp.send('Profiler.stop')).profile) : [];
  const periods = await page.evaluate(([n, end]) => {
    const f = Module.MorvikWeb.frames.slice(n).filter((x) => x[1] < end);
    const d = [];
    for (let i = 1; i < f.length; ++i)
      if (f[i][0] === f[i - 1][0] + 1) d.push(f[i][1] - f[i - 1][1]);
    return d;
  }, [from, over]);
  await context.close();
  periods.sort((x, y) => x - y);
  const q = (p) => periods[Math.min(periods.length - 1, Math.floor(p * periods.length))];
  const mean = periods.reduce((s, v) => s + v, 0) / periods.length;
  return { rate, n: periods.length, mean, p50: q(0.5), p99: q(0.99), max: periods[periods.length - 1], share, top };
}

// The functions with the most time of their own, as shares of all the
// samples; "(program)" is the browser's own work on the thread (drawing the
// page among it), "(idle)" is left out.
function selfTimes(p) {
  const byId = new Map(p.nodes.map((n) => [n.id, n]));
  const count = new Map();
  let all = 0;
  for (const id of p.samples) {
    const f = byId.get(id).callFrame;
    if (f.functionName === '(idle)') continue;
    const name = (f.functionName || '(anonymous)') + (f.url ? ' ' + path.basename(f.url.split('?')[0]) : '');
    count.set(name, (count.get(name) || 0) + 1);
    ++all;
  }
  return [...count].sort((a, b) => b[1] - a[1]).slice(0, 12).map(([n, c]) => `${(c / p.samples.length * 100).toFixed(1)} % ${n}`);
}

(async () => {
  const host = await serve(site);
  const browser = await chromium.launch({ executablePath: process.env.MORVIK_CHROMIUM || '/usr/bin/chromium',
                                          args: ['--no-sandbox'] });
  let bad = false;
  for (const rate of rates) {
    const r = await measure(browser, host, rate);
    console.log(`${phone ? 'phone' : 'desktop'} at ${r.rate}x CPU: ${r.n} frame periods over ${seconds} s: ` +
                `mean ${r.mean.toFixed(2)} ms, p50 ${r.p50.toFixed(2)}, p99 ${r.p99.toFixed(2)}, ` +
                `max ${r.max.toFixed(2)} ms; main thread busy ${(r.share * 100).toFixed(1)} %`);
    for (const line of r.top) console.log('  ' + line);
    if (!(r.p99 <= 38)) bad = true;
  }
  await browser.close();
  host.srv.close();
  if (bad) fail('a p99 frame period over 38 ms');
})().catch((e) => fail(e.stack || String(e)));
