// SPDX-License-Identifier: GPL-2.0-or-later
// Prints the samples of fragmented MP4 files as JSON, as an independent
// reader (codem-isoboxer, installed in web/) sees them:
//   node fragment_samples.mjs <initialisation segment> <media segment>...
// For every media segment: its fragments (moof sequence number) and their
// samples with decode time, composition time (decode time plus the signed or
// unsigned offset of the trun version), duration, size and sync flag, in the
// track's timescale.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { isoboxerFragments } from './segment_readers.mjs';

const require = createRequire(fileURLToPath(new URL('../web/package.json', import.meta.url)));
const ISOBoxer = require('codem-isoboxer');

function parse(path) {
  const data = readFileSync(path);
  return ISOBoxer.parseBuffer(data.buffer.slice(data.byteOffset, data.byteOffset + data.byteLength));
}

const [initPath, ...segmentPaths] = process.argv.slice(2);
const init = parse(initPath);
const trex = init.fetch('trex');
const result = {
  timescale: init.fetch('mdhd').timescale,
  segments: segmentPaths.map((path) =>
    isoboxerFragments(readFileSync(path), trex).map(({ sequence, samples }) => ({
      sequence,
      samples: samples.map(([dts, cts, duration, size, sync]) => ({ dts, cts, duration, size, sync })),
    })),
  ),
};
process.stdout.write(JSON.stringify(result));
