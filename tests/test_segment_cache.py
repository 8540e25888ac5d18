# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of made media kept and shared: concurrent requests for
one segment get the bytes of one production, later ones the kept bytes
whole with Content-Length; clients that leave a shared production do not
disturb the others; the cache keeps to its limit; entity tags, 304 answers,
Cache-Control and byte ranges.

Whether an answer came from the cache shows in its framing: a kept body is
sent whole with Content-Length, one being made in chunks.
"""

import re
import socket
import threading
import unittest

from quorvel_harness import QuorvelServer
from test_segments import FramesPerVideoSegment, fragments, read_chunked

HangGuard = 300
Immutable = "public, max-age=31536000, immutable"


def new_asset(server, query=""):
    return int(re.search(rb"asset=(\d+)", server.get("master.m3u8" + query)[2]).group(1))


def is_whole(headers):
    return headers.get("Content-Length") is not None and headers.get("Transfer-Encoding") is None


class Prefixed:
    """Bytes already received, then the rest from the socket."""

    def __init__(self, data, connection):
        self.data = data
        self.connection = connection

    def recv(self, size):
        if self.data:
            piece, self.data = self.data[:size], self.data[size:]
            return piece
        return self.connection.recv(size)


def read_answer(connection):
    """Head and body of one answer, chunked or with a Content-Length."""
    buffer = b""
    while b"\r\n\r\n" not in buffer:
        piece = connection.recv(65536)
        if not piece:
            raise AssertionError("closed before the head")
        buffer += piece
    head, rest = buffer.split(b"\r\n\r\n", 1)
    length = re.search(rb"Content-Length: (\d+)", head)
    if not length:
        _, chunks = read_chunked(Prefixed(b"\r\n\r\n" + rest, connection))
        return head.decode(), b"".join(chunks)
    while len(rest) < int(length.group(1)):
        rest += connection.recv(65536)
    return head.decode(), rest


def metrics(server):
    """The samples of the metrics route by name and labels."""
    status, headers, body = server.get("metrics")
    assert status == 200 and headers["Content-Type"].startswith("text/plain; version=0.0.4"), (status, dict(headers))
    samples = {}
    for line in body.decode().splitlines():
        if line and not line.startswith("#"):
            name, value = line.rsplit(" ", 1)
            samples[name] = float(value)
    return samples


def send_get(server, relative, extra=""):
    connection = socket.create_connection(("127.0.0.1", server.port), timeout=HangGuard)
    connection.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n%s\r\n" % (server.path(relative), extra)).encode())
    return connection


class SharedProductions(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = QuorvelServer().start()

    @classmethod
    def tearDownClass(cls):
        assert cls.server.stop() == 0, cls.server.stderr.text()

    def fetch(self, relative, headers=None):
        return self.server.get(relative, headers=headers, timeout=HangGuard)

    def test_concurrent_requests_share_one_production_and_later_ones_the_kept_bytes(self):
        asset = new_asset(self.server)
        path = "video-body.mp4?asset=%d&variant=0&index=4" % asset
        before = metrics(self.server)
        results = [None] * 20

        def get(number):
            results[number] = self.fetch(path)

        threads = [threading.Thread(target=get, args=(number,)) for number in range(len(results))]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        bodies = {body for _, _, body in results}
        self.assertEqual({status for status, _, _ in results}, {200})
        self.assertEqual(len(bodies), 1)
        body = bodies.pop()
        self.assertEqual(len(fragments(body)), FramesPerVideoSegment)
        after = metrics(self.server)
        # One pipeline made it; every other request joined it or was late
        # enough to find it kept.
        self.assertEqual(after["quorvel_productions_started_total"] - before["quorvel_productions_started_total"], 1)
        self.assertEqual(after["quorvel_segments_made_total"] - before["quorvel_segments_made_total"], 1)
        shared = (after["quorvel_joined_requests_total"] - before["quorvel_joined_requests_total"]
                  + after["quorvel_cache_hits_total"] - before["quorvel_cache_hits_total"])
        self.assertEqual(shared, 19)
        self.assertEqual(after['quorvel_answers_total{route="video-body.mp4",status="200"}']
                         - before.get('quorvel_answers_total{route="video-body.mp4",status="200"}', 0), 20)
        status, headers, again = self.fetch(path)
        self.assertTrue(is_whole(headers), dict(headers))
        self.assertEqual(again, body)
        # Another asset with the same options names the same bytes.
        status, headers, other = self.fetch("video-body.mp4?asset=%d&variant=0&index=4" % new_asset(self.server))
        self.assertTrue(is_whole(headers), dict(headers))
        self.assertEqual(other, body)
        # Options that show in the pictures make other bytes.
        status, headers, coded = self.fetch("video-body.mp4?asset=%d&variant=0&index=4" % new_asset(self.server, "?framecode"))
        self.assertFalse(is_whole(headers))
        self.assertNotEqual(coded, body)

    def test_clients_that_join_late_or_leave_a_shared_production_do_not_disturb_the_others(self):
        path = "video-body.mp4?asset=%d&variant=0&index=7" % new_asset(self.server, "?duration=30")
        # The others join once the first client has body bytes: they get
        # what was made before they came, then the rest.
        first = send_get(self.server, path)
        received = b""
        while b"\r\n\r\n" not in received or len(received.partition(b"\r\n\r\n")[2]) < 1000:
            received += first.recv(65536)
        clients = [send_get(self.server, path) for _ in range(4)]
        # Every client has its head (or more) before two of them go.
        for client in clients:
            client.recv(1, socket.MSG_PEEK)
        for leaving in clients[:2]:
            leaving.close()
        bodies = []
        for client in [Prefixed(received, first)] + clients[2:]:
            head, body = read_answer(client)
            self.assertIn(" 200 OK", head)
            bodies.append(body)
        for client in [first] + clients[2:]:
            client.close()
        self.assertEqual(len(set(bodies)), 1)
        self.assertEqual(len(fragments(bodies[0])), FramesPerVideoSegment)
        status, headers, kept = self.fetch(path)
        self.assertTrue(is_whole(headers))
        self.assertEqual(kept, bodies[0])

    def test_media_all_clients_left_is_made_afresh_for_the_next(self):
        path = "video-body.mp4?asset=%d&variant=0&index=9" % new_asset(self.server, "?duration=30")
        clients = [send_get(self.server, path) for _ in range(3)]
        clients[0].recv(1, socket.MSG_PEEK)
        for client in clients:
            client.close()
        status, headers, body = self.fetch(path)
        self.assertEqual(status, 200)
        self.assertEqual(len(fragments(body)), FramesPerVideoSegment)
        self.assertEqual(metrics(self.server)["quorvel_productions_in_progress"], 0)

    def test_entity_tags_answer_304_and_segments_are_immutable(self):
        asset = new_asset(self.server)
        for path in ("video-header.mp4?asset=%d&variant=0", "audio-header.mp4?asset=%d", "audio-body.mp4?asset=%d&index=1",
                     "video-body.mp4?asset=%d&variant=1&index=2"):
            with self.subTest(path):
                status, headers, body = self.fetch(path % asset)
                self.assertEqual(status, 200)
                tag = headers["ETag"]
                self.assertRegex(tag, r'^"[0-9a-f]{32}"$')
                self.assertEqual(headers["Cache-Control"], Immutable)
                self.assertEqual(headers["Accept-Ranges"], "bytes")
                self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
                status, headers, body = self.fetch(path % asset, {"If-None-Match": 'W/"other", ' + tag})
                self.assertEqual((status, body), (304, b""))
                self.assertEqual(headers["ETag"], tag)
                self.assertEqual(headers["Cache-Control"], Immutable)
                self.assertEqual(self.fetch(path % asset, {"If-None-Match": '"other"'})[0], 200)
        clear = self.fetch("video-header.mp4?asset=%d&variant=0" % asset)[1]["ETag"]
        encrypted = new_asset(self.server, "?key=00112233445566778899AABBCCDDEEFF")
        self.assertNotEqual(self.fetch("video-header.mp4?asset=%d&variant=0" % encrypted)[1]["ETag"], clear)

    def test_playlists_say_how_long_they_may_be_kept(self):
        for manifest in ("master.m3u8", "manifest.mpd"):
            self.assertEqual(self.fetch(manifest)[1]["Cache-Control"], "no-store")
        asset = new_asset(self.server)
        status, headers, body = self.fetch("video.m3u8?asset=%d&variant=0" % asset)
        self.assertEqual(headers["Cache-Control"], "no-cache")
        tag = headers["ETag"]
        status, headers, again = self.fetch("video.m3u8?asset=%d&variant=0" % asset, {"If-None-Match": tag})
        self.assertEqual((status, again, headers["ETag"]), (304, b"", tag))
        self.assertNotEqual(self.fetch("video.m3u8?asset=%d&variant=1" % asset)[1]["ETag"], tag)
        live = new_asset(self.server, "?live")
        status, headers, body = self.fetch("video.m3u8?asset=%d&variant=0" % live)
        self.assertEqual(headers["Cache-Control"], "max-age=1") # half of 3 s
        self.assertIsNone(headers["ETag"])
        self.assertEqual(self.fetch("audio.m3u8?asset=%d" % live)[1]["Cache-Control"], "max-age=3")

    def test_byte_ranges_of_kept_and_new_media(self):
        asset = new_asset(self.server)
        path = "audio-body.mp4?asset=%d&index=2" % asset
        body = self.fetch(path)[2]
        length = len(body)
        status, headers, part = self.fetch(path, {"Range": "bytes=0-99"})
        self.assertEqual(status, 206)
        self.assertEqual(headers["Content-Range"], "bytes 0-99/%d" % length)
        self.assertEqual(part, body[:100])
        status, headers, part = self.fetch(path, {"Range": "bytes=-10"})
        self.assertEqual((status, part), (206, body[-10:]))
        status, headers, part = self.fetch(path, {"Range": "bytes=%d-" % length})
        self.assertEqual((status, part), (416, b""))
        self.assertEqual(headers["Content-Range"], "bytes */%d" % length)
        # A range for another version of the body gets the whole body.
        status, headers, part = self.fetch(path, {"Range": "bytes=0-1", "If-Range": '"other"'})
        self.assertEqual((status, part), (200, body))
        # What is not kept yet is made whole for a range: Safari's first ask.
        status, headers, part = self.fetch("audio.mp4?duration=7", {"Range": "bytes=0-1"})
        self.assertEqual(status, 206)
        self.assertEqual(part, b"\0\0")
        total = int(headers["Content-Range"].split("/")[1])
        status, headers, whole = self.fetch("audio.mp4?duration=7")
        self.assertTrue(is_whole(headers))
        self.assertEqual(len(whole), total)
        self.assertEqual(headers["Cache-Control"], "no-cache")


class CacheLimit(unittest.TestCase):
    def test_the_least_recently_used_go_first_and_zero_keeps_nothing(self):
        # Room for two audio segments (about 46 kB each, 65 kB with the
        # bookkeeping of their 300 fragments).
        with QuorvelServer(options=["-Software", "-SegmentCacheBytes", "140000"]) as server:
            asset = new_asset(server, "?duration=60") # 10 audio segments
            made = {}
            for index in range(3):
                status, headers, made[index] = server.get("audio-body.mp4?asset=%d&index=%d" % (asset, index), timeout=HangGuard)
                self.assertFalse(is_whole(headers))
            status, headers, body = server.get("audio-body.mp4?asset=%d&index=2" % asset, timeout=HangGuard)
            self.assertTrue(is_whole(headers))
            status, headers, body = server.get("audio-body.mp4?asset=%d&index=0" % asset, timeout=HangGuard)
            self.assertFalse(is_whole(headers))
            self.assertEqual(body, made[0]) # made again, byte for byte
            # A stream of distinct segments keeps the cache within its limit.
            for index in range(3, 9):
                self.assertEqual(server.get("audio-body.mp4?asset=%d&index=%d" % (asset, index), timeout=HangGuard)[0], 200)
            samples = metrics(server)
            self.assertEqual(samples["quorvel_cache_limit_bytes"], 140000)
            self.assertLessEqual(samples["quorvel_cache_bytes"], 140000)
            self.assertEqual(samples["quorvel_cache_entries"], 2)
            self.assertEqual(samples["quorvel_cache_evictions_total"], 8)
        with QuorvelServer(options=["-Software", "-SegmentCacheBytes", "0"]) as server:
            path = "audio-body.mp4?asset=%d&index=0" % new_asset(server)
            for _ in range(2):
                status, headers, body = server.get(path, timeout=HangGuard)
                self.assertEqual(status, 200)
                self.assertFalse(is_whole(headers))


if __name__ == "__main__":
    unittest.main()
