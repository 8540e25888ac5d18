// SPDX-License-Identifier: GPL-2.0-or-later
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { latencyFigures } from '../lib/LowLatencyChecks.mjs';

test('latency is judged only after the settling seconds that follow the start', () => {
  // A high start (the player finds its way to the edge) does not count.
  const samples = [
    { at: 2, latency: 9 },
    { at: 6.9, latency: 8 },
    { at: 7, latency: 2 },
    { at: 8, latency: 3 },
    { at: 9, latency: 2.5 },
  ];
  assert.deepEqual(latencyFigures(samples, 2), { mean: 2.5, max: 3, last: 2.5, count: 3 });
});

test('no sample after settling gives no figure, so the check fails instead of passing', () => {
  assert.equal(latencyFigures([{ at: 1, latency: 1 }], 0), null);
  assert.equal(latencyFigures([], 0), null);
});
