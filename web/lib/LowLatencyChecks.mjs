// SPDX-License-Identifier: GPL-2.0-or-later
// The low-latency DASH checks: dash.js (its low-latency mode, catching up
// by playback rate) and Shaka (its low-latency mode) follow
// manifest.mpd?live&ll, whose segments come picture by picture while they
// are made, and must stay close to the live edge without a stall. The
// latency is the player's own figure, sampled on the page.
import { playWithPlayer } from './PlayerRun.mjs';
import { findStalls, judgePlayback, startSample } from './Verdict.mjs';

const Both = { video: true, audio: true };
// Wall-clock seconds of playback watched.
const FollowSeconds = 30;
// What the presentation promises: a target of 2 s, and this at most.
const LatencyBoundSeconds = 3;
// A player takes its first seconds to reach its target; after them the
// latency is judged.
const SettleSeconds = 5;

export function latencyFigures(samples, startAt) {
  const judged = samples.filter((sample) => sample.at >= startAt + SettleSeconds).map((sample) => sample.latency);
  if (!judged.length) return null;
  return { mean: judged.reduce((sum, value) => sum + value, 0) / judged.length, max: Math.max(...judged), last: judged[judged.length - 1], count: judged.length };
}

function follow(player) {
  return {
    name: `${player} manifest.mpd?live&ll at the live edge for ${FollowSeconds} s`,
    timeoutSeconds: 100,
    async run(session, environment) {
      const goal = { secondsAfterStart: FollowSeconds };
      const report = await playWithPlayer(session, environment, { player, path: 'manifest.mpd?live&ll', options: { lowLatency: true }, goal, giveUpSeconds: 85 });
      const result = judgePlayback(report, Both, session.problems);
      const start = startSample(report.samples);
      if (!start) return result;
      const latency = latencyFigures(report.player.latencies || [], start.at);
      if (!latency) {
        result.failures.push('the player reported no live latency');
        return result;
      }
      Object.assign(result.figures.extra, {
        latency: `${latency.mean.toFixed(2)} s mean, ${latency.max.toFixed(2)} s max, ${latency.last.toFixed(2)} s last of ${latency.count} samples`,
      });
      if (!(latency.mean < LatencyBoundSeconds) || !(latency.last < LatencyBoundSeconds))
        result.failures.push(`latency ${latency.mean.toFixed(2)} s mean, ${latency.last.toFixed(2)} s last: not below ${LatencyBoundSeconds} s`);
      const stalls = findStalls(report.samples, start);
      if (stalls.length) result.failures.push(`stalled ${stalls.map((stall) => `${stall.seconds.toFixed(1)} s at ${stall.position.toFixed(2)} s`).join(', ')}`);
      if (result.figures.played < FollowSeconds - SettleSeconds) result.failures.push(`played only ${result.figures.played.toFixed(1)} s`);
      return result;
    },
  };
}

export function lowLatencyChecks() {
  return [follow('dash.js'), follow('Shaka')];
}
