// SPDX-License-Identifier: GPL-2.0-or-later
// The audio codecs of "audio" as the players meet them in Chromium, which
// decodes Opus but not AC-3 or E-AC-3: hls.js, Shaka and dash.js play Opus,
// clear and (Shaka, with ClearKey) encrypted; offered E-AC-3 and AAC as
// alternatives, each chooses AAC, asks for no E-AC-3 segment and plays.
import { playbackCheck } from './PlaybackChecks.mjs';

const Key = '00112233445566778899AABBCCDDEEFF';
const KeyId = 'a3f1c6d2847b4e09b5e2d7c8196f3a40';
const HlsSeconds = 10;
// Past the second period boundary of the DASH presentation.
const DashPosition = 14;

// The codecs of the audio segments the player asked for ("audio=aac" in
// their addresses; none where the asset has one row only).
function audioCodecsAsked(session) {
  const codecs = new Set();
  for (const address of session.gets) {
    const url = new URL(address);
    if (url.pathname.endsWith('/audio-body.mp4')) codecs.add(url.searchParams.get('audio') || 'the one row');
  }
  return [...codecs].sort();
}

function audioCheck(player, path, goal, { options = {}, codecs = null, encrypted = false } = {}) {
  const more = (result, session) => {
    const asked = audioCodecsAsked(session);
    result.figures.extra['audio asked'] = asked.join(',') || 'none';
    if (codecs && asked.join(',') !== codecs.join(',')) result.failures.push(`asked for the audio of ${asked.join(', ') || 'no codec'}, not of ${codecs.join(', ')}`);
  };
  return playbackCheck(player, path, goal, { options, encrypted, more });
}

export function audioCodecChecks() {
  const hls = { played: HlsSeconds };
  const dash = { position: DashPosition };
  const checks = [];
  for (const player of ['hls.js', 'Shaka']) checks.push(audioCheck(player, 'master.m3u8?audio=opus', hls));
  for (const player of ['dash.js', 'Shaka']) checks.push(audioCheck(player, 'manifest.mpd?audio=opus', dash));
  for (const scheme of ['cenc', 'cbcs'])
    checks.push(audioCheck('Shaka', `master.m3u8?audio=opus&key=${Key}&scheme=${scheme}`, hls, { options: { clearKeys: { [KeyId]: Key.toLowerCase() } }, encrypted: true }));
  for (const player of ['hls.js', 'Shaka']) checks.push(audioCheck(player, 'master.m3u8?audio=ec3,aac', hls, { codecs: ['aac'] }));
  for (const player of ['dash.js', 'Shaka']) checks.push(audioCheck(player, 'manifest.mpd?audio=ec3,aac', dash, { codecs: ['aac'] }));
  return checks;
}
