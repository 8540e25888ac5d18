// SPDX-License-Identifier: GPL-2.0-or-later
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { findCrossedGaps, findRebuffering, findStalls, judgePlayback, startSample } from '../lib/Verdict.mjs';

// Samples every 0.1 s from (at, position) pairs; buffered defaults to one range.
function samples(points, buffered = [[0, 20]]) {
  return points.map(([at, position, extra = {}]) => ({ at, position, paused: false, seeking: false, ended: false, buffered, ...extra }));
}

function steady(from, to, startPosition = 0, step = 0.1) {
  const points = [];
  const count = Math.round((to - from) / step);
  for (let index = 0; index <= count; index++) points.push([from + index * step, startPosition + index * step]);
  return points;
}

function record(sampleList, extra = {}) {
  return {
    errors: [],
    samples: sampleList,
    waiting: [],
    played: [[0, sampleList[sampleList.length - 1].position]],
    quality: { decodedFrames: 100, droppedFrames: 0, audioBytes: 5000, width: 1280, height: 720 },
    ...extra,
  };
}

test('playback starts at the first forward move that is not a seek', () => {
  const list = samples([[0, 0], [0.1, 0], [0.2, 5, { seeking: true }], [0.3, 5], [0.4, 5.1]]);
  assert.equal(startSample(list).at, 0.3);
  assert.equal(startSample(samples([[0, 0], [0.1, 0]])), null);
});

test('a position standing still while playing is one stall with its whole length', () => {
  const points = [...steady(0, 2), ...steady(2.1, 4).map(([at]) => [at, 2]), ...steady(4.1, 5, 2.1)];
  const list = samples(points);
  const stalls = findStalls(list, startSample(list));
  assert.equal(stalls.length, 1);
  assert.ok(Math.abs(stalls[0].position - 2) < 1e-6);
  assert.ok(stalls[0].seconds > 1.9 && stalls[0].seconds < 2.2, `${stalls[0].seconds}`);
});

test('short hitches, pauses, seeks and the end are not stalls', () => {
  const hitch = [...steady(0, 1), [1.1, 1], [1.2, 1], [1.3, 1], ...steady(1.4, 3, 1.1)];
  const paused = [...steady(0, 1), ...steady(1.1, 4).map(([at]) => [at, 1, { paused: true }]), ...steady(4.1, 5, 1.1)];
  const ended = [...steady(0, 1), ...steady(1.1, 4).map(([at]) => [at, 1, { ended: true }])];
  const seeking = [...steady(0, 1), ...steady(1.1, 4).map(([at]) => [at, 1, { seeking: true }]), ...steady(4.1, 5, 1.1)];
  for (const points of [hitch, paused, ended, seeking]) {
    const list = samples(points);
    assert.deepEqual(findStalls(list, startSample(list)), []);
  }
});

test('a hole in the buffered media counts once playback has passed it', () => {
  const holed = [[0, 6], [6.5, 18]];
  // Stopped right at the hole: not crossed (yet).
  const beforeHole = samples(steady(0, 6), holed);
  assert.deepEqual(findCrossedGaps(beforeHole, startSample(beforeHole)), []);
  const jumped = samples([...steady(0, 6), ...steady(6.1, 8, 6.5)], holed);
  assert.deepEqual(findCrossedGaps(jumped, startSample(jumped)), [[6, 6.5]]);
});

test('a hole filled before playback reaches it, or before the start, is no crossed gap', () => {
  const filledLater = [...samples(steady(0, 2), [[0, 3], [6, 9]]), ...samples(steady(2.1, 8, 2.1), [[0, 9]])];
  assert.deepEqual(findCrossedGaps(filledLater, startSample(filledLater)), []);
  const liveStart = samples(steady(0, 3, 30), [[0, 3], [29, 40]]);
  assert.deepEqual(findCrossedGaps(liveStart, startSample(liveStart)), []);
});

test('waiting outside a seek after the start is rebuffering', () => {
  const list = samples(steady(0, 3));
  const start = startSample(list);
  const waiting = [{ at: 0, position: 0, seeking: false }, { at: 1, position: 1, seeking: true }, { at: 2, position: 2, seeking: false }];
  assert.deepEqual(findRebuffering(waiting, start), [waiting[2]]);
});

test('a clean record passes with its figures, a short wait for the decoder included', () => {
  const waiting = [{ at: 3, position: 3, seeking: false }];
  const { failures, figures } = judgePlayback(record(samples(steady(0, 10)), { waiting }), { video: true, audio: true });
  assert.deepEqual(failures, []);
  assert.deepEqual(figures.extra, { rebuffering: 1 });
  assert.equal(figures.start, 0);
  assert.ok(Math.abs(figures.played - 10) < 1e-6);
  assert.equal(figures.decodedFrames, 100);
});

test('a late start and stalls are figures, not failures', () => {
  const points = [...steady(0, 25).map(([at]) => [at, 0]), ...steady(25.1, 27, 0.1), ...steady(27.1, 30).map(([at]) => [at, 2]), ...steady(30.1, 32, 2.1)];
  const { failures, figures } = judgePlayback(record(samples(points)), { video: true, audio: true });
  assert.deepEqual(failures, []);
  assert.ok(figures.start > 24.9);
  assert.match(figures.extra.stalls, /^\d\.\d s at 2\.00 s$/);
});

test('errors, page problems and missing tracks each fail', () => {
  const late = samples([...steady(0, 21).map(([at]) => [at, 0]), ...steady(21.1, 22, 0.1)]);
  const report = record(late, {
    errors: [{ at: 1, source: 'hls.js', detail: 'mediaError bufferAppendError' }],
    quality: { decodedFrames: 0, droppedFrames: 0, audioBytes: 0, width: 0, height: 0 },
  });
  const { failures } = judgePlayback(report, { video: true, audio: true }, ['HTTP 400 for video-body.mp4']);
  assert.deepEqual(failures.slice(0, 2), ['hls.js: mediaError bufferAppendError', 'HTTP 400 for video-body.mp4']);
  assert.ok(failures.includes('no video frame decoded'));
  assert.ok(failures.includes('no audio decoded'));
  assert.ok(!judgePlayback(report, { audio: false, video: false }).failures.includes('no audio decoded'));
});

test('playback that never moves fails as not started', () => {
  const { failures } = judgePlayback(record(samples([[0, 0], [5, 0]])), {});
  assert.deepEqual(failures, ['playback never started']);
});
