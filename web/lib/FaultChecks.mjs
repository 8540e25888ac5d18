// SPDX-License-Identifier: GPL-2.0-or-later
// hls.js meets deliberate faults of the server: a segment that fails once
// with 503 (it must retry and play on) and a segment marked missing with
// EXT-X-GAP (it must skip the hole and play past it). What the fault makes
// the player report is expected; anything else fails the check as usual.
import { playWithPlayer } from './PlayerRun.mjs';
import { judgePlayback } from './Verdict.mjs';

const Both = { video: true, audio: true };
// Video segments last 3 s; segment 2 is missing from 6 s to 9 s, and
// both checks play on to 12 s.
const GapStart = 6;
const GapEnd = 9;
const PastGap = 12;

// Failures that the fault itself explains: non-fatal player errors of the
// given kinds (hls.js names them in camel case; waiting for a retry or
// before a hole may stall playback), and the answers in Statuses.
function withoutExpected(result, { details, statuses = [] }) {
  const expected = (failure) =>
    (failure.startsWith('hls.js: ') && !failure.includes('(fatal)') && details.some((detail) => failure.includes(detail))) ||
    statuses.some((status) => failure.startsWith(`HTTP ${status} for `));
  return { ...result, failures: result.failures.filter((failure) => !expected(failure)), seen: result.failures.filter(expected) };
}

// Plays on through the errors the fault provokes; the check judges them.
async function playThroughFault(session, environment, path) {
  const report = await playWithPlayer(session, environment, { player: 'hls.js', path, goal: { position: PastGap }, stopOnError: false });
  return judgePlayback(report, Both, session.problems);
}

function requirePastGap(result) {
  if (result.figures.position < PastGap) result.failures.push(`stopped at ${result.figures.position.toFixed(2)} s before ${PastGap} s`);
  return result;
}

const failOnce = {
  name: 'hls.js master.m3u8?fail=503x1@video:1 retries and plays on',
  timeoutSeconds: 60,
  async run(session, environment) {
    const judged = await playThroughFault(session, environment, 'master.m3u8?fail=503x1@video:1');
    const result = withoutExpected(judged, { details: ['fragLoadError', 'bufferStalledError'], statuses: [503] });
    result.figures.extra.faults = result.seen.join('; ').slice(0, 200) || 'none';
    if (!result.seen.some((failure) => failure.startsWith('HTTP 503 for ') && failure.includes('index=1'))) result.failures.push('segment 1 was never answered 503');
    return requirePastGap(result);
  },
};

const skipGap = {
  name: 'hls.js master.m3u8?gap=@video:2 plays past the gap',
  timeoutSeconds: 60,
  async run(session, environment) {
    const judged = await playThroughFault(session, environment, 'master.m3u8?gap=@video:2');
    // Crossing the missing segment is what the check asks for; a crossing anywhere else is not.
    const crossing = /crossed a gap in the buffered media at ([\d.]+)-([\d.]+) s/;
    const inGap = (failure) => {
      const match = crossing.exec(failure);
      return match && Number(match[1]) >= GapStart - 0.5 && Number(match[2]) <= GapEnd + 0.5;
    };
    const result = withoutExpected({ ...judged, failures: judged.failures.filter((failure) => !inGap(failure)) }, {
      details: ['fragGap', 'bufferStalledError', 'bufferSeekOverHole', 'bufferNudgeOnStall'],
    });
    result.figures.extra.skipped = judged.failures.filter(inGap).join('; ') || 'none';
    if (!judged.failures.some(inGap)) result.failures.push('no hole where segment 2 is missing was played across');
    if (session.problems.some((problem) => problem.includes('index=2'))) result.failures.push('the missing segment was requested');
    return requirePastGap(result);
  },
};

export function faultChecks() {
  return [failOnce, skipGap];
}
