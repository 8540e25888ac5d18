// SPDX-License-Identifier: GPL-2.0-or-later
// The checks that play the server's presentations with hls.js, dash.js and
// Shaka: HLS variants, the three-period DASH presentation with its
// trick-play set, cbcs assets, VP9 and AV1 under both schemes decrypted
// with ClearKey. The plain presentations play in the subtitle, break and change
// checks, cenc with its keys and licences in the change checks.
import { playWithPlayer } from './PlayerRun.mjs';
import { goalFailures, judgePlayback, stallFailures } from './Verdict.mjs';

const Both = { video: true, audio: true };
const Key = '00112233445566778899AABBCCDDEEFF';
// The server's one key ID: the player is told the key under it, so media
// that signals any other key ID does not decrypt.
const KeyId = 'a3f1c6d2847b4e09b5e2d7c8196f3a40';
// Media that every HLS check plays.
const HlsSeconds = 10;
// Past the second period boundary of the DASH presentation (periods start at 0, 6 and 12 s).
const DashPosition = 14;

// Plays path with player until goal. expect: which tracks must decode;
// encrypted: the player must have set MediaKeys; stallBound: when given,
// a stall longer than it fails; more(result, session, report) adds what
// the check itself looks for.
export function playbackCheck(player, path, goal, settings = {}) {
  const { expect = Both, options = {}, encrypted = false, stallBound = null, more = () => {}, name = `${player} ${path}`, timeoutSeconds = 60 } = settings;
  return {
    name,
    timeoutSeconds,
    async run(session, environment) {
      const report = await playWithPlayer(session, environment, { player, path, options, goal });
      const result = judgePlayback(report, expect, session.problems);
      result.failures.push(...goalFailures(result.figures, goal), ...(stallBound === null ? [] : stallFailures(report, 0, stallBound)));
      if (report.player.periods) result.figures.extra['period switches'] = report.player.periods.length;
      if (encrypted && !report.mediaKeys) result.failures.push('the player set no MediaKeys: nothing was decrypted');
      more(result, session, report);
      return result;
    },
  };
}

// Wall-clock seconds a live check follows the live edge, and the first of
// them in which the player settles, not judged for stalls.
export const LiveSeconds = 30;
const LiveSettleSeconds = 5;

// Follows the live path at the live edge: the media plays on without a
// stall once settled; more(result, report) adds the check's own.
export function liveCheck(player, path, name, { options = {}, more = () => {} } = {}) {
  return {
    name,
    timeoutSeconds: 100,
    async run(session, environment) {
      const goal = { secondsAfterStart: LiveSeconds };
      const report = await playWithPlayer(session, environment, { player, path, options, goal, giveUpSeconds: 85 });
      const result = judgePlayback(report, Both, session.problems);
      result.failures.push(...stallFailures(report, LiveSettleSeconds), ...goalFailures(result.figures, { played: LiveSeconds - LiveSettleSeconds }));
      if (report.player.periods) result.figures.extra['period switches'] = report.player.periods.length;
      more(result, report);
      return result;
    },
  };
}

// That the media is encrypted at all is judged by test_conformance.py, which
// deciphers it with ffmpeg.
function encrypted(scheme) {
  const options = { clearKeys: { [KeyId]: Key.toLowerCase() } };
  return playbackCheck('Shaka', `master.m3u8?key=${Key}&scheme=${scheme}`, { played: HlsSeconds }, { options, encrypted: true });
}

// A DASH presentation that signals its protection ("cp"): the player gets no
// key, finds Clear Key and the licence address in the manifest and fetches
// the licence from the server. Codec: "&vp9" or "&av1", else H.264.
function licenceFromManifest(player, scheme, codec = '') {
  const path = `manifest.mpd?key=${Key}&cp${scheme === 'cbcs' ? '&scheme=cbcs' : ''}${codec}`;
  const more = (result, session) => {
    const licences = session.posts.filter((post) => new URL(post.url).pathname.endsWith('/clearkey'));
    result.figures.extra.licences = licences.map((post) => post.status).join(',') || 'none';
    if (!licences.some((post) => post.status === 200)) result.failures.push('no licence came from the address in the manifest');
  };
  return playbackCheck(player, path, { position: DashPosition }, { encrypted: true, more });
}

export function playbackChecks() {
  const checks = [];
  const hls = [
    ['master.m3u8?flac', Both],
    ['master.m3u8?noaudio', { video: true }],
    ['master.m3u8?novideo', { audio: true }],
  ];
  for (const player of ['hls.js', 'Shaka']) for (const [path, expect] of hls) checks.push(playbackCheck(player, path, { played: HlsSeconds }, { expect }));
  for (const player of ['dash.js', 'Shaka']) {
    checks.push(playbackCheck(player, 'manifest.mpd?trickplay', { position: DashPosition }), licenceFromManifest(player, 'cbcs'));
    for (const scheme of ['cenc', 'cbcs']) checks.push(licenceFromManifest(player, scheme, '&vp9'));
  }
  for (const scheme of ['cenc', 'cbcs']) checks.push(licenceFromManifest('Shaka', scheme, '&av1'));
  checks.push(encrypted('cbcs'));
  return checks;
}
