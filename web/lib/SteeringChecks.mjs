// SPDX-License-Identifier: GPL-2.0-or-later
// The content steering checks: a player of a live presentation with two
// pathways ("steer=a,b") starts on pathway a and moves to b, judged by the
// answers the player got, in order: each segment's pathway (its "pathway="
// or DASH's "pathway/NAME/" path) and what each steering manifest put first.
// The answers, not the server's request log: DASH players read a regular
// dynamic manifest again every few seconds, and each read makes a new asset
// whose segments they then ask for (their steering requests stay with the
// first asset's RELOAD-URI).
// - "prefer": once the player has played a while on a, the check asks
//   steering?asset=N&prefer=b; a segment of b arrives after the first
//   steering manifest that puts b first and before the next one, so within
//   one TTL, and the last segments are all b's. hls.js and Shaka over HLS,
//   dash.js and Shaka over DASH.
// - a fault of pathway a: every video and audio segment of a from a few
//   segments after the live edge on fails (404, expected); the player moves
//   to b on its own and plays on. hls.js over HLS, dash.js over DASH.
import { sleep, startPlayer } from './PlayerRun.mjs';
import { goalFailures, judgePlayback } from './Verdict.mjs';

const Both = { video: true, audio: true };
// Seconds a player keeps a steering manifest: longer than the live HLS
// playlists' reload (3 s), which is when Shaka takes up another pathway.
const TimeToLive = 6;
const Paths = {
  HLS: `master.m3u8?live&steer=a,b&steerttl=${TimeToLive}`,
  DASH: `manifest.mpd?live&dynamic&steer=a,b&steerttl=${TimeToLive}`,
};
// Segments on a before the check moves the player, and seconds played after.
const SegmentsBefore = 3;
const SecondsAfter = 8;
// The fault begins this many video segments (3 s) after the live edge.
const FaultDelaySegments = 4;
const PollMs = 500;
const GiveUpSeconds = 90;
const MediaRoutes = new Set(['video-body.mp4', 'audio-body.mp4']);

// What an answer was for: its route, the asset, the pathway it came by.
function described(answer) {
  const url = new URL(answer.url);
  const inPath = /\/pathway\/([^/]+)\/[^/]*$/.exec(url.pathname);
  return {
    ...answer,
    route: url.pathname.slice(url.pathname.lastIndexOf('/') + 1),
    asset: url.searchParams.get('asset'),
    pathway: inPath ? inPath[1] : url.searchParams.get('pathway'),
  };
}

const answersOf = (session) => session.answers.map(described);
const segmentsOf = (answers) => answers.filter((answer) => MediaRoutes.has(answer.route) && answer.status === 200);
const text = (answers) => answers.map((answer) => `${answer.route.split('.')[0]}${answer.pathway ? '@' + answer.pathway : ''}${answer.status === 200 ? '' : ' ' + answer.status}${answer.first ? '>' + answer.first : ''}`).join(' ');
const count = (segments, pathway) => segments.filter((segment) => segment.pathway === pathway).length;

// Polls until done(answers, state), an error or the give-up time.
async function waitFor(page, session, done) {
  for (;;) {
    await sleep(PollMs);
    const state = await page.evaluate(() => {
      const probe = window.PlaybackProbe.current;
      return { now: probe.now(), position: probe.element.currentTime, errors: probe.errors.length };
    });
    if (done(answersOf(session), state) || state.errors || session.problems.length || state.now > GiveUpSeconds) return state;
  }
}

// The playback's verdict, and whether it played on SecondsAfter past the move.
async function finish(page, session, movedAt, state) {
  const report = await page.evaluate(() => {
    window.PlaybackProbe.current.stop();
    return window.PlaybackProbe.current.report();
  });
  const result = judgePlayback(report, Both, session.problems);
  if (movedAt === null || state.position < movedAt + SecondsAfter)
    result.failures.push(`played to ${state.position.toFixed(1)} s, not ${SecondsAfter} s past a move to pathway b (${movedAt === null ? 'none' : movedAt.toFixed(1) + ' s'})`);
  result.failures.push(...goalFailures(result.figures, { played: SecondsAfter }));
  return result;
}

function beganOnA(segments, failures) {
  if (!segments.length || segments.some((segment) => segment.pathway !== 'a')) failures.push(`the player did not begin on pathway a: ${text(segments)}`);
}

function stayedOnB(segments, failures) {
  const last = segments.slice(-3);
  if (last.length < 3 || last.some((segment) => segment.pathway !== 'b')) failures.push(`the last segments are not all of pathway b: ${text(segments.slice(-8))}`);
}

// Records what each steering manifest the player gets puts first.
function watchSteering(page) {
  const manifests = [];
  page.on('response', async (response) => {
    if (!response.url().includes('/steering?')) return;
    const at = Date.now();
    try {
      manifests.push({ at, first: (await response.json())['PATHWAY-PRIORITY'][0] });
    } catch (error) {
      manifests.push({ at, first: `unread (${error.message})` });
    }
  });
  return manifests;
}

function preferCheck(player, protocol) {
  return {
    name: `${player} ${Paths[protocol]}: from pathway a to b by prefer=b within one TTL`,
    timeoutSeconds: 120,
    async run(session, environment) {
      const page = await startPlayer(session, environment, player, Paths[protocol], {});
      const manifests = watchSteering(page);
      // Played a while on a, and asked for steering: its asset is the one to tell.
      let steering = null;
      await waitFor(page, session, (answers, state) => {
        steering = steering || answers.find((answer) => answer.route === 'steering' && answer.status === 200);
        return steering && segmentsOf(answers).length >= SegmentsBefore && state.position > 0;
      });
      if (!steering) return { failures: ['the player asked for no steering manifest', ...session.problems], figures: {} };
      const told = await fetch(new URL(`steering?asset=${steering.asset}&prefer=b`, environment.location));
      if (!told.ok) return { failures: [`prefer=b answers ${told.status}`], figures: {} };
      const preferredAt = Date.now();
      let movedAt = null;
      const state = await waitFor(page, session, (answers, now) => {
        if (movedAt === null && segmentsOf(answers).some((segment) => segment.at > preferredAt && segment.pathway === 'b')) movedAt = now.position;
        return movedAt !== null && now.position >= movedAt + SecondsAfter;
      });
      const result = await finish(page, session, movedAt, state);
      const segments = segmentsOf(answersOf(session));
      beganOnA(segments.filter((segment) => segment.at < preferredAt), result.failures);
      // Within one TTL: after the first manifest that puts b first, before the next.
      const turned = manifests.findIndex((manifest) => manifest.first === 'b');
      const firstB = segments.find((segment) => segment.pathway === 'b');
      const sequence = [...segments, ...manifests.map((manifest) => ({ ...manifest, route: 'steering', status: 200 }))].sort((one, other) => one.at - other.at);
      if (turned < 0) result.failures.push(`no steering manifest put b first: ${manifests.map((manifest) => manifest.first).join(' ')}`);
      else if (!firstB || firstB.at < manifests[turned].at) result.failures.push(`no segment of pathway b after the manifest that put b first: ${text(sequence.slice(-16))}`);
      else if (turned + 1 < manifests.length && manifests[turned + 1].at < firstB.at)
        result.failures.push(`the first segment of pathway b came after the next steering manifest: ${text(sequence.filter((entry) => entry.at >= manifests[turned].at).slice(0, 16))}`);
      stayedOnB(segments, result.failures);
      Object.assign(result.figures.extra, {
        'segments a/b': `${count(segments, 'a')}/${count(segments, 'b')}`,
        'steering manifests': manifests.length,
        'moved after s': firstB ? ((firstB.at - preferredAt) / 1000).toFixed(1) : '-',
      });
      return result;
    },
  };
}

// The number of the live video segment being made now (the server's live
// timeline is every live asset's), from a live playlist of the check's own.
async function liveSegment(environment) {
  const master = await (await fetch(new URL('master.m3u8?live', environment.location))).text();
  const asset = /asset=(\d+)/.exec(master)[1];
  const playlist = await (await fetch(new URL(`video.m3u8?asset=${asset}&variant=0`, environment.location))).text();
  return Math.max(...[...playlist.matchAll(/index=(\d+)/g)].map((match) => Number(match[1]))) + 1;
}

function faultCheck(player, protocol) {
  return {
    name: `${player} ${Paths[protocol]}: from pathway a to b when a fails`,
    timeoutSeconds: 120,
    async run(session, environment) {
      // Video segments are 3 s, audio 6 s: the same moment on each track.
      const video = (await liveSegment(environment)) + FaultDelaySegments;
      const audio = Math.floor(video / 2);
      const path = `${Paths[protocol]}&fail=404@video:${video}-4294967295:a,404@audio:${audio}-4294967295:a`;
      session.expectedError = (url, status) => status === 404 && described({ url }).pathway === 'a';
      const page = await startPlayer(session, environment, player, path, { pathwayFaults: true });
      let movedAt = null;
      const state = await waitFor(page, session, (answers, now) => {
        if (movedAt === null && segmentsOf(answers).some((segment) => segment.pathway === 'b')) movedAt = now.position;
        return movedAt !== null && now.position >= movedAt + SecondsAfter;
      });
      const result = await finish(page, session, movedAt, state);
      const answers = answersOf(session);
      const segments = segmentsOf(answers);
      const failed = answers.filter((answer) => MediaRoutes.has(answer.route) && answer.status === 404);
      const firstB = segments.find((segment) => segment.pathway === 'b');
      beganOnA(firstB ? segments.filter((segment) => segment.at < firstB.at) : segments, result.failures);
      if (!failed.length) result.failures.push('no segment of pathway a failed');
      else if (firstB && firstB.at < failed[0].at) result.failures.push(`the player left pathway a before it failed: ${text(answers.filter((answer) => MediaRoutes.has(answer.route)))}`);
      stayedOnB(segments, result.failures);
      Object.assign(result.figures.extra, { 'segments a/b': `${count(segments, 'a')}/${count(segments, 'b')}`, 'failed on a': failed.length });
      return result;
    },
  };
}

export function steeringChecks() {
  return [
    preferCheck('hls.js', 'HLS'),
    preferCheck('Shaka', 'HLS'),
    preferCheck('dash.js', 'DASH'),
    preferCheck('Shaka', 'DASH'),
    faultCheck('hls.js', 'HLS'),
    faultCheck('dash.js', 'DASH'),
  ];
}
