// SPDX-License-Identifier: GPL-2.0-or-later
// The caption checks: hls.js, dash.js and Shaka play a presentation with
// CEA-608 captions in the video ("cc=608") and show a text track whose
// active cue names the media time being shown, on-demand, and hls.js live
// (why the DASH players are not checked live: below). The cue is read from
// video.textTracks, where each player puts its captions.
import { sleep, startPlayer } from './PlayerRun.mjs';

const WatchSeconds = 20;
const SampleMs = 500;
// Samples whose cue must name the time shown, of those taken while playing.
const MinimalNamingSamples = 8;
const CaptionText = /CC1 (\d+):(\d\d):(\d\d)/;

// Every half second: the playback position and the active cues of every
// text track (a disabled track keeps no active cues: it is made hidden).
async function sampleCues(page) {
  const samples = [];
  const began = Date.now();
  while (Date.now() - began < WatchSeconds * 1000) {
    await sleep(SampleMs);
    samples.push(
      await page.evaluate(() => {
        const element = document.getElementById('video');
        const tracks = [];
        for (const track of element.textTracks) {
          if (track.mode === 'disabled') track.mode = 'hidden';
          const cues = [];
          for (const cue of track.activeCues || []) cues.push({ text: cue.text, start: cue.startTime, end: cue.endTime });
          tracks.push({ kind: track.kind, label: track.label, language: track.language, mode: track.mode, cues });
        }
        return { position: element.currentTime, paused: element.paused, tracks };
      }),
    );
  }
  return samples;
}

function secondsOf(text) {
  const match = CaptionText.exec(text);
  return match ? Number(match[1]) * 3600 + Number(match[2]) * 60 + Number(match[3]) : null;
}

// Each sample's cues are judged against the position: the cue should name
// the media time of the picture shown, which is the position plus the
// presentation's offset (HLS: 0; the on-demand DASH periods begin their
// media one second in, presentationTimeOffset = period start + 1 s, so +1).
// A cue one second behind is the one before a change the page sampled
// before the player's next timeupdate; it counts, but the cues naming the
// time exactly must be at least as many. Live, the players' positions are
// their own timelines: the median offset is taken as the expected one.
function judge(samples, expectedOffset, strayShare) {
  const named = [];
  for (const sample of samples) {
    if (sample.paused || sample.position <= 0) continue;
    for (const track of sample.tracks)
      for (const cue of track.cues) {
        const seconds = secondsOf(cue.text);
        if (seconds !== null) named.push({ offset: seconds - Math.floor(sample.position), track: `${track.kind} ${track.label || track.language}` });
      }
  }
  const offsets = named.map((each) => each.offset).sort((a, b) => a - b);
  const offset = expectedOffset ?? offsets[Math.floor(offsets.length / 2)];
  const exact = named.filter((each) => each.offset === offset).length;
  const behind = named.filter((each) => each.offset === offset - 1).length;
  const stray = named.length - exact - behind;
  const failures = [];
  if (exact + behind < MinimalNamingSamples)
    failures.push(`${exact + behind} cues named the time shown (${MinimalNamingSamples} needed); tracks: ${JSON.stringify(samples[samples.length - 1].tracks.map((track) => [track.kind, track.label, track.mode, track.cues.length]))}`);
  if (exact < behind) failures.push(`${behind} cues a second behind the picture, ${exact} on it`);
  if (stray > named.length * strayShare) failures.push(`${stray} of ${named.length} cues named another time`);
  return {
    failures,
    figures: { extra: { 'cues on the picture': exact, 'a second behind': behind, stray, track: named.length ? named[0].track : 'none', 'cue minus position': `${offset} s` } },
  };
}

// Of the cues sampled, the share that may name another time. Shaka 5.2
// puts a stray cue at period joints (the DASH segments there reach past the
// period's end, and it places the captions of that overhang a few seconds
// off). dash.js 5.2 places embedded captions on the period timeline without
// the presentationTimeOffset: its cues come a second before their pictures
// in the on-demand DASH presentation, which the check states as its offset
// (0 instead of 1); in the dynamic low-latency manifest (no offset) it is right.
const StrayShares = { 'hls.js': 0.1, 'dash.js': 0.1, Shaka: 0.2 };

const OnDemandOffsets = { 'hls.js': 0, Shaka: 1, 'dash.js': 0 };

function captions(player, manifest, live) {
  const path = `${manifest}?cc=608${live ? '&live' : ''}`;
  return {
    name: `${player} ${path} shows CC1 naming the media time`,
    timeoutSeconds: 90,
    async run(session, environment) {
      const page = await startPlayer(session, environment, player, path, { captions: true });
      const result = judge(await sampleCues(page), live ? null : OnDemandOffsets[player], StrayShares[player]);
      const errors = await page.evaluate(() => window.PlaybackProbe.current.errors.map((error) => `${error.source}: ${error.detail}`));
      result.failures.push(...errors.slice(0, 3), ...session.problems.slice(0, 3));
      return result;
    },
  };
}

// Live DASH is the dynamic manifest of "ll", whose segments the players
// read chunk by chunk (a movie fragment of one picture each), and neither
// DASH player shows its captions reliably; not checked:
// - Shaka 5.2 reads the caption data of each chunk on its own and orders
//   the byte pairs by presentation time only within it, so with B-pictures
//   (which come in decode order) a caption's pairs come out of order and
//   its cues are garbled ("CC001 :0080:");
// - dash.js 5.2 hands its caption reader chunks that hold no whole sample,
//   for which the reader finds no data and throws ("null" has no
//   "fields"); the cues it does make are right, but from 2 to 10 in 20 s.
export function captionChecks() {
  return [
    captions('hls.js', 'master.m3u8', false),
    captions('Shaka', 'manifest.mpd', false),
    captions('dash.js', 'manifest.mpd', false),
    captions('hls.js', 'master.m3u8', true),
  ];
}
