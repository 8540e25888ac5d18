// SPDX-License-Identifier: GPL-2.0-or-later
// The checks of the server's own test pages: the audio page must make its
// whole file playable through Media Source Extensions, the WebCodecs page
// must decode every frame it fetches, and the video page must play.
import { fileURLToPath } from 'node:url';
import { sleep, watchPlayback } from './PlayerRun.mjs';
import { judgePlayback } from './Verdict.mjs';

const ProbeScript = fileURLToPath(new URL('../page/probe.js', import.meta.url));
const AudioReady = 'Audio is ready to play!';
const NotSupported = 'is not supported on this platform with MSE.';
// The audio file of a request without "duration".
const AudioFileSeconds = 18;
// Buffered media may end this much short of the file's length (the last audio frame).
const EndTolerance = 0.1;
const PagePlaySeconds = 3;
// Waits end a little before each check's deadline, so that a failing check
// still reports what it saw; until then a slow page is waited for.
const WebCodecsLimitSeconds = 80;
const AudioReadyLimitSeconds = 50;
const PollMs = 100;

// Plays the page's first element of the given kind, watched by the probe.
async function playElement(session, page, selector, seconds) {
  await page.addScriptTag({ path: ProbeScript });
  await page.evaluate((query) => {
    const element = document.querySelector(query);
    element.muted = true;
    const probe = new window.PlaybackProbe(element);
    element.play().catch((error) => probe.fail('play()', error.message));
  }, selector);
  return watchPlayback(page, session, { position: seconds, ended: true });
}

function audioPage(query) {
  return {
    name: `audio page audio.mp4.html${query}`,
    timeoutSeconds: 60,
    async run(session, environment) {
      const page = await session.open(new URL(`audio.mp4.html${query}`, environment.location).href);
      const ready = await session.consoleLine(AudioReady, AudioReadyLimitSeconds);
      const failures = [];
      const unsupported = session.console.find((line) => line.includes(NotSupported));
      if (unsupported) failures.push(unsupported);
      if (!ready) return { failures: [...failures, `no "${AudioReady}"`, ...session.problems], figures: { extra: { console: session.console.join(' | ').slice(0, 200) } } };
      const report = await playElement(session, page, 'audio', PagePlaySeconds);
      const result = judgePlayback(report, { audio: true }, session.problems);
      const buffered = result.figures.buffered;
      if (buffered.length !== 1 || buffered[0][0] > EndTolerance || buffered[0][1] < AudioFileSeconds - EndTolerance) result.failures.push(`the file did not buffer as one range of ${AudioFileSeconds} s`);
      result.failures.unshift(...failures);
      return result;
    },
  };
}

// Wraps the browser's VideoDecoder before the page runs, to count what the
// page decodes and what comes out, whatever the page itself shows.
function recordDecoder() {
  const Native = window.VideoDecoder;
  const record = { configured: [], decoded: 0, keyFirst: null, outputs: 0, errors: [], flushed: false, flushError: null, size: '' };
  window.decoderRecord = record;
  if (!Native) return;
  window.VideoDecoder = class extends Native {
    constructor(init) {
      super({
        output(frame) {
          record.outputs++;
          record.size = `${frame.displayWidth}x${frame.displayHeight}`;
          init.output(frame);
        },
        error(error) {
          record.errors.push(String((error && error.message) || error));
          init.error(error);
        },
      });
    }
    configure(config) {
      record.configured.push(config.codec);
      return super.configure(config);
    }
    decode(chunk) {
      if (record.decoded === 0) record.keyFirst = chunk.type === 'key';
      record.decoded++;
      return super.decode(chunk);
    }
    flush() {
      return super.flush().then(
        () => {
          record.flushed = true;
        },
        (error) => {
          record.flushError = String(error);
          throw error;
        },
      );
    }
  };
}

// Number of frames the server holds for the last WebCodecs page: the first
// index its frame endpoint refuses.
async function frameCountAround(environment, expected) {
  const status = async (index) => (await fetch(new URL(`webcodecs-videodecoder-A?frame=${index}`, environment.location))).status;
  return { lastServed: expected > 0 ? (await status(expected - 1)) === 200 : true, pastEndRefused: (await status(expected)) === 400 };
}

const webCodecsPage = {
  name: 'WebCodecs page webcodecs-videodecoder-A.html',
  timeoutSeconds: 90,
  async run(session, environment) {
    await session.context.addInitScript(recordDecoder);
    const started = Date.now();
    const page = await session.open(new URL('webcodecs-videodecoder-A.html', environment.location).href);
    let record;
    for (;;) {
      record = await page.evaluate(() => window.decoderRecord);
      if (record.flushed || record.flushError || record.errors.length || Date.now() - started > WebCodecsLimitSeconds * 1000) break;
      await sleep(PollMs);
    }
    const seconds = (Date.now() - started) / 1000;
    const failures = [...record.errors.map((error) => `decoder: ${error}`), ...session.problems];
    if (record.flushError) failures.push(`flush: ${record.flushError}`);
    if (!record.flushed && !failures.length) failures.push(`decoding not finished after ${WebCodecsLimitSeconds} s`);
    if (!record.configured.length) failures.push('the page configured no VideoDecoder');
    if (record.decoded === 0) failures.push('the page decoded no frame');
    else if (!record.keyFirst) failures.push('the first chunk is not a key chunk');
    if (record.outputs !== record.decoded) failures.push(`${record.outputs} frames out of ${record.decoded} chunks`);
    const frames = await frameCountAround(environment, record.decoded);
    if (!frames.lastServed || !frames.pastEndRefused) failures.push(`the page decoded ${record.decoded} frames but the server holds a different number`);
    return { failures, figures: { extra: { codec: record.configured.join(','), chunks: record.decoded, frames: record.outputs, size: record.size, seconds: seconds.toFixed(2) } } };
  },
};

const videoPage = {
  name: 'video page video.mp4.html',
  timeoutSeconds: 60,
  async run(session, environment) {
    const page = await session.open(new URL('video.mp4.html', environment.location).href);
    await page.waitForSelector('video', { timeout: 10000, state: 'attached' });
    const report = await playElement(session, page, 'video', PagePlaySeconds);
    const result = judgePlayback(report, { video: true }, session.problems);
    if (result.figures.position < PagePlaySeconds && !report.ended) result.failures.push(`stopped at ${result.figures.position.toFixed(2)} s`);
    return result;
  },
};

export function pageChecks() {
  return [audioPage(''), audioPage('?flac'), webCodecsPage, videoPage];
}
