# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end playback judged by ffmpeg and GStreamer: the HEVC presentation
("master.m3u8?hvc1"), which the browser of the test machine cannot decode,
and the picture time stamps of both video codecs as these readers see them.

Like the browser suite (web/run-tests.mjs) these tests are skipped while
web/playback-checks-off exists; QUORVEL_PLAYBACK_CHECKS=1 runs them anyway,
=0 skips them.
"""

import json
import os
import re
import subprocess
import tempfile
import unittest
import urllib.parse
import urllib.request

from quorvel_harness import REPOSITORY, QuorvelServer, ToolLimit, run_tool

OffMarker = os.path.join(REPOSITORY, "web", "playback-checks-off")
# An on-demand asset without "duration" lasts 18 s; video segments are 3 s.
PresentationSeconds = 18
FrameRates = {(1280, 720): 25, (960, 540): 1}
FrameSeconds = 0.04
AudioFrameSeconds = 1024 / 48000
# The last audio segment ends on an AAC frame, not on the exact second.
AudioTolerance = 0.1
# Above the main row's bandwidth, so that GStreamer keeps to it (kbit/s).
GStreamerSpeed = 100000


def playback_checks_wanted():
    Setting = os.environ.get("QUORVEL_PLAYBACK_CHECKS")
    if Setting in ("0", "1"):
        return Setting == "1"
    return not os.path.exists(OffMarker)


def fetch(Url):
    with urllib.request.urlopen(Url, timeout=ToolLimit) as Response:
        return Response.read()


def media_playlist_file(MasterUrl, Directory):
    """The first video row of an HLS presentation as one file: its
    initialisation segment followed by every media segment, as a browser
    appends them."""
    Master = fetch(MasterUrl).decode()
    VideoUrl = urllib.parse.urljoin(MasterUrl, next(Line for Line in Master.splitlines() if Line.startswith("video.m3u8")))
    Playlist = fetch(VideoUrl).decode().splitlines()
    Header = re.search(r'#EXT-X-MAP:URI="([^"]+)"', "\n".join(Playlist)).group(1)
    Parts = [Header] + [Line for Line in Playlist if Line and not Line.startswith("#")]
    Path = os.path.join(Directory, "video.mp4")
    with open(Path, "wb") as File:
        for Part in Parts:
            File.write(fetch(urllib.parse.urljoin(VideoUrl, Part)))
    return Path, len(Parts) - 1


def assert_frame_grid(Test, Stamps, Count):
    """Count pictures, one every 40 ms, none twice, none missing."""
    Test.assertEqual(len(Stamps), Count)
    Ordered = sorted(Stamps)
    Steps = {round(Later - Earlier, 3) for Earlier, Later in zip(Ordered, Ordered[1:])}
    Test.assertEqual(Steps, {FrameSeconds}, f"picture times from {Ordered[:8]}")


def run(Arguments, Environment=None):
    return run_tool(Arguments, text=True, environment=Environment)


@unittest.skipUnless(playback_checks_wanted(), f"playback checks are off ({OffMarker} exists)")
class HevcPlaybackTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.Server = QuorvelServer().start()

    @classmethod
    def tearDownClass(cls):
        assert cls.Server.stop() == 0, cls.Server.stderr.text()

    def test_ffmpeg_decodes_every_frame_of_every_variant(self):
        Output, Errors = run(["ffprobe", "-v", "error", "-count_frames", "-show_streams", "-of", "json",
                              self.Server.url("master.m3u8?hvc1")])
        self.assertEqual(Errors, "", "decoding reported errors")
        Streams = json.loads(Output)["streams"]
        Videos = {(Stream["width"], Stream["height"]): Stream for Stream in Streams if Stream["codec_type"] == "video"}
        self.assertEqual(sorted(Videos), sorted(FrameRates))
        for Size, Rate in FrameRates.items():
            with self.subTest(size=Size):
                self.assertEqual(Videos[Size]["codec_name"], "hevc")
                self.assertEqual(Videos[Size]["codec_tag_string"], "hvc1")
                self.assertEqual(int(Videos[Size]["nb_read_frames"]), PresentationSeconds * Rate)
        Audios = [Stream for Stream in Streams if Stream["codec_type"] == "audio"]
        self.assertTrue(Audios, "no audio stream")
        for Audio in Audios:
            self.assertEqual(Audio["codec_name"], "aac")
            self.assertAlmostEqual(int(Audio["nb_read_frames"]) * AudioFrameSeconds, PresentationSeconds, delta=AudioTolerance)

    def test_video_segments_follow_the_frame_grid(self):
        for Query in ("master.m3u8?hvc1", "master.m3u8"):
            with self.subTest(query=Query), tempfile.TemporaryDirectory() as Directory:
                Path, Segments = media_playlist_file(self.Server.url(Query), Directory)
                self.assertEqual(Segments, PresentationSeconds // 3)
                Output, Errors = run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=pts_time",
                                      "-of", "csv=p=0", Path])
                self.assertEqual(Errors, "")
                assert_frame_grid(self, [float(Line) for Line in Output.split()], PresentationSeconds * 25)

    def test_gstreamer_plays_to_the_end(self):
        # GStreamer 1.22 stalled for good after switching between the two HEVC
        # rows in our runs; the connection speed keeps it on the main row.
        # The buffers are counted in GStreamer's own trace of every push: the
        # last-message lines of -v are read late and may repeat or skip one.
        Tracing = dict(os.environ, GST_TRACERS="log", GST_DEBUG="GST_BUFFER:7", GST_DEBUG_NO_COLOR="1")
        Output, Errors = run(["gst-launch-1.0", "-v", "playbin", "uri=" + self.Server.url("master.m3u8?hvc1"),
                              f"connection-speed={GStreamerSpeed}",
                              "video-sink=fakesink name=video sync=false silent=false",
                              "audio-sink=fakesink name=audio sync=false silent=false"], Tracing)
        Text = Output + Errors
        self.assertIn('Got EOS from element "playbin0"', Text)
        self.assertNotRegex(Text, r"(?m)^(ERROR|WARNING)")
        self.assertRegex(Text, r'video-codec=\(string\)"H\.265')
        Stamps = [int(Hours) * 3600 + int(Minutes) * 60 + float(Seconds)
                  for Hours, Minutes, Seconds in re.findall(r"do_push_buffer_pre:<vqueue:src>.*? pts (\d+):(\d+):([\d.]+)", Text)]
        # The picture times themselves are judged in test_presentation_times.
        self.assertEqual(len(Stamps), PresentationSeconds * 25)
        self.assertGreaterEqual(max(Stamps), PresentationSeconds - 2 * FrameSeconds)
        self.assertRegex(Text, r"audio: last-message = chain")


if __name__ == "__main__":
    unittest.main()
