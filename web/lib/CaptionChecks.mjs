// SPDX-License-Identifier: GPL-2.0-or-later
// The caption checks: hls.js, dash.js and Shaka play a presentation with
// CEA-608 captions in the video ("cc=608") and show a text track whose
// active cue names the media time being shown, on-demand and live. The cue
// is read from video.textTracks, where each player puts its captions.
import { sleep } from './PlayerRun.mjs';

const Libraries = { 'hls.js': '/lib/hls.js', 'dash.js': '/lib/dash.js', Shaka: '/lib/shaka.js' };
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

// On-demand, the position is the media time: the cue names its whole
// second (a sample may fall on a change of cue). Live, the players' positions
// are their own timelines: the named second must move with the position,
// one step per second.
function judge(samples, live, strayShare) {
  const named = [];
  for (const sample of samples) {
    if (sample.paused || sample.position <= 0) continue;
    for (const track of sample.tracks)
      for (const cue of track.cues) {
        const seconds = secondsOf(cue.text);
        if (seconds !== null) named.push({ position: sample.position, seconds, track: `${track.kind} ${track.label || track.language}` });
      }
  }
  const failures = [];
  const offsets = named.map((each) => each.seconds - Math.floor(each.position));
  const offset = live ? offsets.sort((a, b) => a - b)[Math.floor(offsets.length / 2)] : 0;
  const right = named.filter((each) => Math.abs(each.seconds - Math.floor(each.position) - offset) <= 1);
  if (right.length < MinimalNamingSamples)
    failures.push(`${right.length} of ${samples.length} samples showed a cue naming the time shown (${MinimalNamingSamples} needed); tracks: ${JSON.stringify(samples[samples.length - 1].tracks.map((track) => [track.kind, track.label, track.mode, track.cues.length]))}`);
  const distinct = new Set(right.map((each) => each.seconds));
  if (distinct.size < WatchSeconds / 4) failures.push(`the cues named only ${distinct.size} different seconds`);
  const wrong = named.length - right.length;
  if (wrong > named.length * strayShare) failures.push(`${wrong} of ${named.length} cues named another time`);
  return {
    failures,
    figures: { extra: { 'cues naming the time': `${right.length} of ${samples.length} samples`, seconds: distinct.size, track: named.length ? named[0].track : 'none', ...(live ? { 'cue minus position': `${offset} s` } : {}) } },
  };
}

// Of the cues sampled, the share that may name another time. Shaka 5.2
// shows each pop-on caption from the end of the one before, so its cues come
// a second early (within the tolerance), and at every other segment joint
// it adds a cue of a caption four seconds ahead for one second; hls.js,
// dash.js, ffmpeg and mux.js place the same captions on their seconds.
const StrayShares = { 'hls.js': 0.1, 'dash.js': 0.1, Shaka: 0.2 };

function captions(player, manifest, live) {
  const path = `${manifest}?cc=608${live ? '&live' : ''}`;
  return {
    name: `${player} ${path} shows CC1 naming the media time`,
    timeoutSeconds: 90,
    async run(session, environment) {
      const page = await session.open(`${environment.pageOrigin}/player.html`);
      await page.addScriptTag({ url: Libraries[player] });
      const url = new URL(path, environment.location).href;
      await page.evaluate(([name, address]) => window.startPlayer(name, address, { captions: true }), [player, url]);
      const result = judge(await sampleCues(page), live, StrayShares[player]);
      const errors = await page.evaluate(() => window.PlaybackProbe.current.errors.map((error) => `${error.source}: ${error.detail}`));
      result.failures.push(...errors.slice(0, 3), ...session.problems.slice(0, 3));
      return result;
    },
  };
}

export function captionChecks() {
  const checks = [];
  for (const live of [false, true]) {
    checks.push(captions('hls.js', 'master.m3u8', live));
    checks.push(captions('Shaka', 'manifest.mpd', live));
    checks.push(captions('dash.js', 'manifest.mpd', live));
  }
  return checks;
}
