// SPDX-License-Identifier: GPL-2.0-or-later
// The checks of changes mid-stream: the players play through them without
// standing still, and show what changed.
// - hls.js and Shaka (HLS), dash.js and Shaka (DASH) play across a restart
//   of the timeline that halves the picture, and back, on-demand; the
//   element's picture size follows;
// - hls.js and dash.js follow a live stream across restarts;
// - with rotating keys after a clear lead and an audio key, dash.js and
//   Shaka ask the licence route for every key ID and keep playing; Shaka
//   plays the HLS form, and the DASH form whose keys the fragments name
//   ("inband"), with the keys worked out as the README says. (Given init
//   data in the manifest, neither player asks for a key a 'pssh' in a
//   'moof' names, though Chromium reports each: with "inband&cp" they stop
//   at the first new key.)
// - hls.js and dash.js play across switches between H.264 and AV1, and
//   between H.264 and VP9, and back without standing still, having loaded
//   the other codec's media.
// The switch to HEVC is checked by ffprobe only: this Chromium decodes no HEVC.
import { createCipheriv } from 'node:crypto';
import { LiveSeconds, liveCheck, playbackCheck } from './PlaybackChecks.mjs';

const Key = '00112233445566778899AABBCCDDEEFF';
const AudioKey = '0F0E0D0C0B0A09080706050403020100';
const FirstKeyId = 'A3F1C6D2847B4E09B5E2D7C8196F3A40';
// A change every 12 s of 30; the pictures halve at 12 s and return at 24 s.
const Changes = 'duration=30&disc=12&sizeswitch=12';
const Goal = { position: 27 };
// The clear lead, and a new key every 12 s: epochs 0 (6-12 s), 1 and 2.
const Keys = `duration=30&key=${Key}&clearlead=6&rotate=12&audiokey=${AudioKey}`;
const KeyEpochs = 3;

// The key ID and key of an epoch, worked out as the README says.
function keyIdOf(epoch, audio) {
  const id = Buffer.from(FirstKeyId, 'hex');
  id.writeUInt32BE((id.readUInt32BE(12) + epoch) >>> 0, 12);
  if (audio) id[0] ^= 0xff;
  return id;
}
function keyOf(epoch, audio) {
  const base = Buffer.from(audio ? AudioKey : Key, 'hex');
  if (epoch === 0) return base;
  const cipher = createCipheriv('aes-128-ecb', base, null).setAutoPadding(false);
  return Buffer.concat([cipher.update(keyIdOf(epoch, audio)), cipher.final()]);
}
const base64Url = (bytes) => bytes.toString('base64').replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');

// The picture sizes the element showed, in the order they came.
function sizesShown(report) {
  const sizes = [];
  for (const sample of report.samples) if (sample.size !== '0x0' && sizes[sizes.length - 1] !== sample.size) sizes.push(sample.size);
  return sizes;
}

// Some size, then half of it, then again a size shown before the halving.
// A player may begin on another row before it settles, and may come back
// on another row than the one it halved on (Shaka once left the 1280x720
// row for the 960x540 one as the pictures returned).
function halvedAndBack(sizes) {
  return sizes.some((size, index) => {
    const [width, height] = size.split('x').map(Number);
    const half = sizes.indexOf(`${width / 2}x${height / 2}`, index + 1);
    return half > index && sizes.slice(half + 1).some((later) => sizes.slice(0, half).includes(later));
  });
}

function onDemandCheck(player, manifest, options = {}) {
  const path = `${manifest}?${Changes}`;
  const more = (result, session, report) => {
    const sizes = sizesShown(report);
    result.figures.extra.sizes = sizes.join(' ') || 'none';
    if (!halvedAndBack(sizes)) result.failures.push('the picture did not halve and return');
  };
  return playbackCheck(player, path, Goal, { name: `changes ${player} ${path} plays across the restarts and sizes`, timeoutSeconds: 70, options, stallBound: 0, more });
}

// A switch to the codec (av1, vp9) at 12 s and back at 24 s; that codec's
// initialisation segment is the one that serves from segment 4 on.
const OtherCodecPart = /\/video-header\.mp4\?.*&at=4$/;
function codecSwitchCheck(player, manifest, codec, options = {}) {
  const path = `${manifest}?duration=30&codecswitch=12:${codec}`;
  const more = (result, session) => {
    const loaded = session.gets.filter((url) => OtherCodecPart.test(url)).length;
    result.figures.extra[`${codec.toUpperCase()} part requests`] = loaded;
    if (!loaded) result.failures.push(`the ${codec.toUpperCase()} part was never loaded`);
  };
  const name = `changes ${player} ${path} plays across the switches to ${codec} and back`;
  return playbackCheck(player, path, Goal, { name, timeoutSeconds: 70, options, stallBound: 0, more });
}

// dash.js 5.2.1 asks for the licence of a period's key only as it enters
// the period, and waits for it there (1.1 s seen at the end of the clear
// lead); Shaka asks ahead and does not wait. dash.js is held to this bound.
const DashJsLicenceJoinSeconds = 2;

// DASH with "cp": the players take every key from the licence route.
function licenceCheck(player, stallBound = 0) {
  const path = `manifest.mpd?${Keys}&cp`;
  const more = (result, session) => {
    const asked = new Set();
    for (const post of session.posts.filter((post) => new URL(post.url).pathname.endsWith('/clearkey') && post.status === 200))
      for (const kid of JSON.parse(post.body || '{}').kids || []) asked.add(kid);
    result.figures.extra['key IDs asked'] = asked.size;
    for (const audio of [false, true])
      for (let epoch = 0; epoch < KeyEpochs; epoch++)
        if (!asked.has(base64Url(keyIdOf(epoch, audio)))) result.failures.push(`no licence asked for the ${audio ? 'audio' : 'video'} key of epoch ${epoch}`);
  };
  return playbackCheck(player, path, Goal, { name: `changes ${player} ${path} asks for every key`, timeoutSeconds: 70, stallBound, more });
}

// Shaka given every key the asset has: the HLS key tags, or DASH keys said
// in the fragments.
function givenKeysCheck(path) {
  const clearKeys = {};
  for (const audio of [false, true]) for (let epoch = 0; epoch < KeyEpochs; epoch++) clearKeys[keyIdOf(epoch, audio).toString('hex')] = keyOf(epoch, audio).toString('hex');
  const name = `changes Shaka ${path} plays the clear lead and every key given`;
  return playbackCheck('Shaka', path, Goal, { name, timeoutSeconds: 70, options: { clearKeys }, encrypted: true, stallBound: 0 });
}

export function changeChecks() {
  return [
    onDemandCheck('hls.js', 'master.m3u8', { topLevel: true }),
    onDemandCheck('Shaka', 'master.m3u8'),
    onDemandCheck('dash.js', 'manifest.mpd'),
    onDemandCheck('Shaka', 'manifest.mpd'),
    ...['av1', 'vp9'].flatMap((codec) => [codecSwitchCheck('hls.js', 'master.m3u8', codec, { topLevel: true }), codecSwitchCheck('dash.js', 'manifest.mpd', codec)]),
    ...['master.m3u8?live&disc=12&sizeswitch=12', 'manifest.mpd?live&ll&disc=12&sizeswitch=12'].map((path) => {
      const player = path.startsWith('master') ? 'hls.js' : 'dash.js';
      return liveCheck(player, path, `changes ${player} ${path} follows the live restarts for ${LiveSeconds} s`);
    }),
    licenceCheck('dash.js', DashJsLicenceJoinSeconds),
    licenceCheck('Shaka'),
    givenKeysCheck(`master.m3u8?${Keys}`),
    givenKeysCheck(`manifest.mpd?${Keys}&inband`),
  ];
}
