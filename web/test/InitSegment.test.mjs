// SPDX-License-Identifier: GPL-2.0-or-later
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { protectionOf } from '../lib/InitSegment.mjs';

function box(type, ...parts) {
  const content = Buffer.concat(parts.map((part) => (Buffer.isBuffer(part) ? part : Buffer.from(part))));
  const header = Buffer.alloc(8);
  header.writeUInt32BE(8 + content.length);
  header.write(type, 4, 'latin1');
  return Buffer.concat([header, content]);
}

const KeyId = Buffer.from('A3F1C6D2847B4E09B5E2D7C8196F3A40', 'hex');

function tenc(ivSize) {
  return box('tenc', [0, 0, 0, 0], [0, 0x19, 1, ivSize], KeyId);
}

function sinf(scheme, ivSize) {
  return box('sinf', box('frma', 'avc1'), box('schm', [0, 0, 0, 0], scheme, [0, 1, 0, 0]), box('schi', tenc(ivSize)));
}

function track(entryType, fields, entryChildren) {
  const stsd = box('stsd', [0, 0, 0, 0, 0, 0, 0, 1], box(entryType, Buffer.alloc(fields), ...entryChildren));
  return box('trak', box('tkhd', Buffer.alloc(84)), box('mdia', box('mdhd', Buffer.alloc(24)), box('minf', box('stbl', stsd))));
}

function initSegment(...tracks) {
  return Buffer.concat([box('ftyp', 'iso6', [0, 0, 0, 0]), box('moov', box('mvhd', Buffer.alloc(100)), ...tracks)]);
}

test('protected video and audio entries give their scheme and key ID', () => {
  const segment = initSegment(
    track('encv', 78, [box('avcC', [1, 0x64, 0, 0x1f]), sinf('cbcs', 0)]),
    track('enca', 28, [box('esds', Buffer.alloc(30)), sinf('cbcs', 0)]),
  );
  assert.deepEqual(protectionOf(segment), [
    { entry: 'encv', scheme: 'cbcs', isProtected: 1, ivSize: 0, keyId: 'A3F1C6D2847B4E09B5E2D7C8196F3A40' },
    { entry: 'enca', scheme: 'cbcs', isProtected: 1, ivSize: 0, keyId: 'A3F1C6D2847B4E09B5E2D7C8196F3A40' },
  ]);
});

test('a clear segment has no protected entry', () => {
  assert.deepEqual(protectionOf(initSegment(track('avc1', 78, [box('avcC', [1, 0x64, 0, 0x1f])]))), []);
});

test('a box with a 64-bit size is read through', () => {
  const moov = box('moov', track('enca', 28, [sinf('cenc', 8)]));
  const large = Buffer.alloc(16);
  large.writeUInt32BE(1);
  large.write('moov', 4, 'latin1');
  large.writeBigUInt64BE(BigInt(moov.length + 8), 8);
  const [entry] = protectionOf(Buffer.concat([large, moov.subarray(8)]));
  assert.equal(entry.scheme, 'cenc');
  assert.equal(entry.ivSize, 8);
});

test('a box running past its parent or stray bytes are errors, not a clear verdict', () => {
  const segment = initSegment(track('encv', 78, [sinf('cenc', 8)]));
  assert.throws(() => protectionOf(segment.subarray(0, segment.length - 5)), /overruns/);
  assert.throws(() => protectionOf(Buffer.concat([segment, Buffer.from([0, 0, 0])])), /stray bytes/);
});
