// SPDX-License-Identifier: GPL-2.0-or-later
// The regular live DASH checks: dash.js and Shaka follow the dynamic manifest
// without low latency (manifest.mpd?live&dynamic), with number templates and
// with a SegmentTimeline, at the live edge without a stall, then seek back
// within the time-shift window and play from there.
import { sleep, startPlayer } from './PlayerRun.mjs';
import { goalFailures, judgePlayback, Limits, stallFailures } from './Verdict.mjs';

const Both = { video: true, audio: true };
// Wall-clock seconds of playback at the live edge, then how far back the
// seek goes (inside the 60 s window) and how much is played from there.
const FollowSeconds = 30;
const WindowSeconds = 60;
const BackSeconds = 20;
const AfterSeekSeconds = 6;
// A start takes its first seconds (headers and first segments encoded when asked for).
const SettleSeconds = 5;
const GiveUpSeconds = 85;
const PollMs = 250;

async function probeState(page) {
  return page.evaluate(() => {
    const probe = window.PlaybackProbe.current;
    return { now: probe.now(), position: probe.element.currentTime, errors: probe.errors.length };
  });
}

// Polls until done(state) or an error or the give-up time; the last state.
async function waitFor(page, session, done) {
  for (;;) {
    await sleep(PollMs);
    const state = await probeState(page);
    if (done(state) || state.errors || session.problems.length || state.now > GiveUpSeconds) return state;
  }
}

function follow(player, query) {
  const path = `manifest.mpd?${query}&lv=${WindowSeconds}`;
  return {
    name: `${player} ${path} at the live edge for ${FollowSeconds} s, then ${BackSeconds} s back`,
    timeoutSeconds: 110,
    async run(session, environment) {
      const page = await startPlayer(session, environment, player, path, {});
      let first = null;
      const followed = await waitFor(page, session, (state) => {
        if (first === null && state.position > 0) first = state;
        return first !== null && state.position > first.position + Limits.progressEpsilon && state.now - first.now >= FollowSeconds;
      });
      const target = followed.position - BackSeconds;
      await page.evaluate((position) => {
        window.PlaybackProbe.current.element.currentTime = position;
      }, target);
      const after = await waitFor(page, session, (state) => state.position >= target + AfterSeekSeconds);
      const report = await page.evaluate(() => {
        window.PlaybackProbe.current.stop();
        return window.PlaybackProbe.current.report();
      });
      const result = judgePlayback(report, Both, session.problems);
      Object.assign(result.figures.extra, { 'seek from': followed.position.toFixed(2), 'seek to': target.toFixed(2), 'played to': after.position.toFixed(2) });
      // Played on from the point sought, not sent back to the live edge.
      if (!(after.position >= target + AfterSeekSeconds && after.position < followed.position))
        result.failures.push(`after the seek to ${target.toFixed(2)} s the position is ${after.position.toFixed(2)} s`);
      result.failures.push(...stallFailures(report, SettleSeconds), ...goalFailures(result.figures, { played: FollowSeconds - SettleSeconds }));
      return result;
    },
  };
}

export function dynamicDashChecks() {
  return ['dash.js', 'Shaka'].flatMap((player) => [follow(player, 'live&dynamic'), follow(player, 'live&dynamic&segtimeline')]);
}
