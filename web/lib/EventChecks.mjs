// SPDX-License-Identifier: GPL-2.0-or-later
// The live event checks: a player joins an event ("start", "stop" in UTC)
// seconds before it begins, waits, plays it from its first segment and ends
// at its stop. hls.js and Shaka over HLS (master.m3u8?live&start&stop),
// dash.js and Shaka over the regular dynamic DASH manifest
// (manifest.mpd?live&dynamic&start&stop, with and without a timeline).
// dash.js reads no time-shift window from an empty timeline, as a track's
// is until its first segment is complete: it joins the timeline form once
// the first segment of every track is, and still plays the event from its
// beginning.
import { startPlayer, watchPlayback } from './PlayerRun.mjs';
import { judgePlayback, startSample } from './Verdict.mjs';

const Both = { video: true, audio: true };
// The event begins this long after the check asks for it and lasts this
// long: whole segments of every track (3 s of video, 6 s of audio).
const LeadSeconds = 8;
const EventSeconds = 18;
// How long after the start dash.js joins the timeline form: the first
// audio segment (6 s) is complete by then.
const LateSeconds = 8;
// How far from the event's first picture playback may begin, and from its
// stop it may end (the players end on their last frame).
const EdgeSeconds = 0.5;
const GiveUpSeconds = LeadSeconds + EventSeconds + 40;

// "2026-12-08T22:00:00Z": whole seconds, as people write the times.
const utc = (milliseconds) => new Date(milliseconds).toISOString().replace('.000Z', 'Z');

// The query of an event that begins lead seconds after now.
function eventQuery(lead) {
  const start = Math.ceil(Date.now() / 1000) * 1000 + lead * 1000;
  return `start=${utc(start)}&stop=${utc(start + EventSeconds * 1000)}`;
}

function join(player, manifest, query, lead = LeadSeconds) {
  const form = `${manifest}?${query}&start&stop`;
  const when = lead > 0 ? `${lead} s before the start` : `${-lead} s after the start`;
  return {
    name: `${player} ${form}: joined ${when}, played to the stop`,
    timeoutSeconds: GiveUpSeconds + 20,
    async run(session, environment) {
      const path = `${manifest}?${query}&lv=60&${eventQuery(lead)}`;
      const page = await startPlayer(session, environment, player, path, { eventAhead: lead > 0 });
      const report = await watchPlayback(page, session, {}, GiveUpSeconds);
      const result = judgePlayback(report, Both, session.problems);
      const first = startSample(report.samples);
      const last = report.samples[report.samples.length - 1];
      const ended = report.samples.find((sample) => sample.ended);
      Object.assign(result.figures.extra, {
        'began at': first ? first.position.toFixed(2) : 'never',
        'ended at': ended ? ended.position.toFixed(2) : 'never',
      });
      if (first && first.position > EdgeSeconds) result.failures.push(`began at ${first.position.toFixed(2)} s, not at the event's first segment`);
      // dash.js, the document turned static under it, may step back from
      // the end it played to and wait there without ending: the element's
      // played ranges reaching the stop say the event was played to it.
      const reachedStop = report.played.some(([, end]) => Math.abs(end - EventSeconds) <= EdgeSeconds);
      if (!ended && !reachedStop) result.failures.push(`never ended: at ${last ? last.position.toFixed(2) : 0} s when the check gave up`);
      else if (Math.abs(ended.position - EventSeconds) > EdgeSeconds) result.failures.push(`ended at ${ended.position.toFixed(2)} s, not at the stop (${EventSeconds} s)`);
      return result;
    },
  };
}

export function eventChecks() {
  return [
    join('hls.js', 'master.m3u8', 'live'),
    join('Shaka', 'master.m3u8', 'live'),
    join('dash.js', 'manifest.mpd', 'live&dynamic'),
    join('Shaka', 'manifest.mpd', 'live&dynamic'),
    join('dash.js', 'manifest.mpd', 'live&dynamic&segtimeline', -LateSeconds),
    join('Shaka', 'manifest.mpd', 'live&dynamic&segtimeline'),
  ];
}
