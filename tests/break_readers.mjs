// SPDX-License-Identifier: GPL-2.0-or-later
// What readers written by others make of the ad-break signals:
//
//   node break_readers.mjs hls <playlist>
//     hls-parser (strict): { errors, segments: [{ uri, programDateTime,
//     dateRange: { id, classId, start, duration, plannedDuration, attributes }, markers }] }
//     (the reader keeps the last date range before a segment; SCTE35-* as hex)
//   node break_readers.mjs emsg <segment>...
//     codem-isoboxer (the parser inside dash.js) and mp4box: per segment
//     { types: [top-level boxes], events: [{ version, scheme, value, timescale,
//     presentationTime, duration, id, data (base64) }], mp4boxEvents }
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const require = createRequire(fileURLToPath(new URL('../web/package.json', import.meta.url)));
const HLS = require('hls-parser');
const ISOBoxer = require('codem-isoboxer');
const MP4Box = require('mp4box');

const hex = (bytes) => '0x' + Buffer.from(bytes).toString('hex').toUpperCase();

function hlsView(path) {
  HLS.setOptions({ strictMode: true });
  try {
    const playlist = HLS.parse(readFileSync(path, 'utf8'));
    return {
      errors: [],
      segments: playlist.segments.map((segment) => ({
        uri: segment.uri,
        programDateTime: segment.programDateTime ? segment.programDateTime.toISOString() : null,
        dateRange: segment.dateRange
          ? {
              id: segment.dateRange.id,
              classId: segment.dateRange.classId ?? null,
              start: segment.dateRange.start.toISOString(),
              duration: segment.dateRange.duration ?? null,
              plannedDuration: segment.dateRange.plannedDuration ?? null,
              attributes: Object.fromEntries(
                Object.entries(segment.dateRange.attributes).map(([name, value]) => [name, value instanceof Uint8Array ? hex(value) : value]),
              ),
            }
          : null,
        markers: segment.markers.map((marker) => ({ type: marker.type, duration: marker.duration ?? null, tag: marker.tagName ?? null, value: marker.value ?? null })),
      })),
    };
  } catch (error) {
    return { errors: [error.message], segments: [] };
  }
}

function emsgView(path) {
  const data = readFileSync(path);
  const buffer = data.buffer.slice(data.byteOffset, data.byteOffset + data.byteLength);
  const parsed = ISOBoxer.parseBuffer(buffer);
  const events = parsed.fetchAll('emsg').map((box) => ({
    version: box.version,
    scheme: box.scheme_id_uri,
    value: box.value,
    timescale: box.timescale,
    presentationTime: Number(box.presentation_time),
    duration: box.event_duration,
    id: box.id,
    data: Buffer.from(box.message_data).toString('base64'),
  }));
  const file = MP4Box.createFile();
  const copy = buffer.slice(0);
  copy.fileStart = 0;
  file.appendBuffer(copy);
  file.flush();
  return { types: parsed.boxes.map((box) => box.type), events, mp4boxEvents: (file.emsgs ?? file.boxes.filter((box) => box.type === 'emsg')).length };
}

const [mode, ...paths] = process.argv.slice(2);
if (mode === 'hls') console.log(JSON.stringify(hlsView(paths[0])));
else if (mode === 'emsg') console.log(JSON.stringify(paths.map(emsgView)));
else throw new Error(`unknown mode ${mode}`);
