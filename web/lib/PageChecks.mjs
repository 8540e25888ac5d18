// SPDX-License-Identifier: GPL-2.0-or-later
// The checks of the server's own test pages: the audio page must make its
// whole file playable through Media Source Extensions (the video page is the
// same page for the video file), and the WebCodecs page must decode every
// frame it fetches.
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
  return watchPlayback(page, session, { position: seconds });
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

// The page decodes every frame it fetches and draws each, counting them in
// its status line; a decoder or fetch error reaches the console.
const webCodecsPage = {
  name: 'WebCodecs page webcodecs-videodecoder-A.html',
  timeoutSeconds: 90,
  async run(session, environment) {
    const started = Date.now();
    const page = await session.open(new URL('webcodecs-videodecoder-A.html', environment.location).href);
    const count = await page.evaluate(() => frameCount);
    const done = `Frame ${count} of ${count}`;
    let status = '';
    while (status !== done && !session.problems.length && Date.now() - started < WebCodecsLimitSeconds * 1000) {
      await sleep(PollMs);
      status = await page.textContent('#status');
    }
    const failures = [...session.problems];
    if (status !== done) failures.push(`the page shows "${status}", not "${done}"`);
    return { failures, figures: { extra: { status, seconds: ((Date.now() - started) / 1000).toFixed(2) } } };
  },
};

export function pageChecks() {
  return [audioPage(''), audioPage('?flac'), webCodecsPage];
}
