// SPDX-License-Identifier: GPL-2.0-or-later
// Judges what the page probe recorded during one playback: the measured
// figures and the list of failures: pure functions over the record.

// How long things take is reported, never judged: on a busy machine a late
// start or a stall says more about the machine than about the server. What
// fails is what is wrong whenever it happens: errors, gaps played across,
// missing tracks, and media that never plays as far as the check asks.
export const Limits = {
  // Playback frozen this long while it should run counts as a stall in the
  // figures. A 'waiting' event alone is not one: Chromium also sends it while
  // its decoder catches up (or after a resolution switch), with media in the buffer.
  frozenSeconds: 1.0,
  // Position changes smaller than this are not progress (clock jitter).
  progressEpsilon: 0.001,
};

export function rangeText(ranges) {
  return ranges.length ? ranges.map(([start, end]) => `${start.toFixed(2)}-${end.toFixed(2)}`).join(',') : 'none';
}

// The first sample at which the position moved forward on its own: the
// moment playback really started (a 'playing' event alone may precede a stall).
export function startSample(samples) {
  for (let index = 1; index < samples.length; index++) {
    const previous = samples[index - 1];
    const sample = samples[index];
    if (!sample.seeking && !previous.seeking && sample.position > previous.position + Limits.progressEpsilon) return previous;
  }
  return null;
}

// Stretches after the start during which the element should have been
// playing (not paused, ended or seeking) but its position stood still.
export function findStalls(samples, start) {
  const stalls = [];
  let lastProgress = start;
  let reported = false;
  for (const sample of samples) {
    if (sample.at <= start.at) continue;
    if (sample.paused || sample.ended || sample.seeking || sample.position > lastProgress.position + Limits.progressEpsilon) {
      lastProgress = sample;
      reported = false;
      continue;
    }
    const frozen = sample.at - lastProgress.at;
    if (frozen > Limits.frozenSeconds && !reported) {
      stalls.push({ at: lastProgress.at, position: lastProgress.position, seconds: frozen });
      reported = true;
    } else if (reported) {
      stalls[stalls.length - 1].seconds = frozen;
    }
  }
  return stalls;
}

// Holes between buffered ranges that lie behind the position after playback
// passed them: the player jumped a gap (or played through missing media).
export function findCrossedGaps(samples, start) {
  const gaps = new Map();
  for (const sample of samples) {
    if (sample.at < start.at) continue;
    const ranges = sample.buffered;
    for (let index = 1; index < ranges.length; index++) {
      const gapStart = ranges[index - 1][1];
      const gapEnd = ranges[index][0];
      if (gapStart >= start.position - Limits.progressEpsilon && gapEnd <= sample.position) gaps.set(`${gapStart.toFixed(3)}-${gapEnd.toFixed(3)}`, [gapStart, gapEnd]);
    }
  }
  return [...gaps.values()];
}

export function playedSeconds(played) {
  return played.reduce((sum, [start, end]) => sum + (end - start), 0);
}

// The stalls after the first settle seconds of playback that froze it longer
// than bound, as failures.
export function stallFailures(report, settle = 0, bound = 0) {
  const start = startSample(report.samples);
  if (!start) return [];
  return findStalls(report.samples, start)
    .filter((stall) => stall.at - start.at > settle && stall.seconds > bound)
    .map((stall) => `stalled ${stall.seconds.toFixed(1)} s at ${stall.position.toFixed(2)} s`);
}

// What playback fell short of: the goal's seconds of media played, or its position.
export function goalFailures(figures, goal) {
  const failures = [];
  if (goal.played !== undefined && figures.played < goal.played - 0.1) failures.push(`played only ${figures.played.toFixed(1)} s of ${goal.played} s`);
  if (goal.position !== undefined && figures.position < goal.position) failures.push(`stopped at ${figures.position.toFixed(2)} s before ${goal.position} s`);
  return failures;
}

// expect: { video: bool, audio: bool } which tracks must decode.
export function judgePlayback(report, expect, problems = []) {
  const failures = [...report.errors.map((error) => `${error.source}: ${error.detail}`), ...problems];
  const quality = report.quality;
  const start = startSample(report.samples);
  const figures = {
    start: start ? start.at : null,
    played: playedSeconds(report.played),
    position: report.samples.length ? report.samples[report.samples.length - 1].position : 0,
    decodedFrames: quality.decodedFrames,
    droppedFrames: quality.droppedFrames,
    audioBytes: quality.audioBytes,
    size: `${quality.width}x${quality.height}`,
    buffered: report.samples.length ? report.samples[report.samples.length - 1].buffered : [],
    extra: {},
  };
  if (!start) failures.push('playback never started');
  if (start) {
    const stalls = findStalls(report.samples, start);
    if (stalls.length) figures.extra.stalls = stalls.map((stall) => `${stall.seconds.toFixed(1)} s at ${stall.position.toFixed(2)} s`).join(' ');
    for (const [gapStart, gapEnd] of findCrossedGaps(report.samples, start)) failures.push(`playback crossed a gap in the buffered media at ${gapStart.toFixed(3)}-${gapEnd.toFixed(3)} s`);
  }
  if (expect.video && !(quality.decodedFrames > 0)) failures.push('no video frame decoded');
  if (expect.audio && !(quality.audioBytes > 0)) failures.push('no audio decoded');
  return { failures, figures };
}

// One line of every figure, the check's own (extra) last.
export function figureText(figures) {
  const { extra = {}, buffered, ...main } = figures;
  return Object.entries({ ...main, buffered: buffered && rangeText(buffered), ...extra })
    .filter(([, value]) => value !== null && value !== undefined)
    .map(([name, value]) => `${name} ${typeof value === 'number' ? Number(value.toFixed(2)) : value}`)
    .join(', ');
}
