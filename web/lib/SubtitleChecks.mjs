// SPDX-License-Identifier: GPL-2.0-or-later
// The subtitle checks: hls.js, Shaka and dash.js each show the generated
// text track of `subs`, in every carriage the player takes on its protocol,
// and the cue active at a position names that position. A cue starts at
// every whole second of media time, shows for 0.9 s and names the media
// time (hh:mm:ss.mmm) and, live, the UTC time it shows at.
import { playWithPlayer } from './PlayerRun.mjs';
import { goalFailures, judgePlayback } from './Verdict.mjs';

const Both = { video: true, audio: true };
// Different cues to see before the verdict: a few seconds of playback.
const CuesWanted = 4;
// How far the time a cue names may lie from the position it shows at: the
// cue itself lasts 0.9 s, and a player's cue events come on its own timer.
const ToleranceSeconds = 1.5;
// Samples taken while a busy player catches up (a live player jumping to
// its target latency, a stall) may pair a cue with a position it has just
// left. A carriage that places its cues wrongly misses on every sample and
// every cue, so misses fail the check when they are more than this share of
// the samples and name more than one cue: a run that reaches its goal in
// the middle of one such stray episode is not failed for it.
const StraySamplesAllowed = 0.1;
// A live player that has just joined may still be jumping to its target
// latency with a cue of the old position showing: the first seconds after
// its first cue are not judged.
const LiveSettleSeconds = 2;
const MediaTime = /^(\d{2,}):(\d{2}):(\d{2})\.(\d{3})\b/m;
const UtcTime = /^(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(?:\.\d+)?Z)$/m;

function secondsOf(match) {
  return Number(match[1]) * 3600 + Number(match[2]) * 60 + Number(match[3]) + Number(match[4]) / 1000;
}

// The media time at position 0 of an on-demand presentation: a DASH
// presentation's first period may begin inside the media (its
// presentationTimeOffset), an HLS one begins at media time 0.
async function mediaTimeAtZero(url) {
  if (!new URL(url).pathname.endsWith('.mpd')) return 0;
  const manifest = await (await fetch(url)).text();
  const period = /<Period\b[^>]*\bstart="PT([0-9.]+)S"[^>]*>/.exec(manifest);
  const template = /<SegmentTemplate\b[^>]*\btimescale="(\d+)"[^>]*\bpresentationTimeOffset="(\d+)"/.exec(manifest);
  if (!period || !template) throw new Error('the manifest names no first period start and presentation time offset');
  return Number(template[2]) / Number(template[1]) - Number(period[1]);
}

// On-demand, a cue's media time against the element's position. Live, the
// players put the origin of their timeline where they like (hls.js at the
// first segment it loads, the DASH players at the availability start), so
// the cue's UTC time is held to the player's own wall-clock time of the
// position (the program date-time, the MPD's availability start).
export function judgeCues(samples, live, zero = 0) {
  const failures = [];
  const named = new Set();
  let judged = 0;
  let worst = 0;
  const misses = [];
  const missedCues = new Set();
  const firstCue = samples.find((sample) => sample.cues.length);
  for (const sample of samples) {
    const settling = live && firstCue && sample.at - firstCue.at < LiveSettleSeconds;
    for (const cue of sample.cues) {
      const media = MediaTime.exec(cue.text);
      if (!media) {
        failures.push(`cue without a media time: ${JSON.stringify(cue.text.slice(0, 80))}`);
        continue;
      }
      named.add(media[0]);
      // While the element seeks, its position is the new one but the cues
      // stay those of the old until the seek completes (the media element's
      // "time marches on" runs then).
      if (settling || sample.seeking) continue;
      let offset;
      if (live) {
        const utc = UtcTime.exec(cue.text);
        if (!utc) {
          failures.push(`live cue without its UTC time: ${JSON.stringify(cue.text.slice(0, 80))}`);
          continue;
        }
        if (sample.clock === null) continue;
        offset = (sample.clock - Date.parse(utc[1])) / 1000;
      } else {
        offset = sample.position + zero - secondsOf(media);
      }
      judged++;
      if (Math.abs(offset) > Math.abs(worst)) worst = offset;
      if (Math.abs(offset) > ToleranceSeconds) {
        missedCues.add(media[0]);
        misses.push(`at ${live ? new Date(sample.clock).toISOString() : (sample.position + zero).toFixed(2) + ' s'} the cue names ${live ? UtcTime.exec(cue.text)[1] : media[0]}`);
      }
    }
  }
  if (misses.length > judged * StraySamplesAllowed && missedCues.size > 1) failures.push(...misses);
  if (named.size < CuesWanted) failures.push(`${named.size} different cues shown, not ${CuesWanted}`);
  if (!judged) failures.push('no cue could be held to the position');
  return { failures: [...new Set(failures)], figures: { cues: named.size, 'samples judged': judged, 'samples off': misses.length, 'worst offset': `${worst.toFixed(2)} s` } };
}

// shown: false, a carriage the player cannot show: its media still plays
// without an error for as long as the other checks watch cues.
function subtitleCheck(player, path, { live = false, options = {}, shown = true } = {}) {
  return {
    name: `subtitles ${player} ${path}`,
    timeoutSeconds: 60,
    async run(session, environment) {
      if (!shown) {
        const goal = { played: CuesWanted };
        const report = await playWithPlayer(session, environment, { player, path, options: { ...options, subtitles: 'en' }, goal });
        const result = judgePlayback(report, Both, session.problems);
        result.failures.push(...goalFailures(result.figures, goal));
        return result;
      }
      // A cue a second: live, the cues of the settling seconds come on top.
      const goal = { cues: CuesWanted + (live ? LiveSettleSeconds + 1 : 0) };
      const zero = live ? 0 : await mediaTimeAtZero(new URL(path, environment.location).href);
      const report = await playWithPlayer(session, environment, { player, path, options: { ...options, subtitles: 'en' }, goal });
      const result = judgePlayback(report, Both, session.problems);
      const cues = judgeCues(report.text, live, zero);
      result.failures.push(...cues.failures);
      Object.assign(result.figures.extra, cues.figures);
      return result;
    },
  };
}

// Every pair of player and carriage it plays, one live case each, and
// hls.js following a low-latency presentation with two languages.
// hls.js shows WebVTT files and, in fMP4 subtitle playlists, IMSC1 (stpp)
// only: it parses every other fMP4 text segment as a WebVTT file, the
// EXT-X-MAP header and the segment joined (timeline-controller.ts,
// _parseVTTs), and finds no "WEBVTT" in wvtt samples (vttc boxes), then
// tries IMSC1 and gives the track up. So with wvtt it shows nothing; the
// presentation must still play.
// hls.js in low-latency mode counts the wait for a held part as transfer time
// and may drop to a lower row; on a busy machine such a switch has left a
// half-second hole in its buffer that it then skipped. These checks are about
// the text track, so hls.js keeps the top row there, as the low-latency checks do.
const Cases = [
  ['hls.js', 'master.m3u8?subs=en'],
  ['hls.js', 'master.m3u8?subs=en&subsformat=stpp'],
  ['hls.js', 'master.m3u8?subs=en&subsformat=wvtt', { shown: false }],
  ['hls.js', 'master.m3u8?subs=en&live&pdt=0', { live: true }],
  ['hls.js', 'master.m3u8?subs=en,sv&live&ll', { live: true, options: { lowLatency: true, topLevel: true } }],
  ['Shaka', 'master.m3u8?subs=en'],
  ['Shaka', 'master.m3u8?subs=en&subsformat=wvtt'],
  ['Shaka', 'master.m3u8?subs=en&subsformat=stpp'],
  ['Shaka', 'manifest.mpd?subs=en'],
  ['Shaka', 'manifest.mpd?subs=en&subsformat=wvtt'],
  ['Shaka', 'manifest.mpd?subs=en&live&ll', { live: true, options: { lowLatency: true } }],
  ['dash.js', 'manifest.mpd?subs=en'],
  ['dash.js', 'manifest.mpd?subs=en&subsformat=wvtt'],
  ['dash.js', 'manifest.mpd?subs=en&live&ll', { live: true, options: { lowLatency: true } }],
];

export function subtitleChecks() {
  return Cases.map(([player, path, settings]) => subtitleCheck(player, path, settings));
}
