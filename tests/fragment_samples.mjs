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

const require = createRequire(fileURLToPath(new URL('../web/package.json', import.meta.url)));
const ISOBoxer = require('codem-isoboxer');

function parse(path) {
  const data = readFileSync(path);
  return ISOBoxer.parseBuffer(data.buffer.slice(data.byteOffset, data.byteOffset + data.byteLength));
}

function sampleFlags(trun, tfhd, trex, sample, index) {
  if (sample.sample_flags !== undefined) return sample.sample_flags;
  if (index === 0 && trun.first_sample_flags !== undefined) return trun.first_sample_flags;
  if (tfhd.default_sample_flags !== undefined) return tfhd.default_sample_flags;
  return trex.default_sample_flags;
}

function readFragments(file, trex) {
  return file.fetchAll('moof').map((moof) => {
    const traf = moof.boxes.find((box) => box.type === 'traf');
    const tfhd = traf.boxes.find((box) => box.type === 'tfhd');
    let decodeTime = Number(traf.boxes.find((box) => box.type === 'tfdt').baseMediaDecodeTime);
    const samples = [];
    for (const trun of traf.boxes.filter((box) => box.type === 'trun')) {
      trun.samples.forEach((sample, index) => {
        const duration = sample.sample_duration ?? tfhd.default_sample_duration ?? trex.default_sample_duration;
        const flags = sampleFlags(trun, tfhd, trex, sample, index);
        samples.push({
          dts: decodeTime,
          cts: decodeTime + (sample.sample_composition_time_offset ?? 0),
          duration,
          size: sample.sample_size ?? tfhd.default_sample_size ?? trex.default_sample_size,
          sync: (flags & 0x10000) === 0,
        });
        decodeTime += duration;
      });
    }
    return { sequence: moof.boxes.find((box) => box.type === 'mfhd').sequence_number, samples };
  });
}

const [initPath, ...segmentPaths] = process.argv.slice(2);
const init = parse(initPath);
const trex = init.fetch('trex');
const result = {
  timescale: init.fetch('mdhd').timescale,
  segments: segmentPaths.map((path) => readFragments(parse(path), trex)),
};
process.stdout.write(JSON.stringify(result));
