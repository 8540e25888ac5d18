// SPDX-License-Identifier: GPL-2.0-or-later
// Runs the real quorvel program on a free loopback port for the checks and
// stops it with SIGTERM at the end, as the end-to-end harness of tests/ does.
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import net from 'node:net';
import { fileURLToPath } from 'node:url';

const Repository = fileURLToPath(new URL('../..', import.meta.url));
const StartLimitSeconds = 120;
// Shutdown completes every segment task already queued, also for players
// that have gone away, so it may take a while after a busy check.
const StopLimitSeconds = 60;
const PortAttempts = 5;

export function quorvelBinary() {
  const build = process.env.QUORVEL_BINARY_DIR || Repository + 'build';
  return `${build}/bin/quorvel`;
}

async function freePort() {
  const probe = net.createServer();
  await new Promise((resolve, reject) => {
    probe.once('error', reject);
    probe.listen(0, '127.0.0.1', resolve);
  });
  const { port } = probe.address();
  await new Promise((resolve) => probe.close(resolve));
  return port;
}

export class QuorvelProcess {
  constructor(binary = quorvelBinary()) {
    this.binary = binary;
    this.output = '';
    this.errors = '';
  }

  // The location the checks talk to, e.g. http://127.0.0.1:40123/hls/.
  async start() {
    if (!existsSync(this.binary)) throw new Error(`quorvel not found at ${this.binary} (build it, or set QUORVEL_BINARY_DIR)`);
    for (let attempt = 0; attempt < PortAttempts; attempt++) {
      const port = await freePort();
      this.location = `http://127.0.0.1:${port}/hls/`;
      if (await this.launch()) return this.location;
      if (!this.errors.includes('Address already in use')) throw new Error(`quorvel did not start:\n${this.output}${this.errors}`);
    }
    throw new Error('quorvel found no free port');
  }

  launch() {
    this.output = '';
    this.errors = '';
    this.child = spawn(this.binary, ['-Software', '-Location', this.location], { stdio: ['ignore', 'pipe', 'pipe'] });
    this.exited = new Promise((resolve) => this.child.once('exit', (code, signal) => resolve(signal ? `signal ${signal}` : code)));
    this.child.stderr.on('data', (data) => (this.errors += data));
    return new Promise((resolve) => {
      const timer = setTimeout(() => {
        this.errors += `no "Waiting for Request..." within ${StartLimitSeconds} s\n`;
        this.child.kill('SIGKILL');
      }, StartLimitSeconds * 1000);
      this.child.stdout.on('data', (data) => {
        this.output += data;
        if (/^Waiting for Request\.\.\.$/m.test(this.output)) {
          clearTimeout(timer);
          resolve(true);
        }
      });
      this.exited.then(() => {
        clearTimeout(timer);
        resolve(false);
      });
    });
  }

  // The exit code; quorvel ends answers in progress and exits 0 on SIGTERM.
  async stop() {
    if (!this.child) return 0;
    this.child.kill('SIGTERM');
    const timeout = new Promise((resolve) => setTimeout(() => resolve('timeout'), StopLimitSeconds * 1000));
    const code = await Promise.race([this.exited, timeout]);
    if (code === 'timeout') {
      this.child.kill('SIGKILL');
      await this.exited;
    }
    return code;
  }
}
