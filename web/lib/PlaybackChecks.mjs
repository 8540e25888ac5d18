// SPDX-License-Identifier: GPL-2.0-or-later
// The checks that play the server's presentations with hls.js, dash.js and
// Shaka: HLS variants, the three-period DASH presentation with its
// trick-play set, cbcs assets, VP9 and AV1 under both schemes decrypted
// with ClearKey. The plain presentations play in the subtitle, break and change
// checks, cenc with its keys and licences in the change checks.
import { playWithPlayer } from './PlayerRun.mjs';
import { goalFailures, judgePlayback } from './Verdict.mjs';

const Both = { video: true, audio: true };
const Key = '00112233445566778899AABBCCDDEEFF';
// The server's one key ID: the player is told the key under it, so media
// that signals any other key ID does not decrypt.
const KeyId = 'a3f1c6d2847b4e09b5e2d7c8196f3a40';
// Media that every HLS check plays.
const HlsSeconds = 10;
// Past the second period boundary of the DASH presentation (periods start at 0, 6 and 12 s).
const DashPosition = 14;

function requirePlayed(result, goal) {
  result.failures.push(...goalFailures(result.figures, goal));
  return result;
}

function playback(player, path, goal, expect, timeoutSeconds = 60) {
  return {
    name: `${player} ${path}`,
    timeoutSeconds,
    async run(session, environment) {
      const report = await playWithPlayer(session, environment, { player, path, goal });
      const result = requirePlayed(judgePlayback(report, expect, session.problems), goal);
      if (report.player.periods) result.figures.extra['period switches'] = report.player.periods.length;
      return result;
    },
  };
}

// That the media is encrypted at all is judged by test_conformance.py, which
// deciphers it with ffmpeg.
function encrypted(scheme) {
  const query = `master.m3u8?key=${Key}&scheme=${scheme}`;
  return {
    name: `Shaka ${query}`,
    timeoutSeconds: 60,
    async run(session, environment) {
      const goal = { played: HlsSeconds };
      const options = { clearKeys: { [KeyId]: Key.toLowerCase() } };
      const report = await playWithPlayer(session, environment, { player: 'Shaka', path: query, options, goal });
      const result = judgePlayback(report, Both, session.problems);
      if (!report.mediaKeys) result.failures.push('the player set no MediaKeys: nothing was decrypted');
      return requirePlayed(result, goal);
    },
  };
}

// A DASH presentation that signals its protection ("cp"): the player gets no
// key, finds Clear Key and the licence address in the manifest and fetches
// the licence from the server. Codec: "&vp9" or "&av1", else H.264.
function licenceFromManifest(player, scheme, codec = '') {
  const path = `manifest.mpd?key=${Key}&cp${scheme === 'cbcs' ? '&scheme=cbcs' : ''}${codec}`;
  return {
    name: `${player} ${path}`,
    timeoutSeconds: 60,
    async run(session, environment) {
      const goal = { position: DashPosition };
      const report = await playWithPlayer(session, environment, { player, path, goal });
      const result = requirePlayed(judgePlayback(report, Both, session.problems), goal);
      const licences = session.posts.filter((post) => new URL(post.url).pathname.endsWith('/clearkey'));
      result.figures.extra.licences = licences.map((post) => post.status).join(',') || 'none';
      if (!report.mediaKeys) result.failures.push('the player set no MediaKeys: nothing was decrypted');
      if (!licences.some((post) => post.status === 200)) result.failures.push('no licence came from the address in the manifest');
      return result;
    },
  };
}

export function playbackChecks() {
  const checks = [];
  const hls = [
    ['master.m3u8?flac', Both],
    ['master.m3u8?noaudio', { video: true }],
    ['master.m3u8?novideo', { audio: true }],
  ];
  for (const player of ['hls.js', 'Shaka']) for (const [path, expect] of hls) checks.push(playback(player, path, { played: HlsSeconds }, expect));
  for (const player of ['dash.js', 'Shaka']) {
    checks.push(playback(player, 'manifest.mpd?trickplay', { position: DashPosition }, Both), licenceFromManifest(player, 'cbcs'));
    for (const scheme of ['cenc', 'cbcs']) checks.push(licenceFromManifest(player, scheme, '&vp9'));
  }
  for (const scheme of ['cenc', 'cbcs']) checks.push(licenceFromManifest('Shaka', scheme, '&av1'));
  checks.push(encrypted('cbcs'));
  return checks;
}
