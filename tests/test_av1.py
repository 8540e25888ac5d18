# SPDX-License-Identifier: GPL-2.0-or-later
"""AV1 video ("av1", "codecswitch=S:av1") as others read it: ffprobe decodes
the segments (libdav1d, the decoder it picks for AV1 here) with the stated
size, frame count and key frames; mp4box and codem-isoboxer read the av01
entry and the sync samples; hls-parser and mpd-parser read the manifests;
GStreamer (libaom) plays every picture on the grid.
How av1C and the codecs text follow the sequence header is Mp4Av1Test's."""

import re
import unittest
from concurrent.futures import ThreadPoolExecutor

from media_client import MediaClient, gstreamer_times, playback_checks_wanted


class Av1Test(MediaClient, unittest.TestCase):
    def test_rows_decode_with_their_size_frames_and_key_frames(self):
        asset, master = self.asset("?av1&duration=12")
        variants = self.playlist_views(master)["hlsParser"]["variants"]
        dash = self.fetch("manifest.mpd?av1&duration=12").decode()
        dash_codecs = re.findall(r'<Representation id="\d+" bandwidth="\d+" codecs="(av01[^"]*)" width', dash)
        # The main row at 25 fps (a key frame every second) and the 1 fps
        # trick-play row of key frames only.
        for variant, size, frames, keys in ((0, (1280, 720), 75, [0, 25, 50]), (1, (960, 540), 3, [0, 1, 2])):
            with self.subTest(variant=variant):
                header, bodies = self.video(asset, variant, [1 if variant == 0 else 0])
                self.assertEqual(self.decoded(header, bodies[0]), ("av1",) + size + (frames, keys))
                views = self.segment_views(header, bodies)
                for reader in ("mp4box", "isoboxer"):
                    view = views[reader]
                    self.assertEqual((view["errors"], view["entry"]), ([], "av01"), reader)
                    samples = view["segments"][0]["samples"]
                    self.assertEqual([index for index, sample in enumerate(samples) if sample[4]], keys, reader)
                # The text the manifests give begins with what mp4box derives
                # from av1C, and adds the colours (BT.601 matrix, limited range).
                codecs = variants[variant]["codecs"].split(",")[0]
                self.assertEqual(codecs, views["mp4box"]["codecs"] + ".0.110.01.01.06.0")
                if variant == 0:
                    self.assertIn(codecs, dash_codecs)

    def test_rows_made_at_once_all_arrive(self):
        """The library keeps process-wide state that encoders at work at once
        corrupted: segments of the main and the 1 fps row asked for together
        all arrive whole, and the server lives on (the class's teardown
        checks how it ends)."""
        asset, _ = self.asset("?av1&duration=180")
        # Two in three of the 1 fps row, whose runs start an encoder a picture.
        paths = ["video-body.mp4?asset=%d&variant=%d&index=%d" % (asset, int(k % 3 != 0), 7 * k % 60) for k in range(24)]
        with ThreadPoolExecutor(max_workers=4) as pool:
            bodies = list(pool.map(self.fetch, paths))
        for path, body in zip(paths, bodies):
            self.assertEqual(body[4:8], b"moof", path)

    def test_codec_switch_to_av1_decodes_on_both_sides(self):
        self.expect_codec_switch("av1", "av01", "av1")

    @unittest.skipUnless(playback_checks_wanted(), "playback checks are off")
    def test_gstreamer_plays_every_picture_on_the_grid(self):
        """playbin plays every picture of AV1 HLS, and of DASH across the
        switches from H.264 to AV1 and back, at its time."""
        for query, seconds in (("master.m3u8?av1&duration=12", 12), ("manifest.mpd?duration=24&codecswitch=12:av1", 24)):
            if query.startswith("manifest.mpd"):
                self.make_every_segment(query)
            video, audio = gstreamer_times(self.server.url(query))
            self.assertEqual(video, [index * 4 * 10**7 for index in range(seconds * 25)], query)
            self.assertTrue(audio, query)


if __name__ == "__main__":
    unittest.main()
