// SPDX-License-Identifier: GPL-2.0-or-later
// Serves the check page and the player libraries on a loopback port of its
// own, so that the players fetch every playlist and segment from the quorvel
// server across origins, as they do in real use. Only the names in the table
// are served; nothing else of the disk is reachable.
import http from 'node:http';
import { readFile } from 'node:fs/promises';
import { fileURLToPath } from 'node:url';

const Web = fileURLToPath(new URL('..', import.meta.url));

const Files = new Map([
  ['/player.html', ['page/player.html', 'text/html; charset=utf-8']],
  ['/probe.js', ['page/probe.js', 'text/javascript']],
  ['/players.js', ['page/players.js', 'text/javascript']],
  ['/lib/hls.js', ['node_modules/hls.js/dist/hls.min.js', 'text/javascript']],
  ['/lib/dash.js', ['node_modules/dashjs/dist/modern/umd/dash.all.min.js', 'text/javascript']],
  ['/lib/shaka.js', ['node_modules/shaka-player/dist/shaka-player.compiled.js', 'text/javascript']],
]);

export class StaticServer {
  async start() {
    this.server = http.createServer((request, response) => this.answer(request, response));
    await new Promise((resolve, reject) => {
      this.server.once('error', reject);
      this.server.listen(0, '127.0.0.1', resolve);
    });
    this.origin = `http://127.0.0.1:${this.server.address().port}`;
    return this;
  }

  async answer(request, response) {
    const path = new URL(request.url, this.origin).pathname;
    const entry = Files.get(path);
    if (request.method !== 'GET' || !entry) {
      // The browser asks for a favicon on its own; an empty answer keeps that out of the checks.
      response.writeHead(path === '/favicon.ico' ? 204 : 404);
      response.end();
      return;
    }
    try {
      const body = await readFile(Web + entry[0]);
      response.writeHead(200, { 'Content-Type': entry[1], 'Content-Length': body.length, 'Cache-Control': 'no-store' });
      response.end(body);
    } catch (error) {
      response.writeHead(500, { 'Content-Type': 'text/plain' });
      response.end(String(error.message));
    }
  }

  async stop() {
    this.server.closeAllConnections();
    await new Promise((resolve) => this.server.close(resolve));
  }
}
