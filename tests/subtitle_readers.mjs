// SPDX-License-Identifier: GPL-2.0-or-later
// What webvtt-parser (strict, each file as a file of its own) makes of
// WebVTT files (text in MP4 is segment_readers.mjs's):
//
//   node subtitle_readers.mjs vtt <file>...
//
// prints [{ errors: [text], cues: [{ id, start, end, text }] }] in seconds.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const require = createRequire(fileURLToPath(new URL('../web/package.json', import.meta.url)));
const { WebVTTParser } = require('webvtt-parser');

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

const paths = process.argv.slice(3);
process.stdout.write(JSON.stringify(vttViews(paths)));
