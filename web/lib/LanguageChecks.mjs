// SPDX-License-Identifier: GPL-2.0-or-later
// The audio languages of "lang" as players meet them: hls.js, Shaka and
// dash.js start on the first language (en), are switched to French while
// playing and play on. The server's record of the asset's requests proves
// it: the audio segments asked for before the switch are all of the English
// rendition (row 0), and French ones (row 1) come after it. What each
// rendition sounds like is judged by the end-to-end tests.
import { sleep, startPlayer, watchPlayback } from './PlayerRun.mjs';
import { goalFailures, judgePlayback } from './Verdict.mjs';

const Both = { video: true, audio: true };
const SwitchPosition = 4;
const Goal = { position: SwitchPosition + 10 };
// Waiting for the switch position ends by then; the check's own deadline is later.
const SwitchGiveUpSeconds = 25;
const PollMs = 250;

// The rows of the audio segments the server has answered for the asset.
async function audioRowsAsked(environment, asset) {
  const record = await (await fetch(new URL(`session?asset=${asset}&format=json`, environment.location))).json();
  return record.requests.filter((request) => request.route === 'audio-body.mp4' && request.status === 200).map((request) => request.variant);
}

function assetOf(session) {
  for (const address of session.gets) {
    const asset = new URL(address).searchParams.get('asset');
    if (asset) return asset;
  }
  return null;
}

async function positionOf(page) {
  return page.evaluate(() => window.PlaybackProbe.current.element.currentTime);
}

function languageCheck(player, path) {
  return {
    name: `languages ${player} ${path}`,
    timeoutSeconds: 60,
    async run(session, environment) {
      const page = await startPlayer(session, environment, player, path);
      const failures = [];
      for (let waited = 0; (await positionOf(page)) < SwitchPosition && waited < SwitchGiveUpSeconds * 1000; waited += PollMs) await sleep(PollMs);
      const asset = assetOf(session);
      const before = asset ? await audioRowsAsked(environment, asset) : [];
      const switched = await page.evaluate(() => window.PlaybackProbe.current.selectAudioLanguage('fr'));
      const report = await watchPlayback(page, session, Goal);
      const result = judgePlayback(report, Both, session.problems);
      result.failures.push(...goalFailures(result.figures, Goal));
      if (!asset) failures.push('no request named an asset');
      if (!switched) failures.push('the player offers no French audio');
      const after = asset ? (await audioRowsAsked(environment, asset)).slice(before.length) : [];
      if (!before.length || before.some((row) => row !== 0)) failures.push(`before the switch the audio segments of rows ${before.join(',') || 'none'}, not of English (0) alone`);
      if (!after.includes(1)) failures.push(`after the switch no French (row 1) audio segment, only rows ${after.join(',') || 'none'}`);
      result.failures.push(...failures);
      Object.assign(result.figures.extra, { 'rows before': before.join(','), 'rows after': after.join(',') });
      return result;
    },
  };
}

export function languageChecks() {
  return [
    languageCheck('hls.js', 'master.m3u8?lang=en,fr,de'),
    languageCheck('Shaka', 'master.m3u8?lang=en,fr,de'),
    languageCheck('Shaka', 'manifest.mpd?lang=en,fr,de'),
    languageCheck('dash.js', 'manifest.mpd?lang=en,fr,de'),
  ];
}
