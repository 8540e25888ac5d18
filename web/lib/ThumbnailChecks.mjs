// SPDX-License-Identifier: GPL-2.0-or-later
// The thumbnail checks: Shaka reads the thumbnails of `thumbs` from the HLS
// image playlist and from the DASH image sets, and for a position gives the
// tile of that time and the thumbnail's place in it; the tile loads as an
// image of the stated size. The default layout, 5x5 thumbnails of 256x144
// one every 2 s: the thumbnail of a position is the one of the last even
// second of media time before it. What the thumbnails show is the
// end-to-end tests' (tests/test_thumbs.py).
import { sleep, startPlayer } from './PlayerRun.mjs';
import { judgePlayback } from './Verdict.mjs';

const Both = { video: true, audio: true };
const PollMs = 250;
const GiveUpSeconds = 40;
// Some playback first: the player has loaded the presentation and shows it.
const PlayedSeconds = 2;
const Thumbnail = { width: 256, height: 144, imageWidth: 1280, imageHeight: 720, duration: 2 };

// Each position asked for and the thumbnail expected there. HLS: tile 0
// from media time 0. DASH: the period of the position, its image set on
// the media timeline (period 1 shows media time 7 s to 13 s from 6 s, period
// 2 media time 13 s to 19 s from 12 s, in their own box colours).
const Expected = {
  hls: [
    { at: 7.3, address: 'thumbs.jpg?asset=ASSET&index=0', startTime: 6, positionX: 768, positionY: 0 },
    { at: 15.5, address: 'thumbs.jpg?asset=ASSET&index=0', startTime: 14, positionX: 512, positionY: 144 },
  ],
  dash: [
    { at: 7.3, address: 'thumbs.jpg?asset=ASSET&period=1&color=1&baseIndex=1&index=1', startTime: 7, positionX: 1024, positionY: 0 },
    { at: 15.5, address: 'thumbs.jpg?asset=ASSET&period=2&color=2&baseIndex=1&index=1', startTime: 15, positionX: 768, positionY: 144 },
  ],
};

function thumbnailFailures(got, expected, asset) {
  const failures = [];
  if (!got) return [`no thumbnail at ${expected.at} s`];
  const want = { ...Thumbnail, ...expected, address: expected.address.replace('ASSET', asset), loadError: null };
  delete want.at;
  const seen = { ...got, address: got.uri.slice(got.uri.lastIndexOf('/') + 1) };
  for (const [name, value] of Object.entries(want))
    if (typeof value === 'number' ? Math.abs(seen[name] - value) > 1e-3 : seen[name] !== value)
      failures.push(`at ${expected.at} s ${name} is ${JSON.stringify(seen[name])}, not ${JSON.stringify(value)}`);
  return failures;
}

function thumbnailCheck(form, path) {
  return {
    name: `Shaka ${path} thumbnails`,
    timeoutSeconds: 60,
    async run(session, environment) {
      const page = await startPlayer(session, environment, 'Shaka', path, {});
      for (;;) {
        await sleep(PollMs);
        const state = await page.evaluate(() => ({ now: window.PlaybackProbe.current.now(), position: window.PlaybackProbe.current.element.currentTime, errors: window.PlaybackProbe.current.errors.length }));
        if (state.position >= PlayedSeconds || state.errors || session.problems.length || state.now > GiveUpSeconds) break;
      }
      const thumbnails = [];
      for (const expected of Expected[form]) thumbnails.push(await page.evaluate((seconds) => window.PlaybackProbe.current.thumbnailAt(seconds), expected.at));
      const report = await page.evaluate(() => {
        window.PlaybackProbe.current.stop();
        return window.PlaybackProbe.current.report();
      });
      const result = judgePlayback(report, Both, session.problems);
      // The asset the manifest made: the one its segments name.
      const segment = session.gets.map((address) => new URL(address)).find((url) => url.pathname.endsWith('/video-body.mp4'));
      const asset = segment ? segment.searchParams.get('asset') : '?';
      Expected[form].forEach((expected, index) => result.failures.push(...thumbnailFailures(thumbnails[index], expected, asset)));
      result.figures.extra.thumbnails = thumbnails.map((each) => (each ? `${each.positionX},${each.positionY}` : 'none')).join(' ');
      return result;
    },
  };
}

export function thumbnailChecks() {
  return [thumbnailCheck('hls', 'master.m3u8?thumbs'), thumbnailCheck('dash', 'manifest.mpd?thumbs')];
}
