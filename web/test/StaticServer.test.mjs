// SPDX-License-Identifier: GPL-2.0-or-later
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { StaticServer } from '../lib/StaticServer.mjs';

let server;
before(async () => {
  server = await new StaticServer().start();
});
after(() => server.stop());

async function get(path) {
  const response = await fetch(server.origin + path);
  return { status: response.status, type: response.headers.get('content-type'), body: await response.text() };
}

test('the check page and every player library are served', async () => {
  const page = await get('/player.html');
  assert.equal(page.status, 200);
  assert.match(page.type, /^text\/html/);
  assert.match(page.body, /<video id="video"/);
  for (const library of ['/lib/hls.js', '/lib/dash.js', '/lib/shaka.js', '/probe.js', '/players.js']) {
    const answer = await get(library);
    assert.equal(answer.status, 200, library);
    assert.ok(answer.body.length > 1000 || library.endsWith('probe.js') || library.endsWith('players.js'), library);
  }
});

test('nothing outside the table is reachable', async () => {
  for (const path of ['/package.json', '/../package.json', '/%2e%2e/package.json', '/lib/../run-tests.mjs', '/page/player.html'])
    assert.equal((await get(path)).status, 404, path);
  assert.equal((await get('/favicon.ico')).status, 204);
});
