// SPDX-License-Identifier: GPL-2.0-or-later
// What mux.js's caption parser (the one video.js players use on fragmented
// MP4) reads out of H.264 video segments:
//
//   node caption_reader.mjs <initialisation segment> <media segment>...
//
// prints {"streams": [names], "captions": [{stream, start, end, text}]} with
// times in seconds, every segment parsed in order by one parser as a player
// would feed them.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const require = createRequire(fileURLToPath(new URL('../web/package.json', import.meta.url)));
const probe = require('mux.js/lib/mp4/probe');
const CaptionParser = require('mux.js/lib/mp4/caption-parser');

const [initialisation, ...segments] = process.argv.slice(2).map((path) => new Uint8Array(readFileSync(path)));
const trackIds = probe.videoTrackIds(initialisation);
const timescales = probe.timescale(initialisation);
const parser = new CaptionParser();
parser.init();
const streams = new Set();
const captions = [];
for (const segment of segments) {
  const parsed = parser.parse(segment, trackIds, timescales);
  if (!parsed)
    continue;
  Object.keys(parsed.captionStreams || {}).forEach((name) => streams.add(name));
  for (const caption of parsed.captions)
    captions.push({
      stream: caption.stream,
      start: caption.startTime,
      end: caption.endTime,
      text: caption.text !== undefined ? caption.text : (caption.content || []).map((piece) => piece.text).join('\n'),
    });
  // The parser hands back every caption it has parsed so far.
  parser.clearParsedCaptions();
}
process.stdout.write(JSON.stringify({ streams: [...streams], captions }) + '\n');
