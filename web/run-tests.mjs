// SPDX-License-Identifier: GPL-2.0-or-later
// The browser suite: the players people use judge what the server makes.
// Starts `quorvel -Software` on a free loopback port and a small server for
// the check page and the player libraries on another, then runs every check
// in sequence, each in a fresh headless Chromium with its own deadline, and
// prints one PASS or FAIL line per check with its measured figures.
//
//   node run-tests.mjs                 every check
//   node run-tests.mjs --only WORDS    only the checks whose name contains WORDS
//
// The program is $QUORVEL_BINARY_DIR/bin/quorvel, else build/bin/quorvel.
// While the file "playback-checks-off" exists beside this one, no check
// runs; QUORVEL_PLAYBACK_CHECKS=1 runs them anyway, =0 skips them.
import { existsSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { audioCodecChecks } from './lib/AudioCodecChecks.mjs';
import { languageChecks } from './lib/LanguageChecks.mjs';
import { breakChecks } from './lib/BreakChecks.mjs';
import { changeChecks } from './lib/ChangeChecks.mjs';
import { BrowserSession, ChromiumBinary } from './lib/BrowserSession.mjs';
import { captionChecks } from './lib/CaptionChecks.mjs';
import { homePageChecks } from './lib/HomePageChecks.mjs';
import { iframeChecks } from './lib/IFrameChecks.mjs';
import { lowLatencyChecks } from './lib/LowLatencyChecks.mjs';
import { dynamicDashChecks } from './lib/DynamicDashChecks.mjs';
import { eventChecks } from './lib/EventChecks.mjs';
import { pageChecks } from './lib/PageChecks.mjs';
import { playbackChecks } from './lib/PlaybackChecks.mjs';
import { QuorvelProcess } from './lib/QuorvelProcess.mjs';
import { StaticServer } from './lib/StaticServer.mjs';
import { steeringChecks } from './lib/SteeringChecks.mjs';
import { subtitleChecks } from './lib/SubtitleChecks.mjs';
import { thumbnailChecks } from './lib/ThumbnailChecks.mjs';
import { figureText } from './lib/Verdict.mjs';

const Here = fileURLToPath(new URL('.', import.meta.url));
const OffMarker = Here + 'playback-checks-off';

function options(argv) {
  if (argv.length === 0) return { only: null };
  if (argv.length === 2 && argv[0] === '--only') return { only: argv[1] };
  throw new Error(`unknown arguments ${argv.join(' ')}`);
}

function checksWanted() {
  const setting = process.env.QUORVEL_PLAYBACK_CHECKS;
  if (setting === '1') return true;
  if (setting === '0') return false;
  return !existsSync(OffMarker);
}

// Runs one check in its own browser; the deadline closes the browser, which
// ends whatever the check still waits for.
async function runCheck(check, environment) {
  const session = new BrowserSession();
  let timer;
  try {
    await session.start();
    const deadline = new Promise((resolve) => {
      timer = setTimeout(() => resolve({ failures: [`no verdict within ${check.timeoutSeconds} s`], figures: {} }), check.timeoutSeconds * 1000);
    });
    return await Promise.race([check.run(session, environment), deadline]);
  } catch (error) {
    return { failures: [`${error.message.split('\n')[0]}`, ...session.problems], figures: {} };
  } finally {
    clearTimeout(timer);
    await session.close().catch(() => {});
  }
}

async function runChecks(checks) {
  const pages = await new StaticServer().start();
  const quorvel = new QuorvelProcess();
  let passed = 0;
  let failed = 0;
  try {
    const location = await quorvel.start();
    console.log(`Server ${location}, page ${pages.origin}, browser ${ChromiumBinary}`);
    const environment = { location, pageOrigin: pages.origin };
    for (const check of checks) {
      const began = Date.now();
      const result = await runCheck(check, environment);
      const seconds = ((Date.now() - began) / 1000).toFixed(1);
      const figures = figureText(result.figures);
      if (result.failures.length) {
        failed++;
        console.log(`FAIL ${check.name} (${seconds} s): ${result.failures.slice(0, 6).join('; ')}${figures ? ' | ' + figures : ''}`);
      } else {
        passed++;
        console.log(`PASS ${check.name} (${seconds} s): ${figures}`);
      }
    }
  } catch (error) {
    failed++;
    console.log(`FAIL start: ${error.message}`);
  } finally {
    const stopping = Date.now();
    const code = await quorvel.stop();
    console.log(`quorvel stopped in ${((Date.now() - stopping) / 1000).toFixed(1)} s with ${code}`);
    if (code !== 0) {
      failed++;
      console.log(`FAIL quorvel exited with ${code}: ${quorvel.errors.slice(-500)}`);
    }
    await pages.stop();
  }
  return { passed, failed };
}

async function main() {
  const settings = options(process.argv.slice(2));
  const checks = [...playbackChecks(), ...audioCodecChecks(), ...languageChecks(), ...lowLatencyChecks(), ...dynamicDashChecks(), ...eventChecks(), ...subtitleChecks(), ...captionChecks(), ...pageChecks(), ...homePageChecks(), ...breakChecks(), ...changeChecks(), ...thumbnailChecks(), ...iframeChecks(), ...steeringChecks()].filter((check) => !settings.only || check.name.includes(settings.only));
  if (!checksWanted() && !settings.only) {
    console.log(`Browser playback checks skipped: ${OffMarker} exists (QUORVEL_PLAYBACK_CHECKS=1 runs them).`);
    return 0;
  }
  if (!existsSync(ChromiumBinary)) {
    console.log(`FAIL browser: ${ChromiumBinary} not found (scripts/setup test installs it)`);
    return 1;
  }
  const began = Date.now();
  const { passed, failed } = await runChecks(checks);
  console.log(`Browser checks took ${((Date.now() - began) / 1000).toFixed(0)} s`);
  console.log(`${passed} passed, ${failed} failed`);
  return failed ? 1 : 0;
}

process.exitCode = await main();
