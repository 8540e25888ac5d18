# SPDX-License-Identifier: GPL-2.0-or-later
"""When GStreamer shows each picture: every picture of the first three
segments of the H.264 and of the HEVC presentation at its place on the 40 ms
grid, in order, none twice and none missing, across the segment joints, and
the audio starting with the video.

It reads the HLS playlists as users run them (playbin with its own demuxers
and decoders), and never shows a picture before its decode time: exact times
show that no picture decodes after it presents and that every run starts
decoding at its first picture. What ffmpeg reads of the same segments is
test_conformance.py's (VideoTiming).

GStreamer's times are taken from its own trace of every buffer pushed into
the queues in front of the sinks (the "log" tracer writes each push as it
happens), as running times (pts - segment start + segment base): the
last-message property that gst-launch -v prints is read some time after it
changes and may show one buffer twice and skip another.

It must play the presentations without an error or a warning: with the
browser suite, these checks own "it plays". Every picture of both codecs
and rows, codecs and counts, is judged by test_clock_and_frame_code.py
(the frame codes) and test_conformance.py.

Like the browser suite (web/run-tests.mjs) these checks are skipped while
web/playback-checks-off exists; QUORVEL_PLAYBACK_CHECKS=1 runs them anyway,
=0 skips them.
"""

import os
import re
import unittest

from quorvel_harness import REPOSITORY, QuorvelServer, run_tool

OffMarker = os.path.join(REPOSITORY, "web", "playback-checks-off")

# Three 3 s segments: an on-demand presentation of 9 s has exactly these.
Seconds = 9
FrameRate = 25
Frames = Seconds * FrameRate
Presentations = ("master.m3u8?duration=9", "master.m3u8?duration=9&hvc1")
# Above the main row's bandwidth, so that GStreamer keeps to it (kbit/s).
GStreamerSpeed = 100000
Nanoseconds = 1_000_000_000


def playback_checks_wanted():
    setting = os.environ.get("QUORVEL_PLAYBACK_CHECKS")
    if setting in ("0", "1"):
        return setting == "1"
    return not os.path.exists(OffMarker)


def run(arguments, environment=None):
    return run_tool(arguments, text=True, environment=environment)


def grid(count):
    """Frame k at k / 25 s, in nanoseconds."""
    return [index * Nanoseconds // FrameRate for index in range(count)]


def gstreamer_clock(text):
    hours, minutes, seconds = text.split(":")
    return (int(hours) * 3600 + int(minutes) * 60) * Nanoseconds + round(float(seconds) * Nanoseconds)


def gstreamer_times(url):
    """Running times (ns) of the buffers that reach the video and the audio
    sink of playbin, in the order they get there."""
    environment = dict(os.environ, GST_TRACERS="log", GST_DEBUG="GST_BUFFER:7,GST_EVENT:7", GST_DEBUG_NO_COLOR="1")
    output, trace = run(["gst-launch-1.0", "playbin", "uri=" + url, f"connection-speed={GStreamerSpeed}",
                         "video-sink=fakesink sync=false", "audio-sink=fakesink sync=false"], environment)
    assert 'Got EOS from element "playbin0"' in output, output[-500:]
    assert not re.search(r"(?m)^(ERROR|WARNING)", output), output[-500:]
    segments = {}
    times = {"vqueue": [], "aqueue": []}
    for line in trace.splitlines():
        push = re.search(r"do_push_(buffer|event)_pre:<([av]queue):src>", line)
        if not push:
            continue
        queue = push.group(2)
        if push.group(1) == "event":
            segment = re.search(r"GstEventSegment.*?base=\(guint64\)(\d+).*?start=\(guint64\)(\d+)", line)
            if segment:
                segments[queue] = (int(segment.group(1)), int(segment.group(2)))
        else:
            base, start = segments[queue]
            pts = re.search(r" pts (\d+:\d+:[\d.]+)", line).group(1)
            times[queue].append(gstreamer_clock(pts) - start + base)
    return times["vqueue"], times["aqueue"]


@unittest.skipUnless(playback_checks_wanted(), "playback checks are off")
class PresentationTimesTest(unittest.TestCase):
    def expect_grid(self, video, audio):
        self.assertEqual(len(video), Frames)
        misplaced = [(index, time) for index, (time, expected) in enumerate(zip(video, grid(Frames))) if time != expected]
        self.assertEqual(misplaced[:5], [], f"{len(misplaced)} pictures off the grid")
        self.assertTrue(audio, "no audio")
        self.assertEqual(audio[0], 0, "the audio starts with the video")

    def test_gstreamer_shows_every_picture_on_the_grid(self):
        with QuorvelServer() as server:
            for query in Presentations:
                with self.subTest(query=query):
                    self.expect_grid(*gstreamer_times(server.url(query)))


if __name__ == "__main__":
    unittest.main()
