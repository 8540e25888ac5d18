// SPDX-License-Identifier: GPL-2.0-or-later
// One headless Chromium for one check: Debian's browser driven through
// playwright-core with a fresh profile that is deleted afterwards. It also
// collects what goes wrong on its pages outside the players' own reports:
// uncaught exceptions, console errors, failed requests and error answers.
import { chromium } from 'playwright-core';
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const ChromiumBinary = process.env.QUORVEL_CHROMIUM || '/usr/bin/chromium';

const Flags = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--autoplay-policy=no-user-gesture-required',
];

// Requests the browser makes by itself, not the media under test.
function incidental(url) {
  return new URL(url).pathname.endsWith('/favicon.ico');
}

export class BrowserSession {
  async start() {
    this.profile = await mkdtemp(join(tmpdir(), 'quorvel-chromium-'));
    this.problems = [];
    this.console = [];
    // Every POST the pages made, its body and its answer's status (licence requests).
    this.posts = [];
    // The addresses of every other answer the pages got, in order.
    this.gets = [];
    // Every answer with its status and when it came (Date.now()), in order.
    this.answers = [];
    // A check that fails requests on purpose says which error answers it
    // expects: (url, status) => true leaves them out of the problems.
    this.expectedError = null;
    // playwright-core never downloads a browser; it drives the one given here.
    this.context = await chromium.launchPersistentContext(this.profile, {
      executablePath: ChromiumBinary,
      headless: true,
      args: Flags,
    });
    return this;
  }

  async open(url) {
    const page = this.context.pages()[0] || (await this.context.newPage());
    this.watch(page);
    const response = await page.goto(url);
    if (!response.ok()) throw new Error(`HTTP ${response.status()} for ${url}: ${(await response.text()).trim().split('\n')[0]}`);
    return page;
  }

  watch(page) {
    page.on('console', (message) => {
      this.console.push(message.text());
      // Failed loads are reported with more detail by the two handlers below.
      if (message.type() === 'error' && !message.text().startsWith('Failed to load resource') && !incidental(message.location().url || 'http://x/'))
        this.problems.push(`console: ${message.text()}`);
    });
    page.on('pageerror', (error) => this.problems.push(`page: ${error.message}`));
    page.on('response', (response) => {
      if (response.request().method() === 'POST') this.posts.push({ url: response.url(), status: response.status(), body: response.request().postData() });
      else this.gets.push(response.url());
      this.answers.push({ url: response.url(), status: response.status(), at: Date.now() });
      // open() reports an error answer to the page itself.
      const expected = this.expectedError && this.expectedError(response.url(), response.status());
      if (response.status() >= 400 && !expected && !incidental(response.url()) && !response.request().isNavigationRequest()) this.problems.push(`HTTP ${response.status()} for ${response.url()}`);
    });
    page.on('requestfailed', (request) => {
      const reason = request.failure() ? request.failure().errorText : 'failed';
      // Players cancel requests they no longer need (a level switch, a seek).
      if (reason !== 'net::ERR_ABORTED' && !incidental(request.url())) this.problems.push(`request ${request.url()}: ${reason}`);
    });
  }

  // Waits until the page printed a console line containing text; false on time-out.
  async consoleLine(text, seconds) {
    const deadline = Date.now() + seconds * 1000;
    while (Date.now() < deadline) {
      if (this.console.some((line) => line.includes(text))) return true;
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    return false;
  }

  async close() {
    try {
      if (this.context) await this.context.close();
    } finally {
      await rm(this.profile, { recursive: true, force: true });
    }
  }
}
