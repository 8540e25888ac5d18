# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of faults on request: rules given to a manifest apply to
every request of its asset, and each kind is seen by a real client.

curl and Python's http.client and raw sockets see the HTTP faults (status,
delay, throttle, hang, truncation) and the "X-Quorvel-Fault" header that
names every fault that fired; mp4box and codem-isoboxer still read a
corrupted segment box by box while ffmpeg reports its damaged pictures;
hls-parser and m3u8-parser read the missing segment of a gap. Nothing here
judges elapsed time: a delay or a throttle shows in what has arrived while
other answers were made, a hang in bytes that never come until the client
leaves.
"""

import json
import os
import re
import select
import shutil
import socket
import struct
import subprocess
import tempfile
import unittest

from quorvel_harness import QuorvelServer, run_tool

Here = os.path.dirname(os.path.abspath(__file__))
FaultRuleInvalid = "0x80FF0E20"
# 2026-12-06T10:00:00Z in milliseconds.
StartMilliseconds = 1796551200000
# Long enough that the other answers of a test are made well inside it on a
# busy machine; the test itself never waits for it to pass.
LongDelay = 20000


run = run_tool


def asset_of(master):
    return int(re.search(rb"asset=(\d+)", master).group(1))


def boxes(data):
    """(type, start, size) of the top-level boxes of an MP4 file."""
    found = []
    position = 0
    while position + 8 <= len(data):
        size, kind = struct.unpack(">I4s", data[position:position + 8])
        if size == 1:
            size = struct.unpack(">Q", data[position + 8:position + 16])[0]
        found.append((kind.decode("latin-1"), position, size))
        position += size
    return found


class RawRequest:
    """One GET on a socket of its own, read as it arrives."""

    def __init__(self, server, path):
        self.socket = socket.create_connection(("127.0.0.1", server.port), timeout=120)
        self.socket.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % server.path(path)).encode())
        self.received = b""

    def read_head(self):
        while b"\r\n\r\n" not in self.received:
            piece = self.socket.recv(65536)
            if not piece:
                raise AssertionError("the connection closed before the head: %r" % self.received)
            self.received += piece
        head, _, _ = self.received.partition(b"\r\n\r\n")
        return head.decode("latin-1")

    def body(self):
        return self.received.partition(b"\r\n\r\n")[2]

    def waiting_bytes(self):
        """Whether anything has arrived that was not read yet (no waiting)."""
        readable, _, _ = select.select([self.socket], [], [], 0)
        return bool(readable)

    def read_to_end(self):
        while True:
            piece = self.socket.recv(65536)
            if not piece:
                return
            self.received += piece
            if self.received.endswith(b"\r\n0\r\n\r\n"):
                return

    def close(self):
        self.socket.close()


def unchunk(body):
    payload = b""
    while True:
        line, _, body = body.partition(b"\r\n")
        size = int(line, 16)
        if size == 0:
            return payload
        payload += body[:size]
        body = body[size + 2:]


def header_lines(head, name):
    return [line.split(":", 1)[1].strip() for line in head.split("\r\n") if line.lower().startswith(name.lower() + ":")]


class FaultTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = QuorvelServer().start()
        cls.directory = tempfile.mkdtemp(prefix="quorvel-faults-")

    @classmethod
    def tearDownClass(cls):
        code = cls.server.stop()
        shutil.rmtree(cls.directory, ignore_errors=True)
        if code != 0:
            raise AssertionError("quorvel exited with %d" % code)

    def fetch(self, path, status=200):
        got, headers, body = self.server.get(path)
        self.assertEqual(got, status, (path, body[:300]))
        return headers, body

    def asset(self, query):
        return asset_of(self.fetch("master.m3u8?" + query)[1])

    def file(self, name, data):
        path = os.path.join(self.directory, name)
        with open(path, "wb") as output:
            output.write(data)
        return path

    def test_a_malformed_rule_is_refused_with_the_rule_named(self):
        for manifest in ("master.m3u8", "manifest.mpd"):
            for rule in ("fail=404@vidoe:5", "fail=200@video:1", "delay=soon@audio:*", "truncate=150%25@video:2", "stale=100@video:1",
                         "gap=@video:x", "corrupt=@playlist:1"):
                with self.subTest(manifest=manifest, rule=rule):
                    _, body = self.fetch("%s?duration=30&%s" % (manifest, rule), status=400)
                    text = body.decode()
                    self.assertTrue(text.startswith("Exception " + FaultRuleInvalid + "\n"), text)
                    self.assertIn('"%s"' % rule.replace("%25", "%"), text)

    def test_fail_answers_the_status_and_a_counted_fail_lets_the_retry_through(self):
        asset = self.asset("fail=404@video:5,503x1@video:2&fail=500@playlist:%252")
        segment = self.server.url("video-body.mp4?asset=%d&variant=0&index=" % asset)
        # curl, as a test engineer would look at it.
        for index, status, fault in ((5, 404, "fail=404@video:5"), (2, 503, "fail=503x1@video:2"), (2, 200, None), (2, 200, None), (4, 200, None)):
            head = run(["curl", "-s", "-D", "-", "-o", os.devnull, segment + str(index)])[0].decode()
            self.assertTrue(head.startswith("HTTP/1.1 %d " % status), head)
            self.assertEqual(header_lines(head, "X-Quorvel-Fault"), [fault] if fault else [])
            if status != 200:
                self.assertIn("Access-Control-Allow-Origin: *", head)
        # Every second playlist request of the asset fails.
        statuses = [self.server.get(path % asset)[0] for path in ("video.m3u8?asset=%d&variant=0", "audio.m3u8?asset=%d") * 2]
        self.assertEqual(statuses, [200, 500, 200, 500])
        # DASH numbers from the template: index 3 with baseIndex 1 is segment 2, counted already.
        dash_asset = asset_of(self.fetch("manifest.mpd?fail=503x1@audio:2")[1])
        self.assertEqual(self.server.get("audio-body.mp4?asset=%d&index=3&baseIndex=1" % dash_asset)[0], 503)
        self.assertEqual(self.server.get("audio-body.mp4?asset=%d&index=3&baseIndex=1" % dash_asset)[0], 200)

    def test_a_delayed_answer_starts_only_after_others_were_answered(self):
        asset = self.asset("live&now=%d&delay=%d@playlist:1" % (StartMilliseconds, LongDelay))
        delayed = RawRequest(self.server, "video.m3u8?asset=%d&variant=0&now=%d" % (asset, StartMilliseconds))
        try:
            # The server goes on answering while the delay runs: the next
            # playlist of the same asset and segments of it come back whole.
            self.fetch("audio.m3u8?asset=%d&now=%d" % (asset, StartMilliseconds))
            self.fetch("audio-body.mp4?asset=%d&index=0" % asset)
            self.assertFalse(delayed.waiting_bytes(), "the delayed answer began before the others were answered")
            head = delayed.read_head()
            self.assertTrue(head.startswith("HTTP/1.1 200 OK"), head)
            self.assertEqual(header_lines(head, "X-Quorvel-Fault"), ["delay=%d@playlist:1" % LongDelay])
        finally:
            delayed.close()

    def test_a_throttled_answer_trickles_and_arrives_whole(self):
        clean = self.asset("duration=30")
        asset = self.asset("duration=30&throttle=8000@audio:1")
        throttled = RawRequest(self.server, "audio-body.mp4?asset=%d&index=1" % asset)
        try:
            head = throttled.read_head()
            self.assertEqual(header_lines(head, "X-Quorvel-Fault"), ["throttle=8000@audio:1"])
            _, expected = self.fetch("audio-body.mp4?asset=%d&index=1" % clean)
            # A playlist asked for meanwhile is answered whole while the
            # segment has not got through yet (at 8000 bytes a second its
            # 96 kB take twelve seconds).
            self.fetch("audio.m3u8?asset=%d" % asset)
            self.assertLess(len(throttled.body()), len(expected))
            # Streamed as it is made, or whole from the cache: either way the
            # body trickles in many pieces and arrives complete.
            chunked = header_lines(head, "Transfer-Encoding") == ["chunked"]
            sized = int(header_lines(head, "Content-Length")[0]) if not chunked else None
            pieces = 0
            while not (throttled.received.endswith(b"\r\n0\r\n\r\n") if chunked else len(throttled.body()) >= sized):
                piece = throttled.socket.recv(65536)
                self.assertTrue(piece, "the connection closed early")
                throttled.received += piece
                pieces += 1
            self.assertEqual(unchunk(throttled.body()) if chunked else throttled.body(), expected)
            self.assertGreater(pieces, 5)
        finally:
            throttled.close()

    def test_a_hung_answer_sends_part_of_the_body_and_waits_for_the_client_to_leave(self):
        asset = self.asset("hang=@video:1")
        hung = RawRequest(self.server, "video-body.mp4?asset=%d&variant=0&index=1" % asset)
        head = hung.read_head()
        self.assertTrue(head.startswith("HTTP/1.1 200 OK"), head)
        self.assertEqual(header_lines(head, "X-Quorvel-Fault"), ["hang=@video:1"])
        while not hung.body():
            hung.received += hung.socket.recv(65536)
        # Meanwhile whole answers for others, even of the same asset.
        _, whole = self.fetch("video-body.mp4?asset=%d&variant=0&index=0" % asset)
        self.fetch("video.m3u8?asset=%d&variant=0" % asset)
        self.assertFalse(hung.waiting_bytes(), "the hung answer went on")
        self.assertNotIn(b"\r\n0\r\n\r\n", hung.body())
        self.assertGreater(len(whole), len(hung.body()))
        hung.close()
        # The server noticed the client left and serves on.
        self.fetch("video-body.mp4?asset=%d&variant=0&index=2" % asset)

    def test_truncation_ends_a_chunked_body_cleanly_and_a_sized_one_early(self):
        clean = self.asset("duration=30")
        asset = self.asset("duration=30&truncate=50%25@video:2,1000@audio:1&truncate=40@playlist:1")
        _, full = self.fetch("video-body.mp4?asset=%d&variant=0&index=2" % clean)
        # Whole from the cache now, the truncated segment still goes out
        # chunked and ends cleanly, as a segment being made would.
        headers, half = self.fetch("video-body.mp4?asset=%d&variant=0&index=2" % asset)
        self.assertEqual(headers["X-Quorvel-Fault"], "truncate=50%@video:2")
        self.assertEqual(headers["Transfer-Encoding"], "chunked")
        self.assertEqual(half, full[:len(full) // 2])
        _, short = self.fetch("audio-body.mp4?asset=%d&index=1" % asset)
        _, audio = self.fetch("audio-body.mp4?asset=%d&index=1" % clean)
        self.assertEqual(short, audio[:1000])
        # A playlist has a Content-Length: it is kept, and the connection ends early.
        playlist = RawRequest(self.server, "audio.m3u8?asset=%d" % asset)
        try:
            head = playlist.read_head()
            playlist.read_to_end()
        finally:
            playlist.close()
        declared = int(header_lines(head, "Content-Length")[0])
        self.assertEqual(header_lines(head, "X-Quorvel-Fault"), ["truncate=40@playlist:1"])
        self.assertEqual(len(playlist.body()), 40)
        self.assertGreater(declared, 40)
        self.assertTrue(playlist.body().startswith(b"#EXTM3U\r\n"))

    def test_corruption_damages_pictures_while_every_box_still_reads(self):
        clean = self.asset("duration=30")
        asset = self.asset("duration=30&corrupt=@video:1")
        _, header = self.fetch("video-header.mp4?asset=%d&variant=0" % asset)
        clean_headers, good = self.fetch("video-body.mp4?asset=%d&variant=0&index=1" % clean)
        headers, bad = self.fetch("video-body.mp4?asset=%d&variant=0&index=1" % asset)
        self.assertEqual(headers["X-Quorvel-Fault"], "corrupt=@video:1")
        # No cache may keep the damaged segment or take it for the clean one.
        self.assertIn("immutable", clean_headers["Cache-Control"])
        self.assertEqual(headers["Cache-Control"], "no-store")
        self.assertNotIn("ETag", headers)
        headers, untouched = self.fetch("video-body.mp4?asset=%d&variant=0&index=2" % asset)
        self.assertNotIn("X-Quorvel-Fault", headers)
        self.assertIn("ETag", headers)
        # Same boxes, same sizes; only bytes inside the mdat payloads differ.
        self.assertEqual(len(bad), len(good))
        self.assertEqual(boxes(bad), boxes(good))
        in_payload = bytearray(len(good))
        for kind, start, size in boxes(good):
            if kind == "mdat":
                in_payload[start + 8:start + size] = b"\x01" * (size - 8)
        changed = [offset for offset in range(len(good)) if good[offset] != bad[offset]]
        self.assertTrue(changed)
        self.assertTrue(all(in_payload[offset] for offset in changed))
        # Readers of boxes see the same fragments and samples.
        paths = [self.file("header.mp4", header), self.file("good.mp4", good), self.file("bad.mp4", bad)]
        views = json.loads(run(["node", os.path.join(Here, "segment_readers.mjs"), paths[0], paths[1], paths[2]])[0])
        for reader in ("mp4box", "isoboxer"):
            view = views[reader]
            self.assertEqual(view["errors"], [], reader)
            self.assertEqual([sample[2:] for sample in view["segments"][0]["samples"]], [sample[2:] for sample in view["segments"][1]["samples"]])
        # ffprobe reads every packet; ffmpeg decodes the clean segment
        # silently and reports the damaged pictures of the other.
        for name, body in (("good", good), ("bad", bad)):
            self.file(name + "-whole.mp4", header + body)
        packets = [run(["ffprobe", "-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0",
                        os.path.join(self.directory, name + "-whole.mp4")])[0].strip() for name in ("good", "bad")]
        self.assertEqual(packets[0], packets[1])
        _, clean_report = run(["ffmpeg", "-v", "error", "-i", os.path.join(self.directory, "good-whole.mp4"), "-f", "null", "-"])
        _, damage_report = run(["ffmpeg", "-v", "error", "-i", os.path.join(self.directory, "bad-whole.mp4"), "-f", "null", "-"])
        self.assertEqual(clean_report.strip(), "")
        self.assertRegex(damage_report, r"error while decoding|concealing|decode of .* failed")

    def test_a_gap_is_marked_in_the_playlist_and_missing_on_request(self):
        asset = self.asset("gap=@video:3")
        _, playlist = self.fetch("video.m3u8?asset=%d&variant=0" % asset)
        path = self.file("gap.m3u8", playlist)
        result = json.loads(run(["node", os.path.join(Here, "playlist_readers.mjs"), path])[0])
        self.assertEqual(result["errors"], [])
        for reader in ("hlsParser", "m3u8Parser"):
            gaps = [segment["uri"] for segment in result[reader]["segments"] if segment.get("gap")]
            self.assertEqual(gaps, ["video-body.mp4?asset=%d&variant=0&index=3" % asset], reader)
            self.assertEqual(len(result[reader]["segments"]), 6, reader)
        got, headers, body = self.server.get("video-body.mp4?asset=%d&variant=0&index=3" % asset)
        self.assertEqual(got, 404)
        self.assertEqual(headers["X-Quorvel-Fault"], "gap=@video:3")
        # The audio playlist knows no gap.
        self.assertNotIn(b"EXT-X-GAP", self.fetch("audio.m3u8?asset=%d" % asset)[1])

    def test_a_stale_playlist_repeats_the_previous_one_for_its_time(self):
        at = lambda seconds: StartMilliseconds + seconds * 1000
        asset = self.asset("live&now=%d&stale=6000@playlist:*" % at(0))
        clean = self.asset("live&now=%d" % at(0))
        path = "video.m3u8?asset=%d&variant=0&now=%d"
        headers, first = self.fetch(path % (asset, at(30)))
        self.assertNotIn("X-Quorvel-Fault", headers)
        headers, again = self.fetch(path % (asset, at(34)))
        self.assertEqual(again, first)
        self.assertEqual(headers["X-Quorvel-Fault"], "stale=6000@playlist:*")
        # A fresh one would have moved on by a segment.
        listed = lambda playlist: [int(number) for number in re.findall(rb"index=(\d+)", playlist)]
        self.assertEqual(listed(self.fetch(path % (clean, at(34)))[1]), listed(first)[1:] + [listed(first)[-1] + 1])
        headers, later = self.fetch(path % (asset, at(36)))
        self.assertNotIn("X-Quorvel-Fault", headers)
        self.assertEqual(listed(later), listed(self.fetch(path % (clean, at(36)))[1]))
        self.assertNotEqual(listed(later), listed(first))


class HungAnswerShutdownTest(unittest.TestCase):
    def test_the_server_stops_while_an_answer_hangs(self):
        server = QuorvelServer().start()
        asset = asset_of(server.get("master.m3u8?hang=@playlist:*")[2])
        hung = RawRequest(server, "audio.m3u8?asset=%d" % asset)
        try:
            hung.read_head()
            self.assertEqual(server.stop(), 0)
        finally:
            hung.close()


if __name__ == "__main__":
    unittest.main()
