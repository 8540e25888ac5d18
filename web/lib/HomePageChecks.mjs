// SPDX-License-Identifier: GPL-2.0-or-later
// The checks of the home page as people use it, against the real server
// (its answers, at "about" too, are test_home_page.py's): its form drawn
// from options.json and the addresses the form makes, each Play button
// playing on the page with the server's own players, the plot of what the
// player asked for against the server's session record, and axe-core on the
// page at a desktop and a phone size.
import { mkdirSync, readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { sleep } from './PlayerRun.mjs';

const AxeScript = fileURLToPath(new URL('../node_modules/axe-core/axe.min.js', import.meta.url));
const Repository = fileURLToPath(new URL('../..', import.meta.url));
const OutputFolder = `${process.env.QUORVEL_BINARY_DIR || Repository + 'build'}/test-output`;
const Desktop = { width: 1280, height: 720 };
const Phone = { width: 390, height: 844 };
const PollMs = 250;
// Waits end this long before the check's deadline, so that a failing check still reports what it saw.
const ReportSeconds = 10;
// Media played before the plot is judged: the player has fetched several segments by then.
const PlaySeconds = 4;

// What the form gives for each choice: both manifests take these options,
// but for a choice only HLS takes (WebVTT files), which the DASH address leaves out.
const FormRows = [
  { fill: { live: true }, query: '?live' },
  { fill: { live: true, ll: true }, query: '?live&ll' },
  { fill: { framecode: true }, query: '?framecode' },
  { fill: { duration: '30', framecode: true }, query: '?duration=30&framecode' },
  { fill: { subs: 'en,sv', subsformat: 'wvtt' }, query: '?subs=en,sv&subsformat=wvtt' },
  { fill: { subs: 'en,sv', subsformat: 'vtt' }, query: '?subs=en,sv&subsformat=vtt', dashQuery: '?subs=en,sv' },
];

// Sets (or, with value '' or false, clears) one control of the form.
async function setControl(page, name, value) {
  const selector = `#option-${name}`;
  if (value === true) await page.check(selector);
  else if (value === false) await page.uncheck(selector);
  else if ((await page.locator(selector).evaluate((input) => input.tagName)) === 'SELECT') await page.selectOption(selector, value);
  else await page.fill(selector, value);
}

const PlayButtons = [
  { player: 'hls.js', format: 'HLS', screenshot: 'home-page-playing.png' },
  { player: 'dash.js', format: 'DASH' },
  { player: 'Shaka', format: 'DASH' },
  { player: 'Shaka', format: 'HLS' },
];

// Polls until read() gives something truthy or the time is up; the last value.
async function waitFor(read, seconds) {
  const deadline = Date.now() + seconds * 1000;
  let value = await read();
  while (!value && Date.now() < deadline) {
    await sleep(PollMs);
    value = await read();
  }
  return value;
}

// The page with its form drawn from the server's options.json.
async function openWithForm(session, environment, failures) {
  const page = await session.open(environment.location);
  const drawn = await waitFor(() => page.locator('#options fieldset').count(), 10);
  if (!drawn) failures.push(`no option group drawn: ${await page.textContent('#options-status')}`);
  return page;
}

const formCheck = {
  name: 'home page form and addresses',
  timeoutSeconds: 60,
  async run(session, environment) {
    const failures = [];
    const page = await openWithForm(session, environment, failures);
    const build = await page.textContent('.build');
    if (!/^Build: \S/.test(build) || build.includes('$(')) failures.push(`the build line reads "${build}"`);
    // Every option outside "addressing" has a labelled control, and only those.
    const answer = await fetch(new URL('options.json', environment.location));
    if (!answer.ok) return { failures: [...failures, `options.json answers ${answer.status}`], figures: {} };
    const table = await answer.json();
    const shown = table.options.filter((option) => option.group !== 'addressing').map((option) => option.name);
    const controls = await page.evaluate(() =>
      [...document.querySelectorAll('#options input, #options select')].map((input) => ({ name: input.name, label: input.labels.length ? input.labels[0].textContent : '' })),
    );
    const names = controls.map((control) => control.name);
    if (names.join() !== shown.join()) failures.push(`the form shows ${names.length} options, options.json ${shown.length} outside addressing`);
    for (const control of controls) if (control.label !== control.name) failures.push(`${control.name} is labelled "${control.label}"`);
    if (await page.locator('#group-addressing').count()) failures.push('the addressing group is shown');
    const bare = { hls: await page.inputValue('#master-url'), dash: await page.inputValue('#manifest-url') };
    if (bare.hls !== new URL('master.m3u8', environment.location).href) failures.push(`the HLS address is ${bare.hls} before any choice`);
    if (bare.dash !== new URL('manifest.mpd', environment.location).href) failures.push(`the DASH address is ${bare.dash} before any choice`);
    for (const row of FormRows) {
      for (const [name, value] of Object.entries(row.fill)) await setControl(page, name, value);
      for (const [input, route, query] of [['#master-url', 'master.m3u8', row.query], ['#manifest-url', 'manifest.mpd', row.dashQuery || row.query]]) {
        const expected = new URL(route + query, environment.location).href;
        const got = await page.inputValue(input);
        if (got !== expected) failures.push(`${JSON.stringify(row.fill)} gives ${got}, not ${expected}`);
        // The server takes every address the form gives.
        const answer = await fetch(got);
        if (!answer.ok) failures.push(`${got} answers ${answer.status}: ${(await answer.text()).trim().split('\n').pop()}`);
      }
      for (const [name, value] of Object.entries(row.fill)) await setControl(page, name, value === true ? false : '');
    }
    return { failures: [...failures, ...session.problems], figures: { extra: { options: names.length, rows: FormRows.length } } };
  },
};

// axe-core at both sizes, with the form drawn; and nothing wider than a phone's window.
const accessibilityCheck = {
  name: 'home page accessibility and sizes',
  timeoutSeconds: 60,
  async run(session, environment) {
    const failures = [];
    const page = await openWithForm(session, environment, failures);
    const figures = { extra: {} };
    for (const [label, size] of [['desktop', Desktop], ['phone', Phone]]) {
      await page.setViewportSize(size);
      await page.addScriptTag({ content: readFileSync(AxeScript, 'utf8') });
      const violations = await page.evaluate(async () => (await window.axe.run()).violations.map((item) => ({ id: item.id, impact: item.impact, count: item.nodes.length })));
      for (const item of violations)
        if (item.impact === 'serious' || item.impact === 'critical') failures.push(`${label}: axe ${item.impact} ${item.id} on ${item.count} elements`);
      figures.extra[`${label} axe`] = violations.length ? violations.map((item) => `${item.id}(${item.impact})`).join(' ') : 'clean';
      const width = await page.evaluate(() => document.documentElement.scrollWidth);
      if (width > size.width) failures.push(`${label}: the page is ${width} px wide in a window of ${size.width} px`);
    }
    // Every control is reached with the keyboard: Tab moves the focus through the Play buttons.
    const focused = new Set();
    await page.focus('#master-url');
    for (let step = 0; step < 12; step++) {
      await page.keyboard.press('Tab');
      focused.add(await page.evaluate(() => document.activeElement.textContent.trim()));
    }
    for (const { player, format } of PlayButtons) if (!focused.has(`Play ${format} with ${player}`)) failures.push(`Tab does not reach "Play ${format} with ${player}"`);
    return { failures: [...failures, ...session.problems], figures };
  },
};

// The page's state as the checks read it: the video's position and what the plot shows.
function readPage(page) {
  return page.evaluate(() => ({
    position: document.getElementById('video').currentTime,
    asset: window.QuorvelHome.asset,
    seqs: window.QuorvelHome.plottedSeqs,
    buffer: window.QuorvelHome.plottedBuffer,
    status: document.getElementById('play-status').textContent,
    session: document.getElementById('session-status').textContent,
  }));
}

function playCheck({ player, format, screenshot }) {
  const timeoutSeconds = 90;
  return {
    name: `home page Play ${format} with ${player}`,
    timeoutSeconds,
    async run(session, environment) {
      const failures = [];
      const page = await openWithForm(session, environment, failures);
      await page.setViewportSize(Desktop);
      await page.click(`text=Play ${format} with ${player}`);
      const waitSeconds = timeoutSeconds - ReportSeconds;
      const began = Date.now();
      const left = () => waitSeconds - (Date.now() - began) / 1000;
      // Played, then plotted: requests with the player's buffer length among them.
      let state = await waitFor(async () => {
        const read = await readPage(page);
        return read.position >= PlaySeconds && read;
      }, left());
      if (!state) {
        state = await readPage(page);
        failures.push(`the video stands at ${state.position.toFixed(2)} s: ${state.status}`);
      }
      state = (await waitFor(async () => {
        const read = await readPage(page);
        return read.seqs.length && read.buffer && read;
      }, left())) || (await readPage(page));
      if (state.asset === null) failures.push('the page never learned the asset');
      if (!state.seqs.length) failures.push(`the plot shows no request: ${state.session}`);
      if (!state.buffer) failures.push(`the plot shows no buffer length: ${state.session}`);
      if (screenshot) {
        mkdirSync(OutputFolder, { recursive: true });
        await page.screenshot({ path: `${OutputFolder}/${screenshot}`, fullPage: true });
      }
      // The server's record holds the same requests: every one the plot shows,
      // and none before the newest of them that the plot leaves out.
      if (state.asset !== null && state.seqs.length) {
        const record = await (await fetch(new URL(`session?asset=${state.asset}`, environment.location))).json();
        const newest = Math.max(...state.seqs);
        const listed = record.requests.filter((request) => request.seq <= newest).map((request) => request.seq);
        const plotted = [...state.seqs].sort((a, b) => a - b);
        if (listed.join() !== plotted.join()) failures.push(`the plot shows requests ${plotted.join()}, the session lists ${listed.join()}`);
        if (!record.requests.some((request) => request.cmcd && request.cmcd.bl !== undefined)) failures.push('the session holds no CMCD buffer length');
      }
      return {
        failures: [...failures, ...session.problems],
        figures: { position: state.position, extra: { asset: state.asset, plotted: state.seqs.length, 'buffer points': state.buffer, ...(screenshot ? { screenshot: `${OutputFolder}/${screenshot}` } : {}) } },
      };
    },
  };
}

export function homePageChecks() {
  return [formCheck, accessibilityCheck, ...PlayButtons.map(playCheck)];
}
