# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of segment production through the running server.

Segments are judged from outside: an independent ISO BMFF reader
(codem-isoboxer, through segment_readers.mjs) reads the time stamps and
fragment numbers, and raw sockets watch how the bodies arrive. That the
presentations play (encrypted ones with their key, live ones at the edge)
is judged by GStreamer (test_changes.py, test_av1.py) and the browser
suite, what they hold by test_conformance.py.
"""

import json
import os
import re
import shutil
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree as ElementTree

import quorvel_harness
from media_client import MediaClient
from quorvel_harness import FramesPerVideoSegment, fragments, read_answer, top_level_boxes
from quorvel_harness import ToolLimit, run_tool

Key = "000102030405060708090A0B0C0D0E0F"

run = run_tool


class Presentations(MediaClient, unittest.TestCase):
    def test_dash_periods_name_segments_that_start_where_the_manifest_says(self):
        text = self.fetch("manifest.mpd").decode()
        timelines = self.period_timelines(text)
        manifest = self.mpd_views(text.encode())
        playlists = {"video": manifest["playlists"][0], "audio": manifest["mediaGroups"]["AUDIO"]["audio"]["en"]["playlists"][0]}
        for kind, playlist in playlists.items():
            periods = {}
            for segment in playlist["segments"]:
                periods.setdefault(segment["timeline"], []).append(segment)
            self.assertEqual(len(periods), 3)
            for (start, segments), expected in zip(sorted(periods.items()), timelines[kind]):
                with self.subTest(kind=kind, period=start):
                    self.expect_period(segments, expected)

    def expect_period(self, segments, expected):
        """The segments of one period decode without a warning, and each starts
        at the media time the manifest's timeline gives it: video exactly,
        audio with its first AAC frame that starts there or up to one frame
        later."""
        header = self.fetch(segments[0]["map"]["resolvedUri"][len(self.server.url("")):])
        bodies = [self.fetch(segment["resolvedUri"][len(self.server.url("")):]) for segment in segments]
        self.probe(header + b"".join(bodies), "stream=codec_name")
        read = self.segment_views(header, bodies)["isoboxer"]
        starts = [segment["samples"][0][1] / read["timescale"] for segment in read["segments"]]
        self.assertEqual(len(starts), len(expected))
        for start, time in zip(starts, expected):
            self.assertGreaterEqual(start, time)
            self.assertLess(start, time + 1024 / 48000)

    @staticmethod
    def period_timelines(text):
        """Per kind and period, the media start times (s) of the timeline's segments."""
        space = {"mpd": "urn:mpeg:dash:schema:mpd:2011"}
        result = {"video": [], "audio": []}
        for period in ElementTree.fromstring(text).findall("mpd:Period", space):
            for adaptation in period.findall("mpd:AdaptationSet", space):
                template = adaptation.find("mpd:Representation/mpd:SegmentTemplate", space)
                scale = int(template.get("timescale"))
                starts = []
                for entry in template.findall("mpd:SegmentTimeline/mpd:S", space):
                    for repeat in range(int(entry.get("r", "0")) + 1):
                        starts.append((int(entry.get("t")) + repeat * int(entry.get("d"))) / scale)
                result[adaptation.get("contentType")].append(starts)
        return result

    def test_far_segments_of_a_live_presentation_are_made_on_request(self):
        # Following the live edge is the browser suite's (hls.js).
        asset, _ = self.asset("?live")
        read = self.segment_views(*self.video(asset, 0, [1000]))["isoboxer"]
        frame = read["timescale"] // 25
        self.assertEqual(sorted(sample[1] for sample in read["segments"][0]["samples"]), [index * frame for index in range(75000, 75075)])
        self.assertEqual(read["segments"][0]["sequences"][0], 75001)


def process_state(pid):
    """Threads and resident kilobytes of a process."""
    with open("/proc/%d/status" % pid) as status:
        fields = dict(line.split(":", 1) for line in status)
    return int(fields["Threads"]), int(fields["VmRSS"].split()[0])


def quiet(server):
    """Whether the server makes nothing, read-ahead included."""
    return b"\nquorvel_productions_in_progress 0\n" in server.get("metrics")[2]


def wait_until(condition, limit=120):
    """Whether condition() came true before the limit, which only guards
    against a hang: what is awaited must happen, whenever it does."""
    deadline = time.monotonic() + limit
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


class Streaming(MediaClient, unittest.TestCase):
    def test_the_segment_leaves_in_fragments_as_they_are_made(self):
        asset, _ = self.asset()
        # A segment no other test asks for: one made before is kept and sent whole.
        with self.server.send_get("video-body.mp4?asset=%d&variant=0&index=4&color=2" % asset) as connection:
            head, _, chunks = read_answer(connection)
        self.assertIn("Transfer-Encoding: chunked", head)
        self.assertIn("Content-Type: video/mp4", head)
        self.assertIn("Access-Control-Allow-Origin: *", head)
        self.assertEqual(len(fragments(b"".join(chunks))), FramesPerVideoSegment)
        # Each chunk is what the pipeline had written when it was handed
        # over: whole boxes (a moof, its mdat, or several), never the whole
        # segment at once.
        counts = [sum(kind == "moof" for kind, _ in top_level_boxes(chunk)) for chunk in chunks]
        self.assertGreater(len(chunks), 1, counts)
        self.assertLess(counts[0], FramesPerVideoSegment, counts)

    def test_colours_of_any_sign_are_served(self):
        # Requests these routes refuse are test_presentation.py's.
        asset, _ = self.asset()
        for query in ("index=0&color=-1", "index=0&color=4&period=2"):
            with self.subTest(query):
                self.assertEqual(len(fragments(self.fetch("video-body.mp4?asset=%d&variant=1&%s" % (asset, query)))), 3)

    def test_clients_that_leave_and_fifty_at_once_leave_nothing_behind(self):
        # 600 s: 200 video and 100 audio segments, so that no burst is
        # answered from the cache.
        asset, _ = self.asset("?duration=600")
        pid = self.server.process.pid
        # The level is the one after a first burst, which a second one of
        # other segments must not raise. The server gives memory back a
        # second after its workers fall idle; a level read before that is
        # only higher.
        self.fifty_at_once(asset, 0)
        self.assertTrue(wait_until(lambda: quiet(self.server), 600))
        time.sleep(3)
        threads, memory = process_state(pid)
        # Clients that leave after the first bytes, and before them.
        for index in range(100, 106):
            connection = self.server.send_get("video-body.mp4?asset=%d&variant=0&index=%d" % (asset, index))
            if index % 2:
                connection.recv(100)
            connection.close()
        self.fifty_at_once(asset, 50)
        # Pipelines are gone (read-ahead too), threads and memory back to their level.
        self.assertTrue(wait_until(lambda: quiet(self.server), 600))
        self.assertTrue(wait_until(lambda: process_state(pid)[0] == threads), (process_state(pid), threads))
        self.assertTrue(wait_until(lambda: process_state(pid)[1] < memory + 64 * 1024), (process_state(pid), memory))
        self.fetch("video-body.mp4?asset=%d&variant=1&index=1" % asset)

    def fifty_at_once(self, asset, first):
        """Fifty clients at once, every other one after a video segment."""
        numbers = range(first, first + 50)
        answers = {}

        def get(number):
            kind = "video-body.mp4?asset=%d&variant=0&index=%d" if number % 2 else "audio-body.mp4?asset=%d&index=%d"
            answers[number] = self.server.get(kind % (asset, number), timeout=ToolLimit)

        clients = [threading.Thread(target=get, args=(number,)) for number in numbers]
        for client in clients:
            client.start()
        for client in clients:
            client.join()
        for number in numbers:
            status, _, body = answers[number]
            self.assertEqual(status, 200)
            self.assertEqual(len(fragments(body)), FramesPerVideoSegment if number % 2 else 281 + (number % 4 == 0))


class Downloads(MediaClient, unittest.TestCase):
    def test_progressive_files(self):
        for path, content_type, seconds, frames in (("video.mp4", r'video/mp4; codecs="avc1\.64[0-9a-fA-F]{4}"', 18, 450),
                                                   ("audio.mp4?duration=7", r'audio/mp4; codecs="mp4a\.40\.2"', 7, None),
                                                   ("audio.mp4?duration=7&flac", r'audio/mp4; codecs="flac"', 7, None)):
            with self.subTest(path):
                got, headers, body = self.server.get(path)
                self.assertEqual(got, 200)
                self.assertRegex(headers["Content-Type"], "^%s$" % content_type)
                read = json.loads(run(["ffprobe", "-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames:format=duration", "-of", "json",
                                       self.file(body)])[0])
                # ffprobe ends a video file one frame after the last decode
                # time, which B-pictures put up to two frames (the reorder
                # delay) before the last picture shows.
                self.assertTrue(seconds - (0.08 if frames else 0.03) <= float(read["format"]["duration"]) <= seconds + (0 if frames else 0.03), read)
                if frames:
                    self.assertEqual(int(read["streams"][0]["nb_read_frames"]), frames)


class TestPages(MediaClient, unittest.TestCase):
    """What the browser suite's page checks cannot see: the page options,
    the refusals and a query that tries to run as script."""

    def test_webcodecs_page_and_its_frames(self):
        # Before any page there are no frames.
        self.failure("webcodecs-videodecoder-A?frame=0", 0x80FF0A60)
        # A width alone keeps the variant's size.
        page = self.fetch("webcodecs-videodecoder-A.html?FrameSizeW=640").decode()
        self.assertIn('width="1280" height="720"', page)
        self.assertNotIn("$(", page)
        page = self.fetch("webcodecs-videodecoder-A.html?FrameSizeW=640&FrameSizeH=360&FrameRateN=30&FrameRateD=1&SegmentDuration=2").decode()
        self.assertIn("const frameCount = 60;", page)
        frames = [self.fetch("webcodecs-videodecoder-A?frame=%d" % index) for index in range(60)]
        # The pictures as they are: an H.264 stream that decodes whole.
        output, errors = run(["ffprobe", "-v", "warning", "-f", "h264", "-count_frames", "-show_entries", "stream=nb_read_frames,width,height",
                              "-of", "json", self.file(b"".join(frames), ".h264")])
        self.assertEqual(errors, "")
        stream = json.loads(output)["streams"][0]
        self.assertEqual((stream["width"], stream["height"], int(stream["nb_read_frames"])), (640, 360, 60))
        for path, status in (("webcodecs-videodecoder-A?frame=60", 0x80FF0A60), ("webcodecs-videodecoder-A?frame=-1", 0x80FF0A60),
                             ("webcodecs-videodecoder-A", 0x80FF0A5F), ("webcodecs-videodecoder-A.html?Variant=2", 0x80FF0A1C)):
            self.failure(path, status)
        for query in ("FrameSizeW=641&FrameSizeH=360", "FrameSizeW=-2&FrameSizeH=360", "FrameRateN=0&FrameRateD=1", "SegmentDuration=600",
                      "SegmentDuration=0"):
            self.failure("webcodecs-videodecoder-A.html?" + query, 0x80070057)
        # The frames of the last page that made any stay.
        self.assertEqual(self.fetch("webcodecs-videodecoder-A?frame=59"), frames[59])

    def test_nothing_of_the_query_runs_as_script(self):
        answer = self.fetch("audio.mp4.html?a='</script><script>alert(1)</script>")
        self.assertEqual(answer.count(b"<script>"), 1)
        self.assertEqual(answer.count(b"</script>"), 1)


class ResponseFiles(MediaClient, unittest.TestCase):
    """With response-body files, from a copy of the program whose Response
    folder belongs to this test alone."""

    options = ("-Software", "-WriteResponseBody")

    @classmethod
    def setUpClass(cls):
        cls.copy = tempfile.mkdtemp(prefix="quorvel-program-")
        cls.program = shutil.copy(quorvel_harness.binary_path(), cls.copy)
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        shutil.rmtree(cls.copy, ignore_errors=True)

    def test_segments_are_written_and_sent_whole(self):
        asset, _ = self.asset("?key=%s" % Key)
        got, headers, header = self.server.get("video-header.mp4?asset=%d&variant=1" % asset)
        got, headers, body = self.server.get("video-body.mp4?asset=%d&variant=1&index=2" % asset)
        self.assertEqual(got, 200)
        self.assertNotIn("Transfer-Encoding", headers)
        self.assertEqual(int(headers["Content-Length"]), len(body))
        got, headers, audio = self.server.get("audio-body.mp4?asset=%d&index=1&baseIndex=0&period=2" % asset)
        folder = os.path.join(self.copy, "Response")
        names = sorted(os.listdir(folder))
        self.assertEqual([re.sub(r"^\d{3}-", "", name) for name in names],
                         ["master.m3u8", "video-header-v1.mp4", "video-body-v1-p0-i3.mp4", "audio-body-v0-p2-i1.mp4"])
        for name, data in zip(names[1:], (header, body, audio)):
            with open(os.path.join(folder, name), "rb") as stream:
                self.assertEqual(stream.read(), data, name)
        # The manifest names the files as they are written (its text is DashManifestWriterTest's).
        manifest = self.fetch("manifest.mpd").decode()
        self.assertIn(' __initialization="audio-header-v0.mp4" __media="audio-body-v0-p2-i$Number$.mp4">', manifest)


if __name__ == "__main__":
    unittest.main()
