// SPDX-License-Identifier: GPL-2.0-or-later
// The low-latency checks. hls.js (its low-latency mode) follows the parts of
// master.m3u8?live&ll. dash.js (its low-latency mode, catching up by
// playback rate) and Shaka (its low-latency mode) follow
// manifest.mpd?live&ll, whose segments come picture by picture while they
// are made. Each must stay close to the live edge without a stall.
import { playWithPlayer } from './PlayerRun.mjs';
import { goalFailures, judgePlayback, stallFailures, startSample } from './Verdict.mjs';

const Both = { video: true, audio: true };
// Wall-clock seconds of playback watched.
const FollowSeconds = 30;
// What the presentation promises: a target of 2 s, and this at most.
const DashBoundSeconds = 3;
// A player takes its first seconds to reach its target; after them the
// latency is judged.
const SettleSeconds = 5;

export function latencyFigures(samples, startAt) {
  const judged = samples.filter((sample) => sample.at >= startAt + SettleSeconds).map((sample) => sample.latency);
  if (!judged.length) return null;
  return { mean: judged.reduce((sum, value) => sum + value, 0) / judged.length, max: Math.max(...judged), last: judged[judged.length - 1], count: judged.length };
}

// Low-latency HLS: hls.js in its low-latency mode follows the parts of an
// "ll" presentation; how far the shown picture is behind the wall clock
// (by its program date-time) is the feature, and so is its bound.
const HlsBoundSeconds = 2.5;
const ResyncSeconds = 4;
// The player settles on its target in the first seconds (the first parts are
// encoded when asked for); they are not judged, neither latency nor stalls.
const SettleSamples = 10;

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted.length ? sorted[Math.floor(sorted.length / 2)] : NaN;
}

const hlsFollow = {
  name: `hls.js lowLatencyMode master.m3u8?live&ll for ${FollowSeconds} s`,
  timeoutSeconds: 80,
  async run(session, environment) {
    const goal = { played: FollowSeconds };
    // On the main row: hls.js counts the wait for a preload-hinted part, which
    // the server holds until the part is due, as transfer time, and its
    // estimate may send it to the one-picture-a-second row, whose one-second
    // parts would be measured instead. A start takes seconds (headers and the
    // first parts are encoded when asked for, on a busy machine): the page
    // jumps to the player's live position once when it finds itself further
    // behind than ResyncSeconds, and hls.js plays up to 1.5 times
    // faster to reach its target, as a low-latency page sets it up to.
    // The media's duration stays Infinity, as a page for live streams sets it.
    // By default hls.js sets the MediaSource's duration anew after each
    // playlist reload, here one per part; on a busy machine its loading and
    // appending then stopped for seconds now and then, while the playlists
    // kept listing the parts it needed on time.
    const options = { lowLatency: true, topLevel: true, catchUpRate: 1.5, maxLatency: ResyncSeconds, liveDurationInfinity: true };
    const report = await playWithPlayer(session, environment, { player: 'hls.js', path: 'master.m3u8?live&ll', options, goal, giveUpSeconds: 65 });
    const result = judgePlayback(report, Both, session.problems);
    const { clockLatencies = [], targetLatency, partsLoaded, latency, jumps = [] } = report.player;
    // A jump to live leaves unbuffered media behind the playhead: no gap in the media.
    const jumpedOver = (failure) => {
      const gap = /crossed a gap in the buffered media at ([0-9.]+)-([0-9.]+) s/.exec(failure);
      return gap && jumps.some(([from, to]) => Number(gap[1]) >= from - 0.5 && Number(gap[2]) <= to + 0.5);
    };
    result.failures = result.failures.filter((failure) => !jumpedOver(failure));
    const judged = clockLatencies.slice(SettleSamples);
    const typical = median(judged);
    Object.assign(result.figures.extra, {
      'latency median': `${typical.toFixed(2)} s`,
      'latency max': `${Math.max(...judged).toFixed(2)} s`,
      'target latency': `${Number(targetLatency).toFixed(2)} s`,
      'latency by hls.js': `${Number(latency).toFixed(2)} s`,
      'jumps to live': report.player.resynced,
      samples: judged.length,
    });
    if (!partsLoaded) result.failures.push('hls.js saw no parts');
    if (!(typical < HlsBoundSeconds)) result.failures.push(`latency ${typical.toFixed(2)} s, not below ${HlsBoundSeconds} s`);
    result.failures.push(...stallFailures(report, SettleSeconds), ...goalFailures(result.figures, goal));
    return result;
  },
};

// The DASH players' latency is their own figure, sampled on the page.
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
      if (!(latency.mean < DashBoundSeconds) || !(latency.last < DashBoundSeconds))
        result.failures.push(`latency ${latency.mean.toFixed(2)} s mean, ${latency.last.toFixed(2)} s last: not below ${DashBoundSeconds} s`);
      result.failures.push(...stallFailures(report), ...goalFailures(result.figures, { played: FollowSeconds - SettleSeconds }));
      return result;
    },
  };
}

export function lowLatencyChecks() {
  return [hlsFollow, follow('dash.js'), follow('Shaka')];
}
