// SPDX-License-Identifier: GPL-2.0-or-later
// Follows an HLS presentation from its master playlist to the
// initialisation segments of its first video variant and of its audio
// rendition, and reads their protection signalling, so that a check knows
// the key ID the server really put into the media.
import { createRequire } from 'node:module';
import { protectionOf } from './InitSegment.mjs';

const require = createRequire(import.meta.url);
const { Parser } = require('m3u8-parser');

async function fetchOk(url, kind) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`HTTP ${response.status} for ${url}: ${(await response.text()).slice(0, 200)}`);
  return kind === 'text' ? response.text() : Buffer.from(await response.arrayBuffer());
}

async function playlist(url) {
  const parser = new Parser();
  parser.push(await fetchOk(url, 'text'));
  parser.end();
  return parser.manifest;
}

async function initSegmentOf(mediaPlaylistUrl) {
  const media = await playlist(mediaPlaylistUrl);
  const map = media.segments.length && media.segments[0].map;
  if (!map) throw new Error(`no EXT-X-MAP in ${mediaPlaylistUrl}`);
  return fetchOk(new URL(map.uri, mediaPlaylistUrl).href, 'bytes');
}

// { video: [...], audio: [...] } as protectionOf() gives them, for the
// master playlist at masterUrl (a new asset of the server).
export async function protectionOfPresentation(masterUrl) {
  const master = await playlist(masterUrl);
  if (!master.playlists || !master.playlists.length) throw new Error(`no variant in ${masterUrl}`);
  const result = { video: protectionOf(await initSegmentOf(new URL(master.playlists[0].uri, masterUrl).href)) };
  const groups = (master.mediaGroups && master.mediaGroups.AUDIO) || {};
  const rendition = Object.values(groups).flatMap((group) => Object.values(group))[0];
  result.audio = rendition ? protectionOf(await initSegmentOf(new URL(rendition.uri, masterUrl).href)) : [];
  return result;
}
