# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of segment production through the running server.

Segments are judged from outside: ffmpeg decodes the presentations through
their playlists, an independent ISO BMFF reader (codem-isoboxer, through
fragment_samples.mjs) reads the time stamps and fragment numbers, ffmpeg
decrypts encrypted fragments with the key, and raw sockets watch how the
bodies arrive.
"""

import json
import os
import re
import shutil
import signal
import socket
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree as ElementTree

import quorvel_harness
from quorvel_harness import QuorvelServer, ToolLimit, run_tool

Here = os.path.dirname(os.path.abspath(__file__))
Key = "000102030405060708090A0B0C0D0E0F"
FramesPerVideoSegment = 75


run = run_tool


class Scratch:
    """Files of one test in a temporary folder."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="quorvel-segments-")
        self.count = 0

    def file(self, data, suffix=".mp4"):
        self.count += 1
        path = os.path.join(self.folder, "%03d%s" % (self.count, suffix))
        with open(path, "wb") as stream:
            stream.write(data)
        return path

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def top_level_boxes(data):
    """(type, bytes) of each top-level box."""
    boxes, position = [], 0
    while position + 8 <= len(data):
        size = int.from_bytes(data[position:position + 4], "big")
        if size < 8:
            raise AssertionError("box of size %d at %d" % (size, position))
        boxes.append((data[position + 4:position + 8].decode("latin-1"), data[position:position + size]))
        position += size
    return boxes


def fragments(segment):
    """The moof + mdat pairs of a media segment."""
    boxes = top_level_boxes(segment)
    assert [kind for kind, _ in boxes] == ["moof", "mdat"] * (len(boxes) // 2), [kind for kind, _ in boxes][:6]
    return [boxes[index][1] + boxes[index + 1][1] for index in range(0, len(boxes), 2)]


class SegmentClient:
    """What the tests share: a server, the scratch folder, the readers."""

    server = None
    scratch = None

    @classmethod
    def setUpClass(cls):
        cls.start()

    @classmethod
    def tearDownClass(cls):
        cls.stop()

    @classmethod
    def start(cls, options=("-Software",)):
        cls.server = QuorvelServer(options=options).start()
        cls.scratch = Scratch()

    @classmethod
    def stop(cls):
        cls.scratch.remove()
        assert cls.server.stop() == 0, cls.server.stderr.text()

    def fetch(self, path, status=200):
        got, headers, body = self.server.get(path)
        self.assertEqual(got, status, (path, body[:200]))
        return body

    def asset(self, query=""):
        """A new asset made by the master playlist: (number, master text)."""
        master = self.fetch("master.m3u8" + query).decode()
        return int(re.search(r"asset=(\d+)", master).group(1)), master

    def video(self, asset, variant, indexes, extra=""):
        """Header and media segments of a video variant."""
        header = self.fetch("video-header.mp4?asset=%d&variant=%d%s" % (asset, variant, extra))
        return header, [self.fetch("video-body.mp4?asset=%d&variant=%d&index=%d%s" % (asset, variant, index, extra)) for index in indexes]

    def audio(self, asset, indexes):
        header = self.fetch("audio-header.mp4?asset=%d" % asset)
        return header, [self.fetch("audio-body.mp4?asset=%d&index=%d" % (asset, index)) for index in indexes]

    def samples(self, header, segments):
        """The independent reader's view: timescale and, per segment, fragments."""
        paths = [self.scratch.file(header)] + [self.scratch.file(segment) for segment in segments]
        output, _ = run(["node", os.path.join(Here, "fragment_samples.mjs")] + paths)
        return json.loads(output)

    def probe(self, data, entries):
        """ffprobe's entries of a whole file, with no error or warning."""
        output, errors = run(["ffprobe", "-v", "warning", "-of", "json", "-show_entries", entries, self.scratch.file(data)])
        self.assertEqual(errors, "")
        return json.loads(output)

    def payloads(self, header, segment, key=None):
        """The sample payloads of a segment as ffmpeg reads (and decrypts)
        them, fragment by fragment: ffmpeg 5.1 mixes up the encryption data
        of consecutive single-sample fragments."""
        result = []
        for fragment in fragments(segment):
            # A lone B-picture makes the probing decoder complain; the bytes
            # are what counts here.
            arguments = ["ffmpeg", "-v", "error"] + (["-decryption_key", key] if key else [])
            result.append(run(arguments + ["-i", self.scratch.file(header + fragment), "-map", "0:0", "-c", "copy", "-f", "data", "-"])[0])
        return result


def packets(text, stream):
    """(pts, duration) of the lines of one stream in ffmpeg's framecrc output."""
    rows = [line.split(",") for line in text.splitlines() if line and not line.startswith("#")]
    return [(int(row[2]), int(row[3])) for row in rows if int(row[0]) == stream]


class HlsPlayback(SegmentClient, unittest.TestCase):
    def decode(self, url, maps):
        """ffmpeg decodes a playlist without one error or warning: framecrc lines."""
        arguments = ["ffmpeg", "-v", "warning", "-i", self.server.url(url)]
        for stream in maps:
            arguments += ["-map", stream]
        output, errors = run(arguments + ["-f", "framecrc", "-"])
        self.assertEqual(errors, "", url)
        return output.decode()

    def expect_continuous_audio(self, lines, stream, seconds, rate=48000):
        """Audio packets follow each other without gap or overlap to the end."""
        audio = packets(lines, stream)
        self.assertEqual(audio[0][0], 0)
        for (pts, duration), (following, _) in zip(audio, audio[1:]):
            self.assertEqual(following, pts + duration)
        end = audio[-1][0] + audio[-1][1]
        self.assertGreaterEqual(end, seconds * rate)
        self.assertLess(end, seconds * rate + 4096)

    def test_presentation_options_play_without_a_warning(self):
        # Where each picture and fragment sits is judged by test_conformance.py.
        for query, maps, videos, audio in (("", ["0:v:0", "0:a:0"], 450, (1, 18)), ("?hvc1", ["0:v:0", "0:a:0"], 450, (1, 18)),
                                           ("?flac", ["0:v:0", "0:a:0"], 450, (1, 18)), ("?noaudio", ["0:v:0"], 450, None),
                                           ("?novideo", ["0:a:0"], 0, (0, 18)), ("?duration=20&flac", ["0:a:0"], 0, (0, 20))):
            with self.subTest(query):
                lines = self.decode("master.m3u8" + query, maps)
                self.assertEqual(len(packets(lines, 0)) if videos else 0, videos)
                if audio:
                    self.expect_continuous_audio(lines, *audio)

    def test_dash_periods_name_segments_that_start_where_the_manifest_says(self):
        text = self.fetch("manifest.mpd").decode()
        timelines = self.period_timelines(text)
        path = self.scratch.file(text.encode(), ".mpd")
        output, _ = run(["node", os.path.join(Here, "manifest_parsers.mjs"), "mpd", path, self.server.url("manifest.mpd")])
        manifest = json.loads(output)["manifest"]
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
        read = self.samples(header, bodies)
        starts = [segment[0]["samples"][0]["cts"] / read["timescale"] for segment in read["segments"]]
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

    def test_encrypted_segments_decrypt_to_the_clear_ones(self):
        clear, _ = self.asset()
        clear_video = self.video(clear, 0, [1])
        clear_audio = self.audio(clear, [1])
        for scheme in ("cenc", "cbcs"):
            with self.subTest(scheme):
                asset, _ = self.asset("?key=%s&scheme=%s" % (Key, scheme))
                for (header, segments), (clear_header, clear_segments) in ((self.video(asset, 0, [1]), clear_video),
                                                                          (self.audio(asset, [1]), clear_audio)):
                    self.assertEqual(len(fragments(segments[0])), len(fragments(clear_segments[0])))
                    # Every picture, and the audio frames of the first second.
                    encrypted = header, b"".join(fragments(segments[0])[:47])
                    expected = self.payloads(clear_header, b"".join(fragments(clear_segments[0])[:47]))
                    self.assertEqual(self.payloads(*encrypted, key=Key), expected)
                    self.assertNotEqual(self.payloads(*encrypted, key="00" * 16), expected)


class LivePresentation(SegmentClient, unittest.TestCase):
    def test_live_playlist_plays_and_far_segments_are_made_on_request(self):
        asset, _ = self.asset("?live")
        # Three segments' worth, from the live edge on.
        output, errors = run(["ffmpeg", "-v", "warning", "-i", self.server.url("master.m3u8?live"), "-map", "0:v:0", "-map", "0:a:0",
                              "-t", "9", "-f", "framecrc", "-"])
        # ffmpeg 5.1 reads the initialisation segment again after every
        # reload of a live playlist and says so.
        self.assertEqual([line for line in errors.splitlines() if "Found duplicated MOOV Atom" not in line], [])
        # ffmpeg cuts at 9 s by time stamps, which it shifts by a few
        # frames in streams with B-pictures.
        self.assertGreaterEqual(len(packets(output.decode(), 0)), 3 * FramesPerVideoSegment - 5)
        header, segments = self.video(asset, 0, [1000])
        read = self.samples(header, segments)
        samples = [sample for fragment in read["segments"][0] for sample in fragment["samples"]]
        frame = read["timescale"] // 25
        self.assertEqual(sorted(sample["cts"] for sample in samples), [index * frame for index in range(75000, 75075)])
        self.assertEqual(read["segments"][0][0]["sequence"], 75001)


def raw_request(port, path, timeout=60):
    connection = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    connection.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % path).encode())
    return connection


def read_chunked(connection):
    """Head and chunks of a chunked answer, checking its framing; the last,
    empty chunk is left out."""
    buffer = b""
    while b"\r\n\r\n" not in buffer:
        buffer += connection.recv(65536)
    head, buffer = buffer.split(b"\r\n\r\n", 1)
    chunks = []
    while True:
        while b"\r\n" not in buffer:
            buffer += connection.recv(65536)
        line, buffer = buffer.split(b"\r\n", 1)
        size = int(line, 16)
        while len(buffer) < size + 2:
            buffer += connection.recv(65536)
        assert buffer[size:size + 2] == b"\r\n"
        if size == 0:
            return head.decode(), chunks
        chunks.append(buffer[:size])
        buffer = buffer[size + 2:]


def process_state(pid):
    """Threads and resident kilobytes of a process."""
    with open("/proc/%d/status" % pid) as status:
        fields = dict(line.split(":", 1) for line in status)
    return int(fields["Threads"]), int(fields["VmRSS"].split()[0])


def wait_until(condition, limit=120):
    """Whether condition() came true before the limit, which only guards
    against a hang: what is awaited must happen, whenever it does."""
    deadline = time.monotonic() + limit
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


class Streaming(SegmentClient, unittest.TestCase):
    def test_the_segment_leaves_in_fragments_as_they_are_made(self):
        asset, _ = self.asset()
        # A segment no other test asks for: one made before is kept and sent whole.
        with raw_request(self.server.port, self.server.path("video-body.mp4?asset=%d&variant=0&index=4&color=2" % asset)) as connection:
            head, chunks = read_chunked(connection)
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

    def test_bad_requests_get_400_and_odd_values_are_served(self):
        asset, _ = self.asset()
        for path, status in (("video-body.mp4?asset=%d&variant=0" % asset, 0x80FF0C8D), ("video-body.mp4?asset=%d&variant=2&index=0" % asset, 0x80FF0C8B),
                             ("video-body.mp4?asset=%d&variant=-1&index=0" % asset, 0x80FF0C8B), ("video-header.mp4?asset=%d&variant=9" % asset, 0x80FF0C76),
                             ("audio-body.mp4?asset=%d" % asset, 0x80FF0D51), ("video-body.mp4?variant=0&index=0", 0x80FF0BFC),
                             ("audio-body.mp4?asset=99999&index=0", 0x80FF0BFE), ("video-body.mp4?asset=%d&variant=x&index=0" % asset, 0x80070057),
                             ("audio.mp4?duration=0", 0x80070057), ("audio.mp4?duration=3601", 0x80070057)):
            with self.subTest(path):
                body = self.fetch(path, 400)
                self.assertTrue(body.startswith(b"Exception 0x%08X" % status), body[:60])
        # Colours of any sign are served; periods and segments the asset does not have are not.
        for query in ("index=0&color=-1", "index=0&color=4&period=2"):
            with self.subTest(query):
                self.assertEqual(len(fragments(self.fetch("video-body.mp4?asset=%d&variant=1&%s" % (asset, query)))), 3)
        for query, status in (("index=0&period=77", 0x80FF0E42), ("index=0&period=abc", 0x80FF0E42), ("index=4294967295", 0x80FF0E41),
                              ("index=0&baseIndex=5", 0x80FF0E41)):
            with self.subTest(query):
                self.assertTrue(self.fetch("video-body.mp4?asset=%d&variant=1&%s" % (asset, query), 400).startswith(b"Exception 0x%08X" % status))
        self.assertEqual(self.fetch("version")[:4], b"Git ")

    def test_clients_that_leave_and_fifty_at_once_leave_nothing_behind(self):
        # 300 s: 100 video and 50 audio segments.
        asset, _ = self.asset("?duration=300")
        pid = self.server.process.pid
        self.fetch("video-body.mp4?asset=%d&variant=0&index=0" % asset)
        threads, memory = process_state(pid)
        # Clients that leave after the first bytes, and before them.
        for index in range(6):
            connection = raw_request(self.server.port, self.server.path("video-body.mp4?asset=%d&variant=0&index=%d" % (asset, index)))
            if index % 2:
                connection.recv(100)
            connection.close()
        answers = [None] * 50

        def get(number):
            kind = "video-body.mp4?asset=%d&variant=0&index=%d" if number % 2 else "audio-body.mp4?asset=%d&index=%d"
            answers[number] = self.server.get(kind % (asset, number), timeout=ToolLimit)

        clients = [threading.Thread(target=get, args=(number,)) for number in range(50)]
        for client in clients:
            client.start()
        for client in clients:
            client.join()
        for number, (status, headers, body) in enumerate(answers):
            self.assertEqual(status, 200)
            self.assertEqual(len(fragments(body)), FramesPerVideoSegment if number % 2 else 281 + (number % 4 == 0))
        # Pipelines are gone, threads and memory back to their level.
        self.assertTrue(wait_until(lambda: process_state(pid)[0] == threads), (process_state(pid), threads))
        self.assertTrue(wait_until(lambda: process_state(pid)[1] < memory + 64 * 1024), (process_state(pid), memory))
        self.fetch("video-body.mp4?asset=%d&variant=1&index=1" % asset)


class Downloads(SegmentClient, unittest.TestCase):
    def test_progressive_files(self):
        got, headers, body = self.server.get("video.mp4")
        self.assertEqual(got, 200)
        self.assertRegex(headers["Content-Type"], r'^video/mp4; codecs="avc1\.64[0-9a-fA-F]{4}"$')
        self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
        stream = self.probe(body, "stream=nb_read_frames,duration")
        # ffprobe ends the file one frame after the last decode time, which
        # B-pictures put up to two frames (the reorder delay) before the last
        # picture shows.
        duration = float(self.probe(body, "format=duration")["format"]["duration"])
        self.assertTrue(18.0 - 0.08 <= duration <= 18.0, duration)
        frames = run(["ffprobe", "-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0",
                      self.scratch.file(body)])[0]
        self.assertEqual(int(frames), 450, stream)
        for query, codecs, seconds in (("", "mp4a.40.2", 7), ("&flac", "flac", 7)):
            got, headers, body = self.server.get("audio.mp4?duration=%d%s" % (seconds, query))
            self.assertEqual(got, 200)
            self.assertEqual(headers["Content-Type"], 'audio/mp4; codecs="%s"' % codecs)
            duration = float(self.probe(body, "format=duration")["format"]["duration"])
            self.assertAlmostEqual(duration, seconds, delta=0.03)


class TestPages(SegmentClient, unittest.TestCase):
    def expect_failure(self, path, status):
        self.assertTrue(self.fetch(path, 400).startswith(b"Exception 0x%08X" % status), path)

    def test_webcodecs_page_and_its_frames(self):
        # Before any page there are no frames.
        self.expect_failure("webcodecs-videodecoder-A?frame=0", 0x80FF0A60)
        # A width alone keeps the variant's size.
        page = self.fetch("webcodecs-videodecoder-A.html?FrameSizeW=640").decode()
        self.assertIn('width="1280" height="720"', page)
        self.assertIn("const frameCount = 75;", page)
        codec = re.search(r"const codec = '(avc1\.[0-9a-fA-F]{6})';", page).group(1)
        self.assertNotIn("$(", page)
        page = self.fetch("webcodecs-videodecoder-A.html?FrameSizeW=640&FrameSizeH=360&FrameRateN=30&FrameRateD=1&SegmentDuration=2").decode()
        self.assertIn("const frameCount = 60;", page)
        frames = [self.fetch("webcodecs-videodecoder-A?frame=%d" % index) for index in range(60)]
        # The pictures as they are: an H.264 stream that decodes whole.
        output, errors = run(["ffprobe", "-v", "warning", "-f", "h264", "-count_frames", "-show_entries", "stream=nb_read_frames,width,height,codec_tag_string",
                              "-of", "json", self.scratch.file(b"".join(frames), ".h264")])
        self.assertEqual(errors, "")
        stream = json.loads(output)["streams"][0]
        self.assertEqual((stream["width"], stream["height"], int(stream["nb_read_frames"])), (640, 360, 60))
        self.assertTrue(codec.startswith("avc1.64"))
        self.expect_failure("webcodecs-videodecoder-A?frame=60", 0x80FF0A60)
        self.expect_failure("webcodecs-videodecoder-A?frame=-1", 0x80FF0A60)
        self.expect_failure("webcodecs-videodecoder-A", 0x80FF0A5F)
        self.expect_failure("webcodecs-videodecoder-A.html?Variant=2", 0x80FF0A1C)
        for query in ("FrameSizeW=641&FrameSizeH=360", "FrameSizeW=-2&FrameSizeH=360", "FrameRateN=0&FrameRateD=1", "SegmentDuration=600",
                      "SegmentDuration=0"):
            self.expect_failure("webcodecs-videodecoder-A.html?" + query, 0x80070057)
        # The frames of the last page that made any stay.
        self.assertEqual(self.fetch("webcodecs-videodecoder-A?frame=59"), frames[59])

    def test_media_source_pages_name_the_files_and_their_codecs(self):
        page = self.fetch("audio.mp4.html?flac&duration=7").decode()
        self.assertIn('<p>Audio MIME type: audio/mp4; codecs="flac"</p>', page)
        self.assertIn("const uri = 'audio.mp4?flac\\x26duration=7';", page)
        _, master = self.asset()
        video = re.search(r'CODECS="([^,"]+)', master).group(1)
        page = self.fetch("video.mp4.html").decode()
        self.assertIn("const mimeType = 'video/mp4; codecs=\"%s\"';" % video, page)
        self.assertIn("const uri = 'video.mp4';", page)
        # Nothing of the query runs as script.
        connection = raw_request(self.server.port, self.server.path("audio.mp4.html?a='</script><script>alert(1)</script>"))
        answer = b""
        while not answer.endswith(b"</html>"):
            answer += connection.recv(65536)
        connection.close()
        self.assertEqual(answer.count(b"<script>"), 1)
        self.assertEqual(answer.count(b"</script>"), 1)


class ResponseFiles(SegmentClient, unittest.TestCase):
    """With response-body files, from a copy of the program whose Response
    folder belongs to this test alone."""

    @classmethod
    def setUpClass(cls):
        cls.program = tempfile.mkdtemp(prefix="quorvel-program-")
        shutil.copy(quorvel_harness.binary_path(), cls.program)
        original = quorvel_harness.binary_path
        quorvel_harness.binary_path = lambda: os.path.join(cls.program, "quorvel")
        try:
            cls.start(options=("-Software", "-WriteResponseBody"))
        finally:
            quorvel_harness.binary_path = original

    @classmethod
    def tearDownClass(cls):
        cls.stop()
        shutil.rmtree(cls.program, ignore_errors=True)

    def test_segments_are_written_and_sent_whole(self):
        asset, _ = self.asset("?key=%s" % Key)
        got, headers, header = self.server.get("video-header.mp4?asset=%d&variant=1" % asset)
        got, headers, body = self.server.get("video-body.mp4?asset=%d&variant=1&index=2" % asset)
        self.assertEqual(got, 200)
        self.assertNotIn("Transfer-Encoding", headers)
        self.assertEqual(int(headers["Content-Length"]), len(body))
        got, headers, audio = self.server.get("audio-body.mp4?asset=%d&index=1&baseIndex=0&period=2" % asset)
        folder = os.path.join(self.program, "Response")
        names = sorted(os.listdir(folder))
        self.assertEqual([re.sub(r"^\d{3}-", "", name) for name in names],
                         ["master.m3u8", "video-header-v1.mp4", "video-body-v1-p0-i3.mp4", "audio-body-v0-p2-i1.mp4"])
        for name, data in zip(names[1:], (header, body, audio)):
            with open(os.path.join(folder, name), "rb") as stream:
                self.assertEqual(stream.read(), data, name)
        # The manifest names the files as they are written (its text is DashManifestWriterTest's).
        manifest = self.fetch("manifest.mpd").decode()
        self.assertIn(' __initialization="audio-header-v0.mp4" __media="audio-body-v0-p2-i$Number$.mp4">', manifest)


class Shutdown(unittest.TestCase):
    def test_shutdown_lets_a_segment_in_progress_finish(self):
        server = QuorvelServer().start()
        try:
            _, _, master = server.get("master.m3u8?duration=30")
            asset = int(re.search(rb"asset=(\d+)", master).group(1))
            connection = raw_request(server.port, server.path("video-body.mp4?asset=%d&variant=0&index=7" % asset))
            connection.recv(1, socket.MSG_PEEK)
            server.process.send_signal(signal.SIGTERM)
            head, chunks = read_chunked(connection)
            connection.close()
            self.assertIn("200 OK", head)
            self.assertEqual(len(fragments(b"".join(chunks))), FramesPerVideoSegment)
        finally:
            self.assertEqual(server.stop(), 0, server.stderr.text())


if __name__ == "__main__":
    unittest.main()
