# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of faults on request: rules given to a manifest apply to
every request of its asset, and each kind is seen by a real client.

curl and Python's http.client and raw sockets see the HTTP faults (status,
delay, throttle, truncation) and the "X-Quorvel-Fault" header that names
every fault that fired; mp4box and codem-isoboxer still read a corrupted
segment box by box while ffmpeg reports its damaged pictures; hls-parser and
m3u8-parser read the missing segment of a gap. Nothing here judges elapsed
time: a delay or a throttle shows in what has arrived while other answers
were made. Which rules are malformed is FaultPlanTest's; how a hang ends,
FaultEdgeTest's; that held answers turn no other client away,
test_held_answers.py's.
"""

import os
import re
import select
import unittest

from media_client import MediaClient
from quorvel_harness import QuorvelServer, read_answer, run_tool

# 2026-12-06T10:00:00Z in milliseconds.
StartMilliseconds = 1796551200000
# Long enough that the other answers of a test are made well inside it on a
# busy machine; the test itself never waits for it to pass.
LongDelay = 20000


run = run_tool


def waiting_bytes(connection):
    """Whether anything has arrived on the socket that was not read yet (no waiting)."""
    return bool(select.select([connection], [], [], 0)[0])


def read_head(connection):
    """The head of an answer, and what came after it in the same reads."""
    received = b""
    while b"\r\n\r\n" not in received:
        piece = connection.recv(65536)
        if not piece:
            raise AssertionError("the connection closed before the head: %r" % received)
        received += piece
    head, _, body = received.partition(b"\r\n\r\n")
    return head.decode("latin-1"), body


def header_lines(head, name):
    return [line.split(":", 1)[1].strip() for line in head.split("\r\n") if line.lower().startswith(name.lower() + ":")]


class FaultTest(MediaClient, unittest.TestCase):
    def answer(self, path):
        """Headers and body of a 200 answer."""
        got, headers, body = self.server.get(path)
        self.assertEqual(got, 200, (path, body[:300]))
        return headers, body

    def test_fail_answers_the_status_and_a_counted_fail_lets_the_retry_through(self):
        asset = self.server.make_asset("fail=404@video:5,503x1@video:2&fail=500@playlist:%252")
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
        dash_asset = self.server.make_asset("fail=503x1@audio:2", "manifest.mpd")
        self.assertEqual(self.server.get("audio-body.mp4?asset=%d&index=3&baseIndex=1" % dash_asset)[0], 503)
        self.assertEqual(self.server.get("audio-body.mp4?asset=%d&index=3&baseIndex=1" % dash_asset)[0], 200)

    def test_a_delayed_answer_starts_only_after_others_were_answered(self):
        asset = self.server.make_asset("live&now=%d&delay=%d@playlist:1" % (StartMilliseconds, LongDelay))
        with self.server.send_get("video.m3u8?asset=%d&variant=0&now=%d" % (asset, StartMilliseconds)) as delayed:
            # The server goes on answering while the delay runs: the next
            # playlist of the same asset and segments of it come back whole.
            self.answer("audio.m3u8?asset=%d&now=%d" % (asset, StartMilliseconds))
            self.answer("audio-body.mp4?asset=%d&index=0" % asset)
            self.assertFalse(waiting_bytes(delayed), "the delayed answer began before the others were answered")
            head, _ = read_head(delayed)
            self.assertTrue(head.startswith("HTTP/1.1 200 OK"), head)
            self.assertEqual(header_lines(head, "X-Quorvel-Fault"), ["delay=%d@playlist:1" % LongDelay])

    def test_a_throttled_answer_trickles_and_arrives_whole(self):
        clean = self.server.make_asset("duration=30")
        asset = self.server.make_asset("duration=30&throttle=8000@audio:1")
        with self.server.send_get("audio-body.mp4?asset=%d&index=1" % asset) as throttled:
            head, received = read_head(throttled)
            self.assertEqual(header_lines(head, "X-Quorvel-Fault"), ["throttle=8000@audio:1"])
            _, expected = self.answer("audio-body.mp4?asset=%d&index=1" % clean)
            # A playlist asked for meanwhile is answered whole while the
            # segment has not got through yet (at 8000 bytes a second its
            # 96 kB take twelve seconds).
            self.answer("audio.m3u8?asset=%d" % asset)
            while waiting_bytes(throttled):
                received += throttled.recv(65536)
            self.assertLess(len(received), len(expected))
            # Streamed as it is made, or whole from the cache: either way it arrives complete.
            self.assertEqual(read_answer(throttled, head.encode("latin-1") + b"\r\n\r\n" + received)[1], expected)

    def test_truncation_ends_a_chunked_body_cleanly_and_a_sized_one_early(self):
        clean = self.server.make_asset("duration=30")
        asset = self.server.make_asset("duration=30&truncate=50%25@video:2,1000@audio:1&truncate=40@playlist:1")
        _, full = self.answer("video-body.mp4?asset=%d&variant=0&index=2" % clean)
        # Whole from the cache now, the truncated segment still goes out
        # chunked and ends cleanly, as a segment being made would.
        headers, half = self.answer("video-body.mp4?asset=%d&variant=0&index=2" % asset)
        self.assertEqual(headers["X-Quorvel-Fault"], "truncate=50%@video:2")
        self.assertEqual(headers["Transfer-Encoding"], "chunked")
        self.assertEqual(half, full[:len(full) // 2])
        _, short = self.answer("audio-body.mp4?asset=%d&index=1" % asset)
        _, audio = self.answer("audio-body.mp4?asset=%d&index=1" % clean)
        self.assertEqual(short, audio[:1000])
        # A playlist has a Content-Length: it is kept, and the connection ends early.
        with self.server.send_get("audio.m3u8?asset=%d" % asset) as playlist:
            head, body = read_head(playlist)
            while piece := playlist.recv(65536):
                body += piece
        self.assertEqual(header_lines(head, "X-Quorvel-Fault"), ["truncate=40@playlist:1"])
        self.assertGreater(int(header_lines(head, "Content-Length")[0]), 40)
        self.assertEqual(len(body), 40)
        self.assertTrue(body.startswith(b"#EXTM3U\r\n"))

    def test_corruption_damages_pictures_while_every_box_still_reads(self):
        clean = self.server.make_asset("duration=30")
        asset = self.server.make_asset("duration=30&corrupt=@video:1")
        _, header = self.answer("video-header.mp4?asset=%d&variant=0" % asset)
        clean_headers, good = self.answer("video-body.mp4?asset=%d&variant=0&index=1" % clean)
        headers, bad = self.answer("video-body.mp4?asset=%d&variant=0&index=1" % asset)
        self.assertEqual(headers["X-Quorvel-Fault"], "corrupt=@video:1")
        # No cache may keep the damaged segment or take it for the clean one.
        self.assertIn("immutable", clean_headers["Cache-Control"])
        self.assertEqual(headers["Cache-Control"], "no-store")
        self.assertNotIn("ETag", headers)
        headers, untouched = self.answer("video-body.mp4?asset=%d&variant=0&index=2" % asset)
        self.assertNotIn("X-Quorvel-Fault", headers)
        self.assertIn("ETag", headers)
        # Which bytes change is Mp4MediaDataDamageTest's; readers of boxes
        # see the same fragments and samples.
        self.assertEqual(len(bad), len(good))
        self.assertNotEqual(bad, good)
        views = self.segment_views(header, [good, bad])
        for reader in ("mp4box", "isoboxer"):
            view = views[reader]
            self.assertEqual(view["errors"], [], reader)
            self.assertEqual([sample[2:] for sample in view["segments"][0]["samples"]], [sample[2:] for sample in view["segments"][1]["samples"]])
        # ffprobe reads every packet; ffmpeg decodes the clean segment
        # silently and reports the damaged pictures of the other.
        wholes = [self.file(header + body) for body in (good, bad)]
        packets = [run(["ffprobe", "-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0",
                        path])[0].strip() for path in wholes]
        self.assertEqual(packets[0], packets[1])
        clean_report, damage_report = (run(["ffmpeg", "-v", "error", "-i", path, "-f", "null", "-"])[1] for path in wholes)
        self.assertEqual(clean_report.strip(), "")
        self.assertRegex(damage_report, r"error while decoding|concealing|decode of .* failed")

    def test_a_gap_is_marked_in_the_playlist_and_missing_on_request(self):
        asset = self.server.make_asset("gap=@video:3")
        _, playlist = self.answer("video.m3u8?asset=%d&variant=0" % asset)
        result = self.playlist_views(playlist.decode())
        for reader in ("hlsParser", "m3u8Parser"):
            gaps = [segment["uri"] for segment in result[reader]["segments"] if segment.get("gap")]
            self.assertEqual(gaps, ["video-body.mp4?asset=%d&variant=0&index=3" % asset], reader)
            self.assertEqual(len(result[reader]["segments"]), 6, reader)
        got, headers, body = self.server.get("video-body.mp4?asset=%d&variant=0&index=3" % asset)
        self.assertEqual(got, 404)
        self.assertEqual(headers["X-Quorvel-Fault"], "gap=@video:3")

    def test_a_stale_playlist_repeats_the_previous_one_for_its_time(self):
        at = lambda seconds: StartMilliseconds + seconds * 1000
        asset = self.server.make_asset("live&now=%d&stale=6000@playlist:*" % at(0))
        clean = self.server.make_asset("live&now=%d" % at(0))
        path = "video.m3u8?asset=%d&variant=0&now=%d"
        headers, first = self.answer(path % (asset, at(30)))
        self.assertNotIn("X-Quorvel-Fault", headers)
        headers, again = self.answer(path % (asset, at(34)))
        self.assertEqual(again, first)
        self.assertEqual(headers["X-Quorvel-Fault"], "stale=6000@playlist:*")
        # A fresh one would have moved on by a segment.
        listed = lambda playlist: [int(number) for number in re.findall(rb"index=(\d+)", playlist)]
        self.assertEqual(listed(self.answer(path % (clean, at(34)))[1]), listed(first)[1:] + [listed(first)[-1] + 1])
        headers, later = self.answer(path % (asset, at(36)))
        self.assertNotIn("X-Quorvel-Fault", headers)
        self.assertEqual(listed(later), listed(self.answer(path % (clean, at(36)))[1]))
        self.assertNotEqual(listed(later), listed(first))


class HungAnswerShutdownTest(unittest.TestCase):
    def test_the_server_stops_while_an_answer_hangs(self):
        server = QuorvelServer().start()
        with server.send_get("audio.m3u8?asset=%d" % server.make_asset("hang=@playlist:*")) as hung:
            read_head(hung)
            self.assertEqual(server.stop(), 0)


if __name__ == "__main__":
    unittest.main()
