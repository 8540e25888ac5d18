// SPDX-License-Identifier: GPL-2.0-or-later
// What readers written by others make of the subtitle tracks:
//
//   node subtitle_readers.mjs vtt <file>...
//     webvtt-parser (strict, as a file of its own): prints
//     [{ errors: [text], cues: [{ id, start, end, text }] }] in seconds.
//   node subtitle_readers.mjs mp4 <initialisation segment> <media segment>...
//     mp4box (sample entry, time scale, samples with their data) and
//     codem-isoboxer (tfdt and trun of each segment): prints
//     { errors, entry, timescale, language, samples: [{ dts, duration, payload }],
//       fragments: [{ sequence, baseTime, durations }] }, where a wvtt
//     sample's payload is [{ cue: text, settings, id }] or "empty" (vtte) and
//     an stpp sample's is its document's text.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const require = createRequire(fileURLToPath(new URL('../web/package.json', import.meta.url)));
const { WebVTTParser } = require('webvtt-parser');
const ISOBoxer = require('codem-isoboxer');
const MP4Box = require('mp4box');

function arrayBufferOf(data) {
  return data.buffer.slice(data.byteOffset, data.byteOffset + data.byteLength);
}

function vttViews(paths) {
  const parser = new WebVTTParser();
  return paths.map((path) => {
    const tree = parser.parse(readFileSync(path, 'utf8'), 'subtitles');
    return {
      errors: tree.errors.map((error) => `${error.line}: ${error.message}`),
      cues: tree.cues.map((cue) => ({ id: cue.id, start: cue.startTime, end: cue.endTime, text: cue.text })),
    };
  });
}

// The boxes of one wvtt sample, as ISO/IEC 14496-30 lays them out.
function wvttPayload(bytes) {
  const cues = [];
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const text = (start, end) => new TextDecoder().decode(bytes.subarray(start, end));
  for (let offset = 0; offset + 8 <= bytes.length; ) {
    const size = view.getUint32(offset);
    const type = text(offset + 4, offset + 8);
    if (size < 8 || offset + size > bytes.length) throw new Error(`bad box ${type} of ${size} bytes`);
    if (type === 'vtte') return 'empty';
    if (type === 'vttc') {
      const cue = { cue: null, settings: null, id: null };
      for (let inner = offset + 8; inner + 8 <= offset + size; ) {
        const innerSize = view.getUint32(inner);
        const innerType = text(inner + 4, inner + 8);
        const value = text(inner + 8, inner + innerSize);
        if (innerType === 'payl') cue.cue = value;
        else if (innerType === 'sttg') cue.settings = value;
        else if (innerType === 'iden') cue.id = value;
        inner += innerSize;
      }
      cues.push(cue);
    }
    offset += size;
  }
  return cues;
}

function mp4View(paths) {
  const errors = [];
  const file = MP4Box.createFile();
  let info = null;
  const samples = [];
  file.onError = (error) => errors.push(String(error));
  file.onReady = (ready) => {
    info = ready;
    file.setExtractionOptions(ready.tracks[0].id, null, { nbSamples: 100000 });
    file.start();
  };
  file.onSamples = (id, user, batch) => {
    for (const sample of batch) samples.push(sample);
  };
  let position = 0;
  const fragments = [];
  for (const path of paths) {
    const data = readFileSync(path);
    const buffer = arrayBufferOf(data);
    buffer.fileStart = position;
    position += data.byteLength;
    file.appendBuffer(buffer);
    if (path !== paths[0]) {
      const parsed = ISOBoxer.parseBuffer(arrayBufferOf(data));
      for (const moof of parsed.fetchAll('moof')) {
        const traf = moof.boxes.find((box) => box.type === 'traf');
        const tfdt = traf.boxes.find((box) => box.type === 'tfdt');
        const trun = traf.boxes.find((box) => box.type === 'trun');
        fragments.push({
          sequence: moof.boxes.find((box) => box.type === 'mfhd').sequence_number,
          baseTime: Number(tfdt.baseMediaDecodeTime),
          durations: trun.samples.map((sample) => sample.sample_duration),
        });
      }
    }
  }
  file.flush();
  const track = info ? info.tracks[0] : null;
  const entry = track ? track.codec.split('.')[0] : null;
  return {
    errors,
    entry,
    codecs: track ? track.codec : null,
    timescale: track ? track.timescale : null,
    language: track ? track.language : null,
    samples: samples.map((sample) => ({
      dts: sample.dts,
      duration: sample.duration,
      payload: entry === 'wvtt' ? wvttPayload(sample.data) : new TextDecoder().decode(sample.data),
    })),
    fragments,
  };
}

const [mode, ...paths] = process.argv.slice(2);
process.stdout.write(JSON.stringify(mode === 'vtt' ? vttViews(paths) : mp4View(paths)));
