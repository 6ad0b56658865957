// SPDX-License-Identifier: GPL-3.0-or-later
// What the browser tests share: a static host of our own on the loopback, and
// the page's state as the tests read it (any page with evaluate(): the
// Chromium of playwright-core and the Firefox of puppeteer-core alike).
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
                '.gz': 'application/gzip', '.png': 'image/png', '.webmanifest': 'application/manifest+json' };

function fail(why) {
  console.log('FAIL: ' + why);
  process.exit(1);
}

// Serves a folder as a plain static host does: no compression, a
// Last-Modified date and 304 for a copy still current, nothing else. The
// folder can be changed (a new version published) and the host cut off (it
// drops every connection); `sent` counts the bytes of the bodies sent, and
// `log` the requests as [path with query, status].
function serve(site) {
  const host = { root: path.resolve(site), down: false, sent: 0, log: [] };
  host.srv = http.createServer((req, res) => {
    if (host.down) {
      req.socket.destroy();
      return;
    }
    let p = path.normalize(decodeURIComponent(req.url.split('?')[0]));
    if (p.endsWith('/')) p += 'index.html';
    const file = path.join(host.root, p);
    const answer = (code, headers, body) => {
      host.log.push([req.url, code]);
      res.writeHead(code, headers);
      if (body) host.sent += body.length;
      res.end(body);
    };
    if (!file.startsWith(host.root + path.sep)) return answer(403, {});
    fs.stat(file, (err, st) => {
      if (err || !st.isFile()) return answer(404, {});
      const modified = new Date(Math.floor(st.mtimeMs / 1000) * 1000);
      const since = Date.parse(req.headers['if-modified-since'] || '');
      if (!isNaN(since) && since >= modified.getTime()) return answer(304, {});
      fs.readFile(file, (err2, data) => {
        if (err2) return answer(404, {});
        answer(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                      'Content-Length': data.length, 'Last-Modified': modified.toUTCString() }, data);
      });
    });
  });
  return new Promise((resolve) => host.srv.listen(0, '127.0.0.1', () => {
    host.url = `http://127.0.0.1:${host.srv.address().port}/`;
    resolve(host);
  }));
}

// A digest of the canvas: how many colours, and a hash of its pixels.
function canvasLook(page) {
  return page.evaluate(() => {
    const c = document.getElementById('canvas');
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    const colours = new Set();
    let h = 0;
    for (let i = 0; i < d.length; i += 4) {
      const v = (d[i] << 16) | (d[i + 1] << 8) | d[i + 2];
      if (colours.size < 1000) colours.add(v);
      h = (Math.imul(h, 31) + v) | 0;
    }
    return { colours: colours.size, hash: h };
  });
}

// The best score kept in the records file in the browser's storage.
function storedBest(page) {
  return page.evaluate(() => {
    try {
      const b = Module.MorvikWeb.readFile('/save/Mor_vik_0.kvd');
      return b.length >= 42244 ? new DataView(b.buffer, b.byteOffset).getInt32(42240, true) : -1;
    } catch (e) {
      return null;
    }
  });
}

// Polls fn(arg) in the page until it is true.
async function waitFor(page, what, fn, ms, arg) {
  const until = Date.now() + ms;
  for (;;) {
    let ok = false;
    try {
      ok = await page.evaluate(fn, arg);
    } catch (e) {
      // a page between two documents
    }
    if (ok) return;
    if (Date.now() > until) fail(what);
    await new Promise((r) => setTimeout(r, 100));
  }
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

const hasPicture = () => !!(window.Module && Module.MorvikWeb && Module.MorvikWeb.shown > 0);

module.exports = { fail, serve, canvasLook, storedBest, waitFor, sleep, hasPicture };
