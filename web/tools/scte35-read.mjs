// SPDX-License-Identifier: GPL-2.0-or-later
// What an SCTE-35 reader makes of splice_info_sections, to compare with the
// schedule the server meant to signal:
//
//   node scte35-read.mjs SECTION...       (or the sections on standard input)
//
// A section is hexadecimal (with or without "0x", as HLS quotes it) or
// standard base64 (as DASH carries it). Prints a JSON array, one object per
// section:
//   { input, crc: {stored, computed, valid}, errors: [text],
//     table_id, section_syntax_indicator, private_indicator, sap_type,
//     section_length, protocol_version, encrypted_packet, encryption_algorithm,
//     pts_adjustment, cw_index, tier, splice_command_length, splice_command_type,
//     splice_command: {...}, descriptor_loop_length, descriptors: [{...}],
//     package: {agrees, differences: [text], messages: [text]} }
// with the field names of the SCTE-35 syntax tables, times in 90 kHz ticks
// and, beside each, the same in seconds (pts_time_seconds, ...).
// Exits with 1 when any section is malformed, fails its CRC or is read
// differently by the scte35 package.
//
// The scte35 package is the independent reader, but it reads
// only part of a section: it checks no CRC, stops descriptors after their
// identifier, and in splice_insert takes the splice_time from the start of the
// section instead of the command, so every splice_insert field after the
// flags comes out wrong. So the whole section is decoded here, straight from
// the syntax tables, and the package's view is compared field by field
// wherever it reads correctly.
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const PackageFolder = fileURLToPath(new URL('../node_modules/scte35/build/lib/', import.meta.url));

// The package ships ES module syntax in files that Node takes for CommonJS
// (its package.json has no "type"), so its two modules are loaded from
// their text, the relative import pointed at the loaded descriptors module.
async function loadPackage() {
  const Descriptors = `data:text/javascript,${encodeURIComponent(readFileSync(PackageFolder + 'descriptors.js', 'utf8'))}`;
  const Source = readFileSync(PackageFolder + 'scte35.js', 'utf8').replace('"./descriptors"', JSON.stringify(Descriptors));
  const Module = await import(`data:text/javascript,${encodeURIComponent(Source)}`);
  return Module.SCTE35;
}

// MPEG-2 CRC-32: polynomial 0x04C11DB7, initial value all ones, no
// reflection, no final inversion.
export function crc32(bytes) {
  let crc = 0xffffffff;
  for (const byte of bytes) {
    crc ^= byte << 24;
    for (let bit = 0; bit < 8; bit++) crc = crc & 0x80000000 ? (crc << 1) ^ 0x04c11db7 : crc << 1;
    crc >>>= 0;
  }
  return crc >>> 0;
}

export function toBytes(text) {
  const trimmed = text.trim();
  const hex = trimmed.replace(/^0x/i, '');
  if (/^0x/i.test(trimmed) || (/^[0-9a-f]+$/i.test(hex) && hex.length % 2 === 0)) {
    if (!/^[0-9a-f]*$/i.test(hex) || hex.length % 2) throw new Error('malformed hexadecimal');
    return Uint8Array.from(hex.match(/../g) || [], (pair) => parseInt(pair, 16));
  }
  if (!/^[A-Za-z0-9+/]*={0,2}$/.test(trimmed) || trimmed.length % 4) throw new Error('malformed base64');
  return new Uint8Array(Buffer.from(trimmed, 'base64'));
}

// Big-endian bit fields, up to 40 bits at a time (exact in a double).
class BitReader {
  constructor(bytes, start = 0, end = bytes.length) {
    this.bytes = bytes;
    this.position = start * 8;
    this.end = end * 8;
  }
  bits(count) {
    if (this.position + count > this.end) throw new Error(`field runs past its end at byte ${this.position >> 3}`);
    let value = 0;
    for (let index = 0; index < count; index++, this.position++)
      value = value * 2 + ((this.bytes[this.position >> 3] >> (7 - (this.position & 7))) & 1);
    return value;
  }
  flag() {
    return this.bits(1) === 1;
  }
  skip(count) {
    this.bits(count);
  }
  get byte() {
    return this.position >> 3;
  }
}

const seconds = (ticks) => ticks / 90000;

function spliceTime(reader) {
  const time = { time_specified_flag: reader.flag() };
  if (time.time_specified_flag) {
    reader.skip(6);
    time.pts_time = reader.bits(33);
    time.pts_time_seconds = seconds(time.pts_time);
  } else reader.skip(7);
  return time;
}

function breakDuration(reader) {
  const auto_return = reader.flag();
  reader.skip(6);
  const duration = reader.bits(33);
  return { auto_return, duration, duration_seconds: seconds(duration) };
}

function spliceInsert(reader) {
  const command = { splice_event_id: reader.bits(32), splice_event_cancel_indicator: reader.flag() };
  reader.skip(7);
  if (command.splice_event_cancel_indicator) return command;
  command.out_of_network_indicator = reader.flag();
  command.program_splice_flag = reader.flag();
  command.duration_flag = reader.flag();
  command.splice_immediate_flag = reader.flag();
  command.event_id_compliance_flag = reader.flag();
  reader.skip(3);
  if (command.program_splice_flag && !command.splice_immediate_flag) command.splice_time = spliceTime(reader);
  if (!command.program_splice_flag) {
    command.components = [];
    for (let count = reader.bits(8); count > 0; count--) {
      const component = { component_tag: reader.bits(8) };
      if (!command.splice_immediate_flag) component.splice_time = spliceTime(reader);
      command.components.push(component);
    }
  }
  if (command.duration_flag) command.break_duration = breakDuration(reader);
  command.unique_program_id = reader.bits(16);
  command.avail_num = reader.bits(8);
  command.avails_expected = reader.bits(8);
  return command;
}

// Segmentation types followed by sub_segment_num and sub_segments_expected.
const SubSegmentTypes = new Set([0x30, 0x32, 0x34, 0x36, 0x38, 0x3a, 0x44, 0x46]);

function segmentationDescriptor(reader, end) {
  const descriptor = { segmentation_event_id: reader.bits(32), segmentation_event_cancel_indicator: reader.flag() };
  descriptor.segmentation_event_id_compliance_indicator = reader.flag();
  reader.skip(6);
  if (descriptor.segmentation_event_cancel_indicator) return descriptor;
  descriptor.program_segmentation_flag = reader.flag();
  descriptor.segmentation_duration_flag = reader.flag();
  descriptor.delivery_not_restricted_flag = reader.flag();
  if (descriptor.delivery_not_restricted_flag) reader.skip(5);
  else {
    descriptor.web_delivery_allowed_flag = reader.flag();
    descriptor.no_regional_blackout_flag = reader.flag();
    descriptor.archive_allowed_flag = reader.flag();
    descriptor.device_restrictions = reader.bits(2);
  }
  if (!descriptor.program_segmentation_flag) {
    descriptor.components = [];
    for (let count = reader.bits(8); count > 0; count--) {
      const component_tag = reader.bits(8);
      reader.skip(7);
      descriptor.components.push({ component_tag, pts_offset: reader.bits(33) });
    }
  }
  if (descriptor.segmentation_duration_flag) {
    descriptor.segmentation_duration = reader.bits(40);
    descriptor.segmentation_duration_seconds = seconds(descriptor.segmentation_duration);
  }
  descriptor.segmentation_upid_type = reader.bits(8);
  const upidLength = reader.bits(8);
  descriptor.segmentation_upid = Buffer.from(reader.bytes.subarray(reader.byte, reader.byte + upidLength)).toString('hex');
  reader.skip(8 * upidLength);
  descriptor.segmentation_type_id = reader.bits(8);
  descriptor.segment_num = reader.bits(8);
  descriptor.segments_expected = reader.bits(8);
  // Optional in the syntax: present when the descriptor's length leaves room.
  if (SubSegmentTypes.has(descriptor.segmentation_type_id) && reader.byte + 2 <= end) {
    descriptor.sub_segment_num = reader.bits(8);
    descriptor.sub_segments_expected = reader.bits(8);
  }
  return descriptor;
}

function descriptorLoop(bytes, start, length, errors) {
  const descriptors = [];
  const reader = new BitReader(bytes, start, start + length);
  while (reader.byte < start + length) {
    const splice_descriptor_tag = reader.bits(8);
    const descriptor_length = reader.bits(8);
    const end = reader.byte + descriptor_length;
    const inner = new BitReader(bytes, reader.byte, end);
    const descriptor = { splice_descriptor_tag, descriptor_length };
    descriptor.identifier = String.fromCharCode(...bytes.subarray(inner.byte, inner.byte + 4));
    inner.skip(32);
    if (splice_descriptor_tag === 0x02) Object.assign(descriptor, segmentationDescriptor(inner, end));
    else descriptor.private_bytes = Buffer.from(bytes.subarray(inner.byte, end)).toString('hex');
    if (splice_descriptor_tag === 0x02 && inner.byte !== end)
      errors.push(`segmentation descriptor: ${end - inner.byte} bytes left over`);
    descriptors.push(descriptor);
    reader.skip(8 * descriptor_length);
  }
  return descriptors;
}

export function readSection(bytes) {
  const errors = [];
  const section = {};
  const reader = new BitReader(bytes);
  section.table_id = reader.bits(8);
  section.section_syntax_indicator = reader.flag();
  section.private_indicator = reader.flag();
  section.sap_type = reader.bits(2);
  section.section_length = reader.bits(12);
  if (section.section_length + 3 !== bytes.length)
    errors.push(`section_length ${section.section_length} for ${bytes.length} bytes`);
  section.protocol_version = reader.bits(8);
  section.encrypted_packet = reader.flag();
  section.encryption_algorithm = reader.bits(6);
  section.pts_adjustment = reader.bits(33);
  section.cw_index = reader.bits(8);
  section.tier = reader.bits(12);
  section.splice_command_length = reader.bits(12);
  section.splice_command_type = reader.bits(8);
  const commandStart = reader.byte;
  const commandEnd = commandStart + section.splice_command_length;
  const command = new BitReader(bytes, commandStart, commandEnd);
  if (section.splice_command_type === 0x05) section.splice_command = spliceInsert(command);
  else if (section.splice_command_type === 0x06) section.splice_command = spliceTime(command);
  else if (section.splice_command_type === 0x00) section.splice_command = {};
  else errors.push(`splice_command_type ${section.splice_command_type} is not read here`);
  if (section.splice_command && command.byte !== commandEnd)
    errors.push(`splice command: ${commandEnd - command.byte} bytes left over`);
  reader.skip(8 * section.splice_command_length);
  section.descriptor_loop_length = reader.bits(16);
  section.descriptors = descriptorLoop(bytes, reader.byte, section.descriptor_loop_length, errors);
  reader.skip(8 * section.descriptor_loop_length);
  // Alignment stuffing belongs to encrypted sections only.
  if (reader.byte !== bytes.length - 4) errors.push(`${bytes.length - 4 - reader.byte} bytes before the CRC`);
  const stored = ((bytes[bytes.length - 4] << 24) | (bytes[bytes.length - 3] << 16) | (bytes[bytes.length - 2] << 8) | bytes[bytes.length - 1]) >>> 0;
  const computed = crc32(bytes.subarray(0, bytes.length - 4));
  section.crc = { stored, computed, valid: stored === computed };
  if (!section.crc.valid) errors.push('CRC_32 does not match');
  section.errors = errors;
  return section;
}

// The package's view against the one above, on what the package reads right.
function comparePackage(SCTE35, bytes, section) {
  const messages = [];
  const original = console.error;
  console.error = (...parts) => messages.push(parts.join(' '));
  let view;
  try {
    view = SCTE35.parseFromHex(Buffer.from(bytes).toString('hex'));
  } catch (error) {
    return { agrees: false, differences: [`package failed: ${error.message}`], messages };
  } finally {
    console.error = original;
  }
  const pairs = [
    ['table_id', view.tableId, section.table_id],
    ['section_syntax_indicator', view.selectionSyntaxIndicator, section.section_syntax_indicator],
    ['private_indicator', view.privateIndicator, section.private_indicator],
    ['section_length', view.sectionLength, section.section_length],
    ['protocol_version', view.protocolVersion, section.protocol_version],
    ['encrypted_packet', view.encryptedPacket, section.encrypted_packet],
    ['encryption_algorithm', view.encryptedAlgorithm, section.encryption_algorithm],
    ['pts_adjustment', view.ptsAdjustment, section.pts_adjustment],
    ['cw_index', view.cwIndex, section.cw_index],
    ['tier', view.tier, section.tier],
    ['splice_command_length', view.spliceCommandLength, section.splice_command_length],
    ['splice_command_type', view.spliceCommandType, section.splice_command_type],
    ['descriptor_loop_length', view.descriptorLoopLength, section.descriptor_loop_length],
    ['CRC_32', view.crc, section.crc.stored],
  ];
  const command = section.splice_command || {};
  const theirs = view.spliceCommand || {};
  if (section.splice_command_type === 0x06)
    pairs.push(['time_specified_flag', theirs.specified, command.time_specified_flag], ['pts_time', theirs.pts, command.pts_time]);
  if (section.splice_command_type === 0x05) {
    pairs.push(
      ['splice_event_id', theirs.spliceEventId, command.splice_event_id],
      ['splice_event_cancel_indicator', theirs.spliceEventCancelIndicator, command.splice_event_cancel_indicator],
    );
    if (!command.splice_event_cancel_indicator)
      pairs.push(
        ['out_of_network_indicator', theirs.outOfNetworkIndicator, command.out_of_network_indicator],
        ['program_splice_flag', theirs.programSpliceFlag, command.program_splice_flag],
        ['duration_flag', theirs.durationFlag, command.duration_flag],
        ['splice_immediate_flag', theirs.spliceImmediateFlag, command.splice_immediate_flag],
      );
  }
  // The package reads the first descriptor's head only.
  const first = section.descriptors[0];
  const theirFirst = (view.descriptor || [])[0];
  if (first)
    pairs.push(
      ['splice_descriptor_tag', theirFirst?.spliceDescriptorTag, first.splice_descriptor_tag],
      ['descriptor_length', theirFirst?.descriptorLength, first.descriptor_length],
      ['identifier', theirFirst?.indentifier, first.identifier],
    );
  const differences = pairs.filter(([, a, b]) => a !== b).map(([name, a, b]) => `${name}: package ${a}, here ${b}`);
  return { agrees: differences.length === 0, differences, messages };
}

async function main() {
  let inputs = process.argv.slice(2);
  if (!inputs.length) inputs = readFileSync(0, 'utf8').split(/\s+/).filter(Boolean);
  const SCTE35 = await loadPackage();
  let failed = false;
  const results = inputs.map((input) => {
    let bytes;
    try {
      bytes = toBytes(input);
      if (bytes.length < 17) throw new Error(`${bytes.length} bytes are too few for a section`);
    } catch (error) {
      failed = true;
      return { input, errors: [error.message] };
    }
    let section;
    try {
      section = readSection(bytes);
    } catch (error) {
      failed = true;
      return { input, errors: [error.message] };
    }
    section.package = comparePackage(SCTE35, bytes, section);
    failed ||= section.errors.length > 0 || !section.package.agrees;
    return { input, ...section };
  });
  console.log(JSON.stringify(results, null, 2));
  process.exitCode = failed ? 1 : 0;
}

if (process.argv[1] === fileURLToPath(import.meta.url)) await main();
