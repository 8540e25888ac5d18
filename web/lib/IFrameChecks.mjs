// SPDX-License-Identifier: GPL-2.0-or-later
// HLS I-frame playlists ("iframes") as the players use them in Chromium.
// hls.js, playing the presentation, shows key pictures through its I-frame
// player in an element of their own, as a scrubbing preview does: asked for
// the pictures at two times, it loads an I-frame playlist and the entries
// of those times, and its element shows each time. Shaka takes the I-frame
// streams as its variants' trick-mode video: in trick play at 4x it plays on
// past the media it had buffered, through the entries of an I-frame
// playlist it asks for, and once trick play is cancelled it plays on at the
// normal rate. Neither reports an error. What the entries hold is judged by
// the end-to-end tests.
import { sleep, startPlayer, watchPlayback } from './PlayerRun.mjs';
import { findCrossedGaps, goalFailures, judgePlayback, startSample } from './Verdict.mjs';

const Both = { video: true, audio: true };
const Path = 'master.m3u8?iframes&duration=60';
const SegmentSeconds = 3;
// Playback has begun here before the key pictures are asked for.
const StartPosition = 2;
// Within entries 3 and 6 of an I-frame playlist.
const PreviewTimes = [10.5, 19.5];
const TrickRate = 4;
// Trick play runs on past the media buffered before it, into key pictures.
const TrickUntil = 24;
const PollMs = 250;
// Waiting for a state of the page ends by then, within the check's deadline.
const WaitSeconds = 25;

// The I-frame playlists and entries (segment numbers) the page asked for,
// and the variants whose entries they are.
function keyPicturesAsked(session) {
  const asked = { playlists: 0, entries: [], variants: new Set() };
  for (const address of session.gets) {
    const url = new URL(address);
    if (url.pathname.endsWith('/iframes.m3u8')) asked.playlists++;
    else if (url.pathname.endsWith('/video-body.mp4') && url.searchParams.has('iframe')) {
      asked.entries.push(Number(url.searchParams.get('index')));
      asked.variants.add(url.searchParams.get('variant'));
    }
  }
  return asked;
}

// Polls the page until test(value of read) holds; the last value read, which
// may not satisfy it (the give-up time came first).
async function pollPage(page, read, test, argument) {
  const began = Date.now();
  for (;;) {
    const value = await page.evaluate(read, argument);
    if (test(value) || Date.now() - began > WaitSeconds * 1000) return value;
    await sleep(PollMs);
  }
}

const position = () => window.PlaybackProbe.current.element.currentTime;

function previewCheck() {
  return {
    name: `iframes hls.js ${Path} previews`,
    timeoutSeconds: 120,
    async run(session, environment) {
      const page = await startPlayer(session, environment, 'hls.js', Path);
      const failures = [];
      await pollPage(page, position, (at) => at >= StartPosition);
      const shown = [];
      for (const time of PreviewTimes) {
        if (!(await page.evaluate((at) => window.PlaybackProbe.current.showKeyPicture(at), time))) {
          failures.push('hls.js made no I-frame player: it found no I-frame streams');
          break;
        }
        const state = await pollPage(page, () => window.PlaybackProbe.current.keyPictureShown(), (view) => view && view.readyState >= 2 && !view.seeking && Math.abs(view.position - time) < 0.1);
        shown.push(state);
        if (!(state && state.readyState >= 2 && Math.abs(state.position - time) < 0.1 && state.width > 0))
          failures.push(`the I-frame player's element never showed ${time} s: ${JSON.stringify(state)}`);
      }
      const goal = { played: 10 };
      const report = await watchPlayback(page, session, goal);
      const result = judgePlayback(report, Both, session.problems);
      result.failures.push(...goalFailures(result.figures, goal), ...failures);
      const asked = keyPicturesAsked(session);
      if (!asked.playlists) result.failures.push('no I-frame playlist was asked for');
      for (const time of PreviewTimes)
        if (!asked.entries.includes(Math.floor(time / SegmentSeconds))) result.failures.push(`the entry of ${time} s (segment ${Math.floor(time / SegmentSeconds)}) was never asked for`);
      Object.assign(result.figures.extra, {
        'I-frame playlists': asked.playlists,
        entries: `${asked.entries.join(',') || 'none'} of variant ${[...asked.variants].join(',')}`,
        shown: shown.map((state) => (state ? `${state.position.toFixed(2)} s ${state.width}x${state.height}` : 'nothing')).join(' and '),
      });
      return result;
    },
  };
}

function trickPlayCheck() {
  return {
    name: `iframes Shaka ${Path} trick play`,
    timeoutSeconds: 120,
    async run(session, environment) {
      const page = await startPlayer(session, environment, 'Shaka', Path);
      await pollPage(page, position, (at) => at >= StartPosition);
      const began = await page.evaluate(position);
      await page.evaluate((rate) => window.PlaybackProbe.current.trickPlay(rate), TrickRate);
      const trickEnd = await pollPage(page, position, (at) => at >= TrickUntil);
      await page.evaluate(() => window.PlaybackProbe.current.cancelTrickPlay());
      const cancelledAt = await page.evaluate(position);
      const duringTrickPlay = keyPicturesAsked(session);
      // Played on at the normal rate from where trick play left it.
      const goal = { position: trickEnd + 4 };
      const report = await watchPlayback(page, session, goal);
      // In trick play the key pictures stand alone in the buffer, a segment
      // apart: what it crossed there is no hole in the media. Cancelled,
      // Shaka plays on through the key picture it had buffered last before
      // the normal rate's segments take over: up to a segment past where
      // trick play was cancelled.
      const result = judgePlayback(report, Both, session.problems);
      result.failures = result.failures.filter((failure) => !failure.startsWith('playback crossed a gap'));
      for (const [start, end] of findCrossedGaps(report.samples, startSample(report.samples) || report.samples[0]))
        if (start < began || start > Math.max(trickEnd, cancelledAt) + SegmentSeconds) result.failures.push(`playback crossed a gap in the buffered media at ${start.toFixed(3)}-${end.toFixed(3)} s outside trick play`);
      result.failures.push(...goalFailures(result.figures, goal));
      if (trickEnd < TrickUntil) result.failures.push(`trick play stopped at ${trickEnd.toFixed(2)} s before ${TrickUntil} s`);
      if (!duringTrickPlay.playlists) result.failures.push('no I-frame playlist was asked for');
      if (!duringTrickPlay.entries.length) result.failures.push('trick play asked for no I-frame entry');
      Object.assign(result.figures.extra, {
        'trick play': `${began.toFixed(2)}-${trickEnd.toFixed(2)} s, cancelled at ${cancelledAt.toFixed(2)} s`,
        'I-frame playlists': duringTrickPlay.playlists,
        entries: `${duringTrickPlay.entries.join(',') || 'none'} of variant ${[...duringTrickPlay.variants].join(',')}`,
      });
      return result;
    },
  };
}

export function iframeChecks() {
  return [previewCheck(), trickPlayCheck()];
}
