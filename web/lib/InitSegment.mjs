// SPDX-License-Identifier: GPL-2.0-or-later
// Reads the protection signalling of an initialisation segment: for each
// protected sample entry the scheme (schm) and the default key ID (tenc).
// Written from the box layout of ISO/IEC 14496-12 and 23001-7, independently
// of the server's writer, so a player check can take the key ID from what
// the server really sent.

// Boxes whose content is nothing but boxes.
const Containers = new Set(['moov', 'trak', 'mdia', 'minf', 'stbl', 'sinf', 'schi']);
// Sample entries: bytes of fixed fields before their child boxes.
const SampleEntryFields = { encv: 78, enca: 28 };
// stsd: version and flags, then the entry count.
const SampleDescriptionFields = 8;

function* boxes(data, start, end) {
  let offset = start;
  while (offset + 8 <= end) {
    let size = data.readUInt32BE(offset);
    const type = data.toString('latin1', offset + 4, offset + 8);
    let header = 8;
    if (size === 1) {
      if (offset + 16 > end) throw new Error(`${type} box cut short at ${offset}`);
      size = Number(data.readBigUInt64BE(offset + 8));
      header = 16;
    } else if (size === 0) {
      size = end - offset;
    }
    if (size < header || offset + size > end) throw new Error(`${type} box of ${size} bytes at ${offset} overruns its parent`);
    yield { type, start: offset + header, end: offset + size };
    offset += size;
  }
  if (offset !== end) throw new Error(`${end - offset} stray bytes at ${offset}`);
}

function readTenc(data, box) {
  // version and flags (4), reserved (1), pattern or reserved (1), isProtected (1), IV size (1), KID (16)
  if (box.end - box.start < 24) throw new Error('tenc box too short');
  return {
    isProtected: data[box.start + 6],
    ivSize: data[box.start + 7],
    keyId: data.toString('hex', box.start + 8, box.start + 24).toUpperCase(),
  };
}

function walk(data, start, end, found, entry) {
  for (const box of boxes(data, start, end)) {
    if (Containers.has(box.type)) {
      walk(data, box.start, box.end, found, entry);
    } else if (box.type === 'stsd') {
      walk(data, box.start + SampleDescriptionFields, box.end, found, entry);
    } else if (box.type in SampleEntryFields) {
      const protectedEntry = { entry: box.type };
      found.push(protectedEntry);
      walk(data, box.start + SampleEntryFields[box.type], box.end, found, protectedEntry);
    } else if (box.type === 'schm' && entry) {
      entry.scheme = data.toString('latin1', box.start + 4, box.start + 8);
    } else if (box.type === 'tenc' && entry) {
      Object.assign(entry, readTenc(data, box));
    }
  }
}

// [{ entry: 'encv' | 'enca', scheme, keyId, isProtected, ivSize }] for every
// protected sample entry; empty for a clear segment.
export function protectionOf(data) {
  const found = [];
  walk(data, 0, data.length, found, null);
  return found;
}
