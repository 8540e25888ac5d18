// SPDX-License-Identifier: GPL-2.0-or-later
// The ad-break checks: the players see the breaks the server signals, at
// the signalled time, in the carriage each takes, and play through them.
// - hls.js plays the interstitial of an on-demand break (its ads from the
//   asset list) and returns to the main content at the resume point;
// - Shaka raises timeline regions for the MPD event stream, event messages
//   for the emsg boxes and a region for the HLS date range;
// - dash.js delivers both DASH schemes to a subscriber;
// - dash.js and Shaka play across the ad periods without a stall, on-demand
//   and in the dynamic low-latency manifest.
// One break of 12 s at 12 s of 30; the main content resumes at 24 s.
import { playWithPlayer, sleep, startPlayer } from './PlayerRun.mjs';
import { LiveSeconds, liveCheck, playbackCheck } from './PlaybackChecks.mjs';
import { judgePlayback } from './Verdict.mjs';

const Both = { video: true, audio: true };
// Ads fill whole segments of every track (6 s), so the break is two of 6 s.
const BreakStart = 12;
const ResumeAt = 24;
const Break = `duration=30&breaks=@${BreakStart}:12`;
const EventStreamScheme = 'urn:scte:scte35:2014:xml+bin';
const EmsgScheme = 'urn:scte:scte35:2013:bin';
// How far a player's time for an event may lie from the break's start: the
// break lies on a segment boundary, so a right time is exact up to rounding.
const TimeTolerance = 0.1;
const PollMs = 250;
const GiveUpSeconds = 50;

const near = (time, wanted) => typeof time === 'number' && Math.abs(time - wanted) <= TimeTolerance;

function eventText(events) {
  return events.map((event) => `${event.name}${event.scheme ? ' ' + event.scheme : ''}${event.error ? ' (' + event.error + ')' : ''}${typeof event.start === 'number' ? ' from ' + event.start.toFixed(2) : ''} at ${event.position.toFixed(2)} s`).join('; ') || 'none';
}

// hls.js: while an ad plays the element shows the ad's own time, so the
// main content's position is the primary player's (probe.primaryTime).
async function playInterstitial(session, environment, path) {
  const page = await startPlayer(session, environment, 'hls.js', path, { events: true });
  let state;
  for (;;) {
    await sleep(PollMs);
    state = await page.evaluate(() => {
      const probe = window.PlaybackProbe.current;
      return { now: probe.now(), primary: probe.primaryTime(), errors: probe.errors.length };
    });
    if (state.primary >= ResumeAt + 2 || state.errors || state.now > GiveUpSeconds) break;
  }
  const report = await page.evaluate(() => {
    window.PlaybackProbe.current.stop();
    return window.PlaybackProbe.current.report();
  });
  return { report, primary: state.primary };
}

// hls.js 1.7.4 hands each URI of an asset list to its asset player as it
// stands (interstitials-controller.ts, createAsset), and the player resolves
// it against the page (hls.loadSource), not against the asset list: a
// relative ad URI is fetched from the page's origin and the ad fails, and
// hls.js resumes the main content where the break starts. With absolute
// URIs in the asset list the break plays as signalled.
function interstitialCheck() {
  const path = `master.m3u8?${Break}&ads=2`;
  return {
    name: `breaks hls.js ${path} plays the interstitial and resumes`,
    timeoutSeconds: 70,
    async run(session, environment) {
      const { report, primary } = await playInterstitial(session, environment, path);
      const failures = [...report.errors.map((error) => `${error.source}: ${error.detail}`), ...session.problems];
      const seen = (name) => report.events.filter((event) => event.name === name);
      const started = seen('INTERSTITIAL_STARTED');
      if (started.length !== 1) failures.push(`${started.length} interstitials started, not 1`);
      for (const event of started) if (!near(event.eventStart, BreakStart)) failures.push(`the interstitial starts at ${event.eventStart} s, not ${BreakStart} s`);
      const assets = new Set(seen('INTERSTITIAL_ASSET_STARTED').map((event) => event.asset));
      if (assets.size !== 2) failures.push(`${assets.size} different ads started, not 2`);
      if (!seen('INTERSTITIAL_ENDED').length) failures.push('the interstitial never ended');
      const resumed = seen('INTERSTITIALS_PRIMARY_RESUMED');
      if (!resumed.length) failures.push('the main content never resumed');
      for (const event of resumed) if (!near(event.primary, ResumeAt)) failures.push(`the main content resumed at ${event.primary.toFixed(2)} s, not ${ResumeAt} s`);
      if (!(primary >= ResumeAt + 2)) failures.push(`the main content reached ${primary.toFixed(2)} s, not ${ResumeAt + 2} s`);
      return { failures, figures: { extra: { primary: primary.toFixed(2), events: eventText(report.events.filter((event) => event.name !== 'INTERSTITIALS_UPDATED')) } } };
    },
  };
}

// wanted: [event name, scheme] pairs, each of which must come at least
// once with the break's start as its time.
function signalCheck(player, path, options, wanted) {
  return {
    name: `breaks ${player} ${path} signals the break at ${BreakStart} s`,
    timeoutSeconds: 70,
    async run(session, environment) {
      const goal = { position: BreakStart + 3 };
      const report = await playWithPlayer(session, environment, { player, path, options, goal });
      const result = judgePlayback(report, Both, session.problems);
      for (const [name, scheme] of wanted) {
        const matching = report.events.filter((event) => event.name === name && event.scheme === scheme);
        if (!matching.length) result.failures.push(`no ${name} for ${scheme}`);
        else if (!matching.some((event) => near(event.start, BreakStart))) result.failures.push(`${name} for ${scheme} at ${matching.map((event) => event.start).join(',')} s, not ${BreakStart} s`);
      }
      result.figures.extra.events = eventText(report.events);
      return result;
    },
  };
}

// The break as two ad periods between the main content's: played past
// them without the position standing still for more than a second.
function periodCheck(player) {
  const path = `manifest.mpd?${Break}&ads=2`;
  return playbackCheck(player, path, { position: ResumeAt + 4 }, { name: `breaks ${player} ${path} plays across the ad periods`, timeoutSeconds: 70, stallBound: 0 });
}

// Live, low latency: a 12 s break of two ads every 18 s, each ad a period of
// the dynamic manifest between the content's. Followed at the live edge, the
// player crosses a break or more without a stall. The players read the
// manifest again every few seconds, each time a new asset on the server's
// timeline: "ls" or "now" would move that timeline.
function livePeriodCheck(player) {
  const path = 'manifest.mpd?live&ll&breaks=18:12&ads=2';
  const more = (result, report) => {
    if (report.player.periods && report.player.periods.length < 3) result.failures.push(`${report.player.periods.length} period switches, not the 3 of a break`);
  };
  return liveCheck(player, path, `breaks ${player} ${path} follows the live ad periods for ${LiveSeconds} s`, { more });
}

export function breakChecks() {
  const mpd = `manifest.mpd?${Break}`;
  return [
    interstitialCheck(),
    signalCheck('Shaka', mpd, { events: true }, [
      ['timelineregionadded', EventStreamScheme],
      ['timelineregionenter', EventStreamScheme],
      ['emsg', EmsgScheme],
    ]),
    signalCheck('Shaka', `master.m3u8?${Break}&signal=daterange`, { events: true }, [
      ['timelineregionadded', 'com.apple.quicktime.HLS'],
      ['timelineregionenter', 'com.apple.quicktime.HLS'],
    ]),
    signalCheck('dash.js', mpd, { events: [EventStreamScheme, EmsgScheme] }, [
      ['eventModeOnStart', EventStreamScheme],
      ['eventModeOnStart', EmsgScheme],
    ]),
    periodCheck('dash.js'),
    periodCheck('Shaka'),
    livePeriodCheck('dash.js'),
    livePeriodCheck('Shaka'),
  ];
}
