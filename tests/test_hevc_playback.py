"""End-to-end playback of the HEVC presentation ("master.m3u8?hvc1"), judged
by ffmpeg and GStreamer: the browser of the test machine decodes no HEVC, so
these two independent players stand in for it.

Like the browser suite (web/run-tests.mjs) these tests are skipped while
web/playback-checks-off exists; QUORVEL_PLAYBACK_CHECKS=1 runs them anyway,
=0 skips them.
"""

import json
import os
import re
import subprocess
import unittest

from quorvel_harness import REPOSITORY, QuorvelServer

OffMarker = os.path.join(REPOSITORY, "web", "playback-checks-off")
# An on-demand asset without "duration" lasts 18 s; video segments are 3 s.
PresentationSeconds = 18
FrameRates = {(1280, 720): 25, (960, 540): 1}
AudioFrameSeconds = 1024 / 48000
# The last audio segment ends on an AAC frame, not on the exact second.
AudioTolerance = 0.1
ToolLimit = 300


def playback_checks_wanted():
    Setting = os.environ.get("QUORVEL_PLAYBACK_CHECKS")
    if Setting in ("0", "1"):
        return Setting == "1"
    return not os.path.exists(OffMarker)


def run(Arguments):
    """(stdout, stderr) of a tool that must succeed."""
    Result = subprocess.run(Arguments, capture_output=True, text=True, timeout=ToolLimit)
    if Result.returncode != 0:
        raise AssertionError(f"{Arguments[0]} exited with {Result.returncode}:\n{Result.stderr[-2000:]}")
    return Result.stdout, Result.stderr


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

    def test_video_time_stamps_run_on_without_gap_or_repeat(self):
        Output, _ = run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=pts_time",
                         "-of", "csv=p=0", self.Server.url("master.m3u8?hvc1")])
        Stamps = sorted(float(Line) for Line in Output.split())
        self.assertEqual(len(Stamps), PresentationSeconds * 25)
        Steps = {round(Later - Earlier, 3) for Earlier, Later in zip(Stamps, Stamps[1:])}
        self.assertEqual(Steps, {0.04}, "every frame 40 ms after the one before")

    def test_gstreamer_plays_to_the_end(self):
        Output, Errors = run(["gst-launch-1.0", "-v", "playbin", "uri=" + self.Server.url("master.m3u8?hvc1"),
                              "video-sink=fakesink name=video sync=false silent=false",
                              "audio-sink=fakesink name=audio sync=false silent=false"])
        Text = Output + Errors
        self.assertIn('Got EOS from element "playbin0"', Text)
        self.assertNotRegex(Text, r"(?m)^(ERROR|WARNING)")
        self.assertRegex(Text, r'video-codec=\(string\)"H\.265')
        VideoStamps = re.findall(r"video: last-message = chain .*?pts: (\d+):(\d+):([\d.]+)", Text)
        # The player may pick either variant (25 or 1 picture a second).
        self.assertGreaterEqual(len(VideoStamps), PresentationSeconds, "decoded pictures")
        Hours, Minutes, Seconds = VideoStamps[-1]
        self.assertGreater(int(Hours) * 3600 + int(Minutes) * 60 + float(Seconds), PresentationSeconds - 0.5)
        self.assertRegex(Text, r"audio: last-message = chain")


if __name__ == "__main__":
    unittest.main()
