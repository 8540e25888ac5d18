// SPDX-License-Identifier: GPL-2.0-or-later
// Runs the real quorvel program for the checks through the end-to-end
// harness (tests/quorvel_harness.py): a free loopback port, the wait until it
// serves, and SIGTERM at the end. The program is the harness's:
// $QUORVEL_BINARY_DIR/bin/quorvel, else build/bin/quorvel.
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';

const Tests = fileURLToPath(new URL('../../tests', import.meta.url));
// Shutdown completes every segment task already queued, also for players
// that have gone away, so it may take a while after a busy check.
const Launcher = `
import sys
from quorvel_harness import QuorvelServer
server = QuorvelServer().start()
print(server.url(""), flush=True)
sys.stdin.read()
code = server.stop(timeout=60)
sys.stderr.write(server.stderr.text()[-500:])
sys.exit(code)
`;

export class QuorvelProcess {
  // The location the checks talk to, e.g. http://127.0.0.1:40123/hls/.
  start() {
    this.errors = '';
    this.child = spawn('python3', ['-c', Launcher], { cwd: Tests, stdio: ['pipe', 'pipe', 'pipe'] });
    this.child.stderr.on('data', (data) => (this.errors += data));
    this.exited = new Promise((resolve) => this.child.once('exit', (code, signal) => resolve(signal ? `signal ${signal}` : code)));
    return new Promise((resolve, reject) => {
      let output = '';
      this.child.stdout.on('data', (data) => {
        output += data;
        const location = /^(http:\S+)$/m.exec(output);
        if (location) resolve(location[1]);
      });
      this.exited.then(() => reject(new Error(`quorvel did not start:\n${this.errors}`)));
    });
  }

  // The exit code; quorvel ends answers in progress and exits 0 on SIGTERM.
  async stop() {
    this.child.stdin.end();
    return this.exited;
  }
}
