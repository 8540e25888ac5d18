// SPDX-License-Identifier: GPL-2.0-or-later
// What two ISO BMFF readers written by others make of an initialisation
// segment and its media segments: mp4box (GPAC's JavaScript parser) and
// codem-isoboxer (the parser inside dash.js). Each reader's view is reduced
// to the same plain form, so that a test can require both to agree and to
// match what the server meant to write:
//
//   node segment_readers.mjs [--payloads] <initialisation segment> <media segment>...
//
// prints {"mp4box": View, "isoboxer": View}, where View is
//   { errors: [text], entry, timescale, scheme, tenc, pssh: [...],
//     audio: { config, editMediaTime, rollDistance },
//     segments: [{ sequences: [n], samples: [[dts, cts, duration, size, sync]],
//                  auxiliary: [{ saiz, saio, sencEntriesAt, senc }], rolls: [[count, index]] }] }
// (mp4box adds codecs, its codecs text for the sample entry, language, the
// media header's, avcExtension, the avcC bytes after the PPS list, and with
// --payloads every segment's payloads, the samples' bytes; both add vpcC, a
// VP9 entry's configuration: [profile, level, bit depth, chroma subsampling,
// full range, colour primaries, transfer, matrix]; hvcC, an HEVC entry's
// [profile space, tier, profile, level, chroma format, luma bit depth,
// chroma bit depth]; av1C, an AV1 entry's [profile, level, tier, high bit
// depth, twelve bit, monochrome, subsampling x, subsampling y]; and colour,
// the entry's colr [type, primaries, transfer, matrix, full range], mdcv
// [green x, y, blue x, y, red x, y, white x, y, maximal and minimal
// luminance] and clli [maximal content and frame average light level],
// each null where the entry has none).
// with times in the track's timescale and byte strings as lowercase hex.
// audio.config is the first box inside an audio sample entry ("dOps:<hex of
// its payload>"), editMediaTime the media time of the track's first edit,
// rollDistance that of the sample table's 'roll' group description, and
// rolls the sample counts and group indexes of each track fragment's 'roll'
// sample to group box (null without one); each null where there is none.
//
// Where a reader leaves a box's payload unread (mp4box: senc; codem-isoboxer:
// the children of sample entries, saiz, saio, senc, version 1 pssh), its own
// box framing delimits the bytes and the fields are read here as ISO/IEC
// 14496-12 and 23001-7 lay them out, in the same way for both readers.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const require = createRequire(fileURLToPath(new URL('../web/package.json', import.meta.url)));
const ISOBoxer = require('codem-isoboxer');
const MP4Box = require('mp4box');

// The first senc entry follows the box header, the full-box header and the
// sample count; saio points there, counted from the moof.
const SencEntriesOffset = 16;
// mp4box hands extracted samples over in batches of at most this many.
const MaximalSamplesPerCall = 1000;

const hex = (bytes) => Buffer.from(bytes).toString('hex');
const fourCc = (value) => String.fromCharCode((value >>> 24) & 0xff, (value >>> 16) & 0xff, (value >>> 8) & 0xff, value & 0xff);

function arrayBufferOf(data) {
  return data.buffer.slice(data.byteOffset, data.byteOffset + data.byteLength);
}

// ISO/IEC 23001-7 7.2: after the full-box header, the sample count, then per
// sample an IV of the track's size and, with flag 2, the subsample count and
// (clear bytes u16, protected bytes u32) pairs.
function readSencEntries(flags, bytes, perSampleIvSize) {
  const view = Buffer.from(bytes);
  const need = (offset, size) => {
    if (offset + size > view.length) throw new Error(`senc cut short: ${offset + size} bytes needed, ${view.length} there`);
  };
  need(0, 4);
  const count = view.readUInt32BE(0);
  let offset = 4;
  const entries = [];
  for (let index = 0; index < count; index++) {
    need(offset, perSampleIvSize);
    const iv = hex(view.subarray(offset, offset + perSampleIvSize));
    offset += perSampleIvSize;
    const subsamples = [];
    if (flags & 2) {
      need(offset, 2);
      const subsampleCount = view.readUInt16BE(offset);
      offset += 2;
      need(offset, 6 * subsampleCount);
      for (let part = 0; part < subsampleCount; part++, offset += 6) subsamples.push([view.readUInt16BE(offset), view.readUInt32BE(offset + 2)]);
    }
    entries.push([iv, subsamples]);
  }
  if (offset !== view.length) throw new Error(`senc holds ${view.length - offset} bytes beyond its ${count} entries`);
  return { flags, entries };
}

function sampleIsSync(flags) {
  return (flags & 0x10000) === 0;
}

// The boxes one after the other in bytes: [type, payload].
function boxesIn(bytes) {
  const view = Buffer.from(bytes);
  const boxes = [];
  for (let offset = 0; offset + 8 <= view.length; ) {
    const size = view.readUInt32BE(offset);
    if (size < 8 || offset + size > view.length) throw new Error(`a box runs past its container at ${offset}`);
    boxes.push([view.toString('latin1', offset + 4, offset + 8), view.subarray(offset + 8, offset + size)]);
    offset += size;
  }
  return boxes;
}

// ISO/IEC 14496-12 8.9.2 and 8.9.3: a sample to group box's entries, and a
// 'roll' description's one signed 16-bit distance.
function rollEntries(payload) {
  const view = Buffer.from(payload);
  if (view.toString('latin1', 4, 8) !== 'roll') return null;
  const entries = [];
  for (let index = 0, count = view.readUInt32BE(8); index < count; index++) entries.push([view.readUInt32BE(12 + 8 * index), view.readUInt32BE(16 + 8 * index)]);
  return entries;
}

// ---------------------------------------------------------------- mp4box

// samples: receives every sample of the first track, when given.
function mp4boxFile(buffers, samples) {
  const file = MP4Box.createFile();
  const errors = [];
  file.onError = (module, message) => errors.push(`${module}: ${message}`);
  if (samples) {
    file.onReady = (info) => {
      file.setExtractionOptions(info.tracks[0].id, null, { nbSamples: MaximalSamplesPerCall });
      file.start();
    };
    file.onSamples = (id, user, list) => samples.push(...list);
  }
  let position = 0;
  for (const data of buffers) {
    const buffer = arrayBufferOf(data);
    buffer.fileStart = position;
    position += buffer.byteLength;
    file.appendBuffer(buffer);
  }
  file.flush();
  return { file, errors };
}

function mp4boxView(init, segments, payloads) {
  const { file, errors } = mp4boxFile([init]);
  const trak = file.moov.traks[0];
  const entry = trak.mdia.minf.stbl.stsd.entries[0];
  const view = { errors, entry: entry.type, timescale: trak.mdia.mdhd.timescale, scheme: null, tenc: null, pssh: [], segments: [] };
  // Only mp4box reads these: the codecs text it derives from the sample
  // entry, and the bytes after the PPS list of an avcC.
  view.codecs = entry.getCodec();
  view.language = trak.mdia.mdhd.languageString;
  if (entry.avcC) view.avcExtension = hex(entry.avcC.ext || []);
  if (entry.hvcC) {
    const h = entry.hvcC;
    view.hvcC = [h.general_profile_space, h.general_tier_flag, h.general_profile_idc, h.general_level_idc, h.chroma_format_idc, h.bit_depth_luma_minus8 + 8,
      h.bit_depth_chroma_minus8 + 8];
  }
  if (entry.av1C) {
    const a = entry.av1C;
    view.av1C = [a.seq_profile, a.seq_level_idx_0, a.seq_tier_0, a.high_bitdepth, a.twelve_bit, a.monochrome, a.chroma_subsampling_x, a.chroma_subsampling_y];
  }
  const colr = entry.colrs ? entry.colrs[0] : entry.colr;
  view.colour = {
    colr: colr ? [colr.colour_type, colr.colour_primaries, colr.transfer_characteristics, colr.matrix_coefficients, colr.full_range_flag] : null,
    mdcv: entry.mdcv
      ? [...entry.mdcv.display_primaries.flatMap((point) => [point.x, point.y]), entry.mdcv.white_point.x, entry.mdcv.white_point.y,
        entry.mdcv.max_display_mastering_luminance, entry.mdcv.min_display_mastering_luminance]
      : null,
    clli: entry.clli ? [entry.clli.max_content_light_level, entry.clli.max_pic_average_light_level] : null,
  };
  const vpcC = entry.vpcC;
  if (vpcC) {
    view.vpcC = [vpcC.profile, vpcC.level, vpcC.bitDepth, vpcC.chromaSubsampling, vpcC.videoFullRangeFlag, vpcC.colourPrimaries, vpcC.transferCharacteristics,
      vpcC.matrixCoefficients];
  }
  const sinf = entry.sinf || (entry.sinfs && entry.sinfs[0]);
  if (sinf) {
    view.scheme = sinf.schm.scheme_type;
    const tenc = sinf.schi.tenc;
    view.tenc = {
      isProtected: tenc.default_isProtected,
      perSampleIvSize: tenc.default_Per_Sample_IV_Size,
      pattern: [tenc.default_crypt_byte_block || 0, tenc.default_skip_byte_block || 0],
      kid: tenc.default_KID,
      constantIv: tenc.default_constant_IV ? hex(tenc.default_constant_IV) : '',
    };
  }
  view.pssh = (file.moov.psshs || []).map((box) => ({ version: box.version, systemId: box.system_id, kids: box.kid, data: hex(box.protection_data || []) }));
  view.audio = mp4boxAudio(init, trak, entry);
  for (const segment of segments) {
    const samples = [];
    const parsed = mp4boxFile([init, segment], samples);
    errors.push(...parsed.errors);
    const auxiliary = parsed.file.moofs.map((moof) => {
      const boxes = moof.trafs[0].boxes;
      const saiz = boxes.find((box) => box.type === 'saiz');
      const saio = boxes.find((box) => box.type === 'saio');
      const senc = boxes.find((box) => box.type === 'senc');
      return {
        saiz: saiz ? [saiz.default_sample_info_size, saiz.sample_count, saiz.sample_info_size] : null,
        saio: saio ? saio.offset.map(Number) : null,
        sencEntriesAt: senc ? senc.start - moof.start + SencEntriesOffset : null,
        // mp4box reads the full-box header and keeps the rest as data.
        senc: senc ? readSencEntries(senc.flags, senc.data, view.tenc ? view.tenc.perSampleIvSize : 0) : null,
      };
    });
    view.segments.push({
      sequences: parsed.file.moofs.map((moof) => moof.mfhd.sequence_number),
      samples: samples.map((sample) => [sample.dts, sample.cts, sample.duration, sample.size, Boolean(sample.is_sync)]),
      auxiliary,
      rolls: parsed.file.moofs.map((moof) => {
        const sbgp = (moof.trafs[0].sbgps || []).find((box) => box.grouping_type === 'roll');
        return sbgp ? sbgp.entries.map((entry) => [entry.sample_count, entry.group_description_index]) : null;
      }),
      ...(payloads ? { payloads: samples.map((sample) => hex(sample.data)) } : {}),
    });
  }
  return view;
}

function mp4boxAudio(init, trak, entry) {
  if (trak.mdia.hdlr.handler !== 'soun') return null;
  const child = (entry.boxes || [])[0];
  const edit = trak.edts && trak.edts.elst ? trak.edts.elst.entries[0] : null;
  const roll = (trak.mdia.minf.stbl.sgpds || []).find((box) => box.grouping_type === 'roll');
  return {
    config: child ? `${child.type}:${hex(init.subarray(child.start + child.hdr_size, child.start + child.size))}` : null,
    editMediaTime: edit ? Number(edit.media_time) : null,
    rollDistance: roll ? roll.entries[0].roll_distance : null,
  };
}

// -------------------------------------------------------- codem-isoboxer

// Boxes codem-isoboxer 0.3.10 leaves unread, read with its own field
// readers. Its pssh reader knows only version 0 (ISO/IEC 23001-7 8.1 adds
// the key ID list of version 1).
ISOBoxer.addBoxProcessor('saiz', function saiz() {
  this._procFullBox();
  if (this.flags & 1) {
    this._procField('aux_info_type', 'uint', 32);
    this._procField('aux_info_type_parameter', 'uint', 32);
  }
  this._procField('default_sample_info_size', 'uint', 8);
  this._procField('sample_count', 'uint', 32);
  if (this.default_sample_info_size === 0) this._procFieldArray('sample_info_size', this.sample_count, 'uint', 8);
});
ISOBoxer.addBoxProcessor('saio', function saio() {
  this._procFullBox();
  if (this.flags & 1) {
    this._procField('aux_info_type', 'uint', 32);
    this._procField('aux_info_type_parameter', 'uint', 32);
  }
  this._procField('entry_count', 'uint', 32);
  this._procFieldArray('offset', this.entry_count, 'uint', this.version === 1 ? 64 : 32);
});
ISOBoxer.addBoxProcessor('pssh', function pssh() {
  this._procFullBox();
  this._procFieldArray('SystemID', 16, 'uint', 8);
  if (this.version > 0) {
    this._procField('KID_count', 'uint', 32);
    this._procEntries('KID', this.KID_count, function kid(entry) {
      this._procEntryField(entry, 'bytes', 'data', 16);
    });
  }
  this._procField('DataSize', 'uint', 32);
  this._procFieldArray('Data', this.DataSize, 'uint', 8);
});

// The audio sample entries it does not know, laid out as its mp4a
// (ISO/IEC 14496-12 12.2.3), the boxes inside kept as data.
for (const type of ['Opus', 'ac-3', 'ec-3']) {
  ISOBoxer.addBoxProcessor(type, function audioSampleEntry() {
    this._procFieldArray('reserved1', 6, 'uint', 8);
    this._procField('data_reference_index', 'uint', 16);
    this._procFieldArray('reserved2', 2, 'uint', 32);
    this._procField('channelcount', 'uint', 16);
    this._procField('samplesize', 'uint', 16);
    this._procField('pre_defined', 'uint', 16);
    this._procField('reserved3', 'uint', 16);
    this._procField('samplerate', 'template', 32);
    this._procField('esds', 'data', -1);
  });
}

function isoboxerParse(data) {
  return ISOBoxer.parseBuffer(arrayBufferOf(data));
}

function payloadOf(box, headerSize) {
  return new Uint8Array(box._raw.buffer, box._raw.byteOffset + headerSize, box._raw.byteLength - headerSize);
}

function incomplete(file, name) {
  return file._incomplete ? [`codem-isoboxer: ${name} is cut short`] : [];
}

// The fields of a visual sample entry before its boxes.
const VisualSampleEntryFieldsSize = 78;

// The boxes after a sample entry's fixed fields, which codem-isoboxer keeps
// as data; of a vp09 entry, which it does not know, the payload past them.
function entryChildren(entry) {
  let data = entry.type === 'encv' || entry.type === 'avc1' || entry.type === 'hvc1' ? entry.config : entry.esds;
  if (entry.type === 'vp09' || entry.type === 'av01') data = payloadOf(entry, 8).subarray(VisualSampleEntryFieldsSize);
  return data ? ISOBoxer.parseBuffer(arrayBufferOf(Buffer.from(data))) : null;
}

// A version 1 vpcC, which codem-isoboxer leaves unread.
function isoboxerVpcc(box) {
  const bytes = Buffer.from(payloadOf(box, 8));
  if (bytes[0] !== 1) throw new Error(`vpcC version ${bytes[0]}`);
  const packed = bytes[6];
  return [bytes[4], bytes[5], packed >> 4, (packed >> 1) & 7, packed & 1, bytes[7], bytes[8], bytes[9]];
}

// The colour boxes and the HEVC and AV1 configurations, which codem-isoboxer
// leaves unread: their fields as ISO/IEC 14496-12, 14496-15 and the AV1
// ISO BMFF binding lay them out.
function isoboxerColour(children) {
  const bytesOf = (type) => {
    const box = children && children.fetch(type);
    return box ? Buffer.from(payloadOf(box, 8)) : null;
  };
  const colr = bytesOf('colr');
  const mdcv = bytesOf('mdcv');
  const clli = bytesOf('clli');
  return {
    colr: colr ? [colr.toString('latin1', 0, 4), colr.readUInt16BE(4), colr.readUInt16BE(6), colr.readUInt16BE(8), colr[10] >> 7] : null,
    mdcv: mdcv ? [...Array.from({ length: 8 }, (_, index) => mdcv.readUInt16BE(2 * index)), mdcv.readUInt32BE(16), mdcv.readUInt32BE(20)] : null,
    clli: clli ? [clli.readUInt16BE(0), clli.readUInt16BE(2)] : null,
  };
}

function isoboxerHvcc(box) {
  const b = Buffer.from(payloadOf(box, 8));
  return [b[1] >> 6, (b[1] >> 5) & 1, b[1] & 31, b[12], b[16] & 3, (b[17] & 7) + 8, (b[18] & 7) + 8];
}

function isoboxerAv1c(box) {
  const b = Buffer.from(payloadOf(box, 8));
  return [b[1] >> 5, b[1] & 31, b[2] >> 7, (b[2] >> 6) & 1, (b[2] >> 5) & 1, (b[2] >> 4) & 1, (b[2] >> 3) & 1, (b[2] >> 2) & 1];
}

function isoboxerTenc(tenc) {
  // Its tenc reader takes reserved, pattern and isProtected as one 24-bit field.
  const packed = tenc.default_IsEncrypted;
  const result = {
    isProtected: packed & 0xff,
    perSampleIvSize: tenc.default_IV_size,
    pattern: tenc.version > 0 ? [(packed >> 12) & 0xf, (packed >> 8) & 0xf] : [0, 0],
    kid: hex(tenc.default_KID),
    constantIv: '',
  };
  if (result.isProtected === 1 && result.perSampleIvSize === 0) {
    const payload = payloadOf(tenc, 8);
    const size = payload[24];
    result.constantIv = hex(payload.subarray(25, 25 + size));
  }
  return result;
}

function isoboxerSamples(moof, trex) {
  const traf = moof.boxes.find((box) => box.type === 'traf');
  const tfhd = traf.boxes.find((box) => box.type === 'tfhd');
  let decodeTime = Number(traf.boxes.find((box) => box.type === 'tfdt').baseMediaDecodeTime);
  const samples = [];
  for (const trun of traf.boxes.filter((box) => box.type === 'trun')) {
    trun.samples.forEach((sample, index) => {
      const duration = sample.sample_duration ?? tfhd.default_sample_duration ?? trex.default_sample_duration;
      let flags = sample.sample_flags;
      if (flags === undefined) flags = index === 0 && trun.first_sample_flags !== undefined ? trun.first_sample_flags : tfhd.default_sample_flags ?? trex.default_sample_flags;
      const size = sample.sample_size ?? tfhd.default_sample_size ?? trex.default_sample_size;
      samples.push([decodeTime, decodeTime + (sample.sample_composition_time_offset ?? 0), duration, size, sampleIsSync(flags)]);
      decodeTime += duration;
    });
  }
  return { traf, samples };
}

function isoboxerView(init, segments) {
  const file = isoboxerParse(init);
  const errors = incomplete(file, 'the initialisation segment');
  const entry = file.fetch('stsd').entries[0];
  const trex = file.fetch('trex');
  const view = { errors, entry: entry.type, timescale: file.fetch('mdhd').timescale, scheme: null, tenc: null, pssh: [], segments: [] };
  const children = entryChildren(entry);
  const vpcC = children && children.fetch('vpcC');
  if (vpcC) view.vpcC = isoboxerVpcc(vpcC);
  const hvcC = children && children.fetch('hvcC');
  if (hvcC) view.hvcC = isoboxerHvcc(hvcC);
  const av1C = children && children.fetch('av1C');
  if (av1C) view.av1C = isoboxerAv1c(av1C);
  view.colour = isoboxerColour(children);
  const schm = children && children.fetch('schm');
  if (schm) {
    view.scheme = fourCc(schm.scheme_type);
    view.tenc = isoboxerTenc(children.fetch('tenc'));
  }
  view.pssh = file.fetchAll('pssh').map((box) => ({
    version: box.version,
    systemId: hex(box.SystemID),
    kids: (box.KID || []).map((kid) => hex(kid.bytes)),
    data: hex(box.Data),
  }));
  view.audio = isoboxerAudio(file, entry);
  for (const segment of segments) {
    const parsed = isoboxerParse(segment);
    errors.push(...incomplete(parsed, 'a media segment'));
    const result = { sequences: [], samples: [], auxiliary: [], rolls: [] };
    for (const moof of parsed.fetchAll('moof')) {
      result.sequences.push(moof.boxes.find((box) => box.type === 'mfhd').sequence_number);
      const { traf, samples } = isoboxerSamples(moof, trex);
      result.samples.push(...samples);
      const saiz = traf.boxes.find((box) => box.type === 'saiz');
      const saio = traf.boxes.find((box) => box.type === 'saio');
      const senc = traf.boxes.find((box) => box.type === 'senc');
      const rolls = traf.boxes.filter((box) => box.type === 'sbgp').map((box) => rollEntries(payloadOf(box, 8))).filter(Boolean);
      result.rolls.push(rolls.length ? rolls[0] : null);
      result.auxiliary.push({
        saiz: saiz ? [saiz.default_sample_info_size, saiz.sample_count, saiz.sample_info_size || []] : null,
        saio: saio ? saio.offset.map(Number) : null,
        sencEntriesAt: senc ? senc._offset - moof._offset + SencEntriesOffset : null,
        senc: senc ? readSencEntries(Buffer.from(payloadOf(senc, 8)).readUIntBE(1, 3), payloadOf(senc, 12), view.tenc ? view.tenc.perSampleIvSize : 0) : null,
      });
    }
    view.segments.push(result);
  }
  return view;
}

function isoboxerAudio(file, entry) {
  if (file.fetch('hdlr').handler_type !== 'soun') return null;
  const first = entry.esds ? boxesIn(entry.esds)[0] : null;
  const edit = file.fetch('elst');
  const roll = file.fetchAll('sgpd').map((box) => Buffer.from(payloadOf(box, 8))).find((payload) => payload.toString('latin1', 4, 8) === 'roll');
  return {
    config: first ? `${first[0]}:${hex(first[1])}` : null,
    editMediaTime: edit ? Number(edit.entries[0].media_time) : null,
    rollDistance: roll ? roll.readInt16BE(16) : null,
  };
}

function guarded(name, read) {
  try {
    return read();
  } catch (error) {
    return { errors: [`${name}: ${error.message}`] };
  }
}

const payloads = process.argv[2] === '--payloads';
const [init, ...segments] = process.argv.slice(payloads ? 3 : 2).map((path) => readFileSync(path));
process.stdout.write(JSON.stringify({ mp4box: guarded('mp4box', () => mp4boxView(init, segments, payloads)), isoboxer: guarded('codem-isoboxer', () => isoboxerView(init, segments)) }));
