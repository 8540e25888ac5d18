// SPDX-License-Identifier: GPL-2.0-or-later
// Plays one presentation with one player on the check page (or watches a
// media element another page plays) and returns the probe's record. The
// check's own deadline (run-tests.mjs) bounds everything.
import { Limits } from './Verdict.mjs';

const Libraries = { 'hls.js': '/lib/hls.js', 'dash.js': '/lib/dash.js', Shaka: '/lib/shaka.js' };
const PollMs = 250;
// Time left to the page after the first error, so that what follows from it is recorded too.
const ErrorGraceSeconds = 1;
// Watching ends by this time whatever happens, before the check's own
// deadline (at least 60 s), so that a check that fails still reports what
// it saw. A slow start or a stall is waited out until then.
export const GiveUpSeconds = 50;

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function reached(goal, state, startedAt) {
  if (goal.position !== undefined && state.position >= goal.position) return true;
  if (goal.played !== undefined && state.played >= goal.played) return true;
  if (goal.cues !== undefined && state.cues >= goal.cues) return true;
  if (goal.secondsAfterStart !== undefined && startedAt !== null && state.now - startedAt >= goal.secondsAfterStart) return true;
  return false;
}

// Polls the page's probe until the goal is reached, the media ends, an error
// shows or the give-up time has come; returns the probe's record.
// goal: { played } seconds of media, { position } to reach, or
// { secondsAfterStart } of wall-clock time, { cues } different cue texts
// shown; several may be given (first wins).
export async function watchPlayback(page, session, goal, giveUpSeconds = GiveUpSeconds) {
  let startedAt = null;
  let lastPosition = null;
  let errorSeenAt = null;
  for (;;) {
    await sleep(PollMs);
    const state = await page.evaluate(() => {
      const probe = window.PlaybackProbe.current;
      const element = probe.element;
      let played = 0;
      for (let index = 0; index < element.played.length; index++) played += element.played.end(index) - element.played.start(index);
      return { now: probe.now(), position: element.currentTime, ended: element.ended, errors: probe.errors.length, played, cues: probe.cueTexts.size };
    });
    if (lastPosition !== null && state.position > lastPosition + Limits.progressEpsilon && startedAt === null) startedAt = state.now;
    lastPosition = state.position;
    if (reached(goal, state, startedAt) || state.ended) break;
    if ((state.errors || session.problems.length) && errorSeenAt === null) errorSeenAt = state.now;
    if (errorSeenAt !== null && state.now - errorSeenAt >= ErrorGraceSeconds) break;
    if (state.now > giveUpSeconds) break;
  }
  return page.evaluate(() => {
    window.PlaybackProbe.current.stop();
    return window.PlaybackProbe.current.report();
  });
}

// The check page with the player started on path (relative to the server's location).
export async function startPlayer(session, environment, player, path, options = {}) {
  const page = await session.open(`${environment.pageOrigin}/player.html`);
  await page.addScriptTag({ url: Libraries[player] });
  const url = new URL(path, environment.location).href;
  await page.evaluate(([name, address, settings]) => window.startPlayer(name, address, settings), [player, url, options]);
  return page;
}

export async function playWithPlayer(session, environment, { player, path, options = {}, goal, giveUpSeconds = GiveUpSeconds }) {
  return watchPlayback(await startPlayer(session, environment, player, path, options), session, goal, giveUpSeconds);
}
