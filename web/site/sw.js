// SPDX-License-Identifier: GPL-3.0-or-later
// The offline copy of the site: every file of one version, kept in a cache
// named by that version. A new version is fetched whole, then replaces the
// old one: its cache is taken and the old cache deleted. The game's files
// are asked for with their version (?v=), and a request is answered from
// this cache only when its version is this one, so a page never gets files
// of two versions. The page itself comes from the network when there is
// one (a new version shows on the next visit), else from this copy.
// The leaderboard's requests (/api/) are never kept. The records live in
// IndexedDB, which none of this touches.
'use strict';
const VERSION = '@MORVIK_SITE_VERSION@';
const FILES = [@MORVIK_SITE_FILES@];
const CACHE = 'morvik-' + VERSION;
const VERSIONED = /\.(js|css|gz|webmanifest)$/;

function here(name) {
  return new URL(name, self.registration.scope).href;
}

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const cache = await caches.open(CACHE);
    // What the page fetched on this visit is there already.
    for (const f of FILES) {
      if (await cache.match(here(f))) continue;
      const versioned = VERSIONED.test(f);
      const r = await fetch(versioned ? here(f) + '?v=' + encodeURIComponent(VERSION) : here(f),
                            { cache: versioned ? 'default' : 'no-cache' });
      if (!r.ok) throw new Error(f + ': ' + r.status);
      await cache.put(here(f), r);
    }
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const k of await caches.keys())
      if (k.startsWith('morvik-') && k !== CACHE) await caches.delete(k);
    await self.clients.claim();
  })());
});

// The page: from the network (fresh, not the browser's HTTP cache), else
// this version's copy; a network that does not answer in a few seconds
// counts as none.
async function page(request) {
  try {
    const r = await Promise.race([
      fetch(request, { cache: 'no-cache' }),
      new Promise((resolve, reject) => setTimeout(() => reject(new Error('no answer')), 5000)),
    ]);
    return r;
  } catch (e) {
    const kept = await caches.open(CACHE).then((c) => c.match(here('index.html')));
    if (kept) return kept;
    throw e;
  }
}

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  const url = new URL(request.url);
  if (url.origin !== self.location.origin || url.pathname.includes('/api/')) return;
  const scope = new URL(self.registration.scope);
  if (!url.pathname.startsWith(scope.pathname)) return;
  if (request.mode === 'navigate') {
    event.respondWith(page(request));
    return;
  }
  const v = url.searchParams.get('v');
  url.search = '';
  if (v === VERSION) {
    // This version's file: from the copy.
    event.respondWith(caches.open(CACHE).then((c) => c.match(url.href)).then((kept) => kept || fetch(request)));
  } else if (v === null) {
    // Files asked for without a version (the icons): the network first.
    event.respondWith(fetch(request).catch(() => caches.open(CACHE).then((c) => c.match(url.href))
      .then((kept) => kept || Response.error())));
  }
  // Another version's file: the network alone.
});
