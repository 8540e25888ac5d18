// SPDX-License-Identifier: GPL-2.0-or-later
// What two HLS playlist readers written by others make of a playlist:
// hls-parser in strict mode (it refuses what RFC 8216 does not allow) and
// m3u8-parser (the reader of video.js, which reports what it tolerates as
// warnings). Both views are reduced to the same plain form:
//
//   node playlist_readers.mjs <playlist file>
//
// prints {"hlsParser": View, "m3u8Parser": View, "errors": [text], "warnings": [text]},
// where a master playlist's View is
//   { variants: [{ uri, bandwidth, resolution, frameRate, codecs, audio, videoRange }],
//     iFrames: [{ uri, bandwidth, resolution, codecs, videoRange }],
//     renditions: [{ uri, channels, language, name, isDefault, autoselect, characteristics }] }
// and a media playlist's View is
//   { targetDuration, mediaSequence, endList, map, iFramesOnly,
//     segments: [{ uri, duration }] }, a segment marked missing (EXT-X-GAP) with gap: true.
// m3u8-parser reports no CHANNELS. With content steering m3u8-parser's View
// of a master playlist has steering: { serverUri, pathwayId, pathways } too,
// pathways the PATHWAY-ID of each variant in order. What the key tags say is judged by the
// playlist writer's unit tests; here they must only be read without a complaint.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const require = createRequire(fileURLToPath(new URL('../web/package.json', import.meta.url)));
const HLS = require('hls-parser');
const { Parser } = require('m3u8-parser');

const orNull = (value) => (value === undefined ? null : value);

function hlsParserView(text) {
  HLS.setOptions({ strictMode: true });
  const playlist = HLS.parse(text);
  if (playlist.isMasterPlaylist) {
    const renditions = new Map();
    for (const variant of playlist.variants)
      for (const rendition of variant.audio) renditions.set(rendition.uri, {
          uri: rendition.uri, channels: orNull(rendition.channels), language: rendition.language, name: rendition.name,
          isDefault: rendition.isDefault, autoselect: rendition.autoselect, characteristics: orNull(rendition.characteristics),
        });
    const iFrames = playlist.variants.filter((variant) => variant.isIFrameOnly);
    return {
      iFrames: iFrames.map((variant) => ({
        uri: variant.uri,
        bandwidth: variant.bandwidth,
        resolution: variant.resolution ? [variant.resolution.width, variant.resolution.height] : null,
        codecs: orNull(variant.codecs),
        videoRange: orNull(variant.videoRange),
      })),
      variants: playlist.variants.filter((variant) => !variant.isIFrameOnly).map((variant) => ({
        uri: variant.uri,
        bandwidth: variant.bandwidth,
        resolution: variant.resolution ? [variant.resolution.width, variant.resolution.height] : null,
        frameRate: orNull(variant.frameRate),
        codecs: orNull(variant.codecs),
        audio: variant.audio.length ? variant.audio[0].groupId : null,
        videoRange: orNull(variant.videoRange),
      })),
      renditions: [...renditions.values()],
    };
  }
  return {
    targetDuration: playlist.targetDuration,
    mediaSequence: playlist.mediaSequenceBase ?? 0,
    endList: playlist.endlist,
    map: playlist.segments.length && playlist.segments[0].map ? playlist.segments[0].map.uri : null,
    iFramesOnly: Boolean(playlist.isIFrame),
    segments: playlist.segments.map((segment) => ({ uri: segment.uri, duration: segment.duration, ...(segment.gap ? { gap: true } : {}) })),
  };
}

function m3u8ParserView(text, warnings) {
  const parser = new Parser();
  parser.on('warn', (event) => warnings.push(event.message));
  // m3u8-parser has no model of EXT-X-GAP; its custom-tag hook puts it on the segment.
  parser.addParser({ expression: /^#EXT-X-GAP$/, customType: 'gap', dataParser: () => true, segment: true });
  parser.push(text);
  parser.end();
  const manifest = parser.manifest;
  if (manifest.playlists) {
    const groups = (manifest.mediaGroups && manifest.mediaGroups.AUDIO) || {};
    const renditions = Object.values(groups).flatMap((group) =>
      Object.entries(group).map(([name, rendition]) => ({
        uri: rendition.uri, language: rendition.language, name,
        isDefault: rendition.default, autoselect: rendition.autoselect, characteristics: orNull(rendition.characteristics),
      })),
    );
    const view = {
      iFrames: (manifest.iFramePlaylists || []).map((variant) => ({
        uri: variant.uri,
        bandwidth: variant.attributes.BANDWIDTH,
        resolution: variant.attributes.RESOLUTION ? [variant.attributes.RESOLUTION.width, variant.attributes.RESOLUTION.height] : null,
        codecs: orNull(variant.attributes.CODECS),
        videoRange: orNull(variant.attributes['VIDEO-RANGE']),
      })),
      variants: manifest.playlists.map((variant) => ({
        uri: variant.uri,
        bandwidth: variant.attributes.BANDWIDTH,
        resolution: variant.attributes.RESOLUTION ? [variant.attributes.RESOLUTION.width, variant.attributes.RESOLUTION.height] : null,
        frameRate: orNull(variant.attributes['FRAME-RATE']),
        codecs: orNull(variant.attributes.CODECS),
        audio: orNull(variant.attributes.AUDIO),
        videoRange: orNull(variant.attributes['VIDEO-RANGE']),
      })),
      renditions,
    };
    // hls-parser 0.16 reads neither the steering tag nor PATHWAY-ID.
    if (manifest.contentSteering)
      view.steering = { ...manifest.contentSteering, pathways: manifest.playlists.map((variant) => orNull(variant.attributes['PATHWAY-ID'])) };
    return view;
  }
  return {
    targetDuration: manifest.targetDuration,
    mediaSequence: manifest.mediaSequence ?? 0,
    endList: Boolean(manifest.endList),
    map: manifest.segments.length && manifest.segments[0].map ? manifest.segments[0].map.uri : null,
    iFramesOnly: Boolean(manifest.iFramesOnly),
    segments: manifest.segments.map((segment) => ({ uri: segment.uri, duration: segment.duration, ...(segment.custom && segment.custom.gap ? { gap: true } : {}) })),
  };
}

const text = readFileSync(process.argv[2], 'utf8');
const result = { errors: [], warnings: [] };
try {
  result.hlsParser = hlsParserView(text);
} catch (error) {
  result.errors.push(`hls-parser: ${error.message}`);
}
try {
  result.m3u8Parser = m3u8ParserView(text, result.warnings);
} catch (error) {
  result.errors.push(`m3u8-parser: ${error.message}`);
}
process.stdout.write(JSON.stringify(result));
