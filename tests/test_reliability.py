# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of the server under load, slow clients and bad input:
long work stays off the request loop, slow or departed clients do not hold
the workers, one address cannot lock everyone out, the asset table stays
bounded, requests HTTP does not allow are refused, bad locations end the
start, failed downloads answer 400, and shutdown stays prompt.

Nothing here measures time: behaviour is proven by what arrives and in what
order, and by the server's own trace lines (-Debug) where only the inside
can tell.
"""

import os
import re
import shutil
import signal
import socket
import tempfile
import threading
import unittest

import quorvel_harness
from quorvel_harness import QuorvelServer, binary_path
from test_foundation import error_status, run_quorvel
from test_segments import FramesPerVideoSegment, fragments, read_chunked

# Limits the server names (README).
MaximalConnectionsPerAddress = 128
MaximalHeaderBytes = 16 * 1024
MaximalAssetCount = 100_000
# Lines the server writes with -Debug or to the console.
ClientLeftLine = r"The client left (before its answer was complete|while its request waited)"
CancelledLine = r"The receiver of the segment is gone|The client left while its request waited"
HangGuard = 300


def raw_request(port, path, source="127.0.0.1"):
    """A connection from a loopback address of choice with one GET sent."""
    connection = socket.create_connection(("127.0.0.1", port), timeout=HangGuard, source_address=(source, 0))
    connection.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % path).encode())
    return connection


def read_whole(connection):
    """Head and body of an answer with a Content-Length."""
    buffer = b""
    while b"\r\n\r\n" not in buffer:
        piece = connection.recv(1 << 20)
        if not piece:
            raise AssertionError("closed before the head: %r" % buffer[:100])
        buffer += piece
    head, body = buffer.split(b"\r\n\r\n", 1)
    length = int(re.search(rb"Content-Length: (\d+)", head).group(1))
    while len(body) < length:
        piece = connection.recv(1 << 20)
        if not piece:
            break
        body += piece
    return head.decode(), body, length


def read_to_end(connection):
    data = b""
    try:
        while piece := connection.recv(1 << 20):
            data += piece
    except ConnectionResetError:
        pass
    return data


def pipelined(port, path, count, batch=500):
    """Statuses of count requests for path sent on one connection in batches."""
    statuses = []
    request = ("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % path).encode()
    with socket.create_connection(("127.0.0.1", port), timeout=HangGuard) as connection:
        buffer = b""
        while count:
            size = min(batch, count)
            count -= size
            connection.sendall(request * size)
            for _ in range(size):
                while b"\r\n\r\n" not in buffer:
                    buffer += connection.recv(1 << 20)
                head, buffer = buffer.split(b"\r\n\r\n", 1)
                length = int(re.search(rb"Content-Length: (\d+)", head).group(1))
                while len(buffer) < length:
                    buffer += connection.recv(1 << 20)
                statuses.append(int(head[9:12]))
                buffer = buffer[length:]
    return statuses


class Received:
    """Bytes already received, read again like a socket."""

    def __init__(self, data):
        self.data = data

    def recv(self, size):
        piece, self.data = self.data[:size], self.data[size:]
        return piece


class DebugServer(unittest.TestCase):
    """A server whose trace lines show on its standard output."""

    @classmethod
    def setUpClass(cls):
        cls.server = QuorvelServer(options=["-Software", "-Debug"]).start()

    @classmethod
    def tearDownClass(cls):
        assert cls.server.stop() == 0, cls.server.stderr.text()

    def mark(self):
        return len(self.server.stdout.lines)

    def expect_line(self, pattern, after):
        self.assertIsNotNone(self.server.stdout.wait_for(pattern, HangGuard, after), pattern)


class RequestLoop(DebugServer):
    def test_the_largest_page_is_made_aside_and_stops_when_its_client_leaves(self):
        mark = self.mark()
        page = raw_request(self.server.port, self.server.path(
            "webcodecs-videodecoder-A.html?FrameSizeW=3840&FrameSizeH=2160&FrameRateN=150&FrameRateD=1&SegmentDuration=10"))
        # Its pipeline runs: the source hands out pictures.
        self.expect_line(r"SyntheticMediaStream\.cpp\(\d+\)", mark)
        # Meanwhile the loop answers, and the page has sent nothing yet.
        status, _, body = self.server.get("version")
        self.assertEqual(status, 200)
        page.setblocking(False)
        with self.assertRaises(BlockingIOError):
            page.recv(1)
        page.close()
        self.expect_line(ClientLeftLine, mark)
        self.expect_line(CancelledLine, mark)
        # Pages are made one at a time: this one is made once the abandoned
        # one has stopped, and its frames are the ones served.
        status, _, body = self.server.get("webcodecs-videodecoder-A.html?FrameSizeW=640&FrameSizeH=360&FrameRateN=30&FrameRateD=1&SegmentDuration=2",
                                          timeout=HangGuard)
        self.assertEqual(status, 200)
        self.assertIn(b"const frameCount = 60;", body)
        self.assertEqual(self.server.get("webcodecs-videodecoder-A?frame=60")[0], 400)


class SlowClients(DebugServer):
    def test_clients_that_read_nothing_do_not_hold_the_workers(self):
        # Two files bigger than what the sockets hold, for clients that do
        # not read: both audio workers make them.
        mark = self.mark()
        sleepers = [raw_request(self.server.port, self.server.path("audio.mp4?duration=600&n=%d" % number)) for number in range(2)]
        for number in range(2):
            self.expect_line(r"^Request: .*audio\.mp4\?duration=600&n=%d$" % number, mark)
        # An audio segment asked for later waits for a free worker, which
        # it gets while the two clients still have not read a byte.
        asset = int(re.search(rb"asset=(\d+)", self.server.get("master.m3u8")[2]).group(1))
        status, _, body = self.server.get("audio-body.mp4?asset=%d&index=3" % asset, timeout=HangGuard)
        self.assertEqual(status, 200)
        self.assertEqual(len(fragments(body)), 281)
        # The two files were handed over whole: each client reads all of it.
        for sleeper in sleepers:
            head, body, length = read_whole(sleeper)
            sleeper.close()
            self.assertIn("200 OK", head)
            self.assertEqual(len(body), length)

    def test_a_whole_file_stops_when_its_client_leaves(self):
        for path in ("audio.mp4?duration=3600", "video.mp4"):
            with self.subTest(path):
                mark = self.mark()
                leaving = raw_request(self.server.port, self.server.path(path))
                self.expect_line(r"^Request: .*/%s$" % re.escape(path), mark)
                leaving.close()
                self.expect_line(CancelledLine, mark)
        self.assertEqual(self.server.get("audio.mp4?duration=7", timeout=HangGuard)[0], 200)


class Connections(unittest.TestCase):
    def test_one_address_cannot_lock_everyone_out(self):
        with QuorvelServer() as server:
            idle = [socket.create_connection(("127.0.0.1", server.port), timeout=HangGuard, source_address=("127.0.0.1", 0)) for _ in range(512)]
            try:
                # Another client is served, and so is the same one: room is
                # made by closing that address's longest-idle connections.
                for source in ("127.0.0.2", "127.0.0.1"):
                    with self.subTest(source), raw_request(server.port, server.path("version"), source) as client:
                        head, body, _ = read_whole(client)
                        self.assertTrue(head.startswith("HTTP/1.1 200 "), head)
                self.assertEqual(read_to_end(idle[0]), b"")
                open_ones = 0
                for connection in idle[-MaximalConnectionsPerAddress // 2:]:
                    connection.setblocking(False)
                    try:
                        open_ones += connection.recv(1) != b""
                    except BlockingIOError:
                        open_ones += 1
                self.assertEqual(open_ones, MaximalConnectionsPerAddress // 2)
            finally:
                for connection in idle:
                    connection.close()


class Assets(unittest.TestCase):
    def test_the_asset_table_keeps_the_most_recently_used(self):
        with QuorvelServer() as server:
            first = int(re.search(rb"asset=(\d+)", server.get("master.m3u8")[2]).group(1))
            statuses = pipelined(server.port, server.path("master.m3u8?noaudio"), MaximalAssetCount)
            self.assertEqual(set(statuses), {200})
            status, _, body = server.get("video.m3u8?asset=%d&variant=0" % first)
            self.assertEqual((status, error_status(body)), (400, "0x80FF0BFE"))
            self.assertEqual(server.get("video.m3u8?asset=%d&variant=0" % (first + 1))[0], 200)
            self.assertEqual(server.get("video.m3u8?asset=%d&variant=0" % (first + MaximalAssetCount))[0], 200)


class Conformance(unittest.TestCase):
    def test_host_version_and_head_size(self):
        with QuorvelServer() as server:
            def answer(head):
                return server.raw(head.encode())

            for head in ("GET /hls/version HTTP/1.1\r\n\r\n", "GET /hls/version HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n"):
                with self.subTest(head):
                    self.assertTrue(answer(head).startswith(b"HTTP/1.1 400 Bad Request\r\n"))
            for version in ("HTTP/1.2", "HTTP/2.0", "HTTP/0.9"):
                with self.subTest(version):
                    self.assertTrue(answer("GET /hls/version %s\r\nHost: a\r\n\r\n" % version).startswith(b"HTTP/1.1 505 "))
            self.assertIn(b"Git Describe", answer("GET /hls/version HTTP/1.0\r\n\r\n"))
            # Exactly the limit is served; one byte more is not, whichever line holds it.
            start = "GET /hls/version HTTP/1.1\r\nHost: a\r\nConnection: close\r\nX-Fill: "
            for size, status in ((MaximalHeaderBytes, b"200"), (MaximalHeaderBytes + 1, b"431")):
                with self.subTest(size):
                    self.assertTrue(answer(start + "f" * (size - len(start) - 4) + "\r\n\r\n").startswith(b"HTTP/1.1 " + status))
            line = "GET /hls/version?" + "q" * (MaximalHeaderBytes - 38) + " HTTP/1.1\r\n"
            self.assertTrue(answer(line + "Host: a\r\n\r\n").startswith(b"HTTP/1.1 431 "))


class Start(unittest.TestCase):
    def test_a_location_without_a_final_slash_ends_the_start(self):
        result = run_quorvel("-Software", "-Location", "http://127.0.0.1:%d/hls" % quorvel_harness.free_port())
        self.assertEqual(result.returncode, 1)
        self.assertNotIn("Waiting for Request...", result.stdout)
        self.assertIn('Exception 0x80070057 Location http://127.0.0.1:', result.stderr)
        self.assertIn('/hls is not valid: the path does not end with "/"', result.stderr)


class FailedDownloads(unittest.TestCase):
    def test_a_download_that_fails_before_its_head_answers_400(self):
        # The first response file will be "000-audio.mp4", which a folder
        # of that name makes impossible to write.
        program = tempfile.mkdtemp(prefix="quorvel-program-")
        try:
            shutil.copy(binary_path(), program)
            os.makedirs(os.path.join(program, "Response", "000-audio.mp4"))
            original = quorvel_harness.binary_path
            quorvel_harness.binary_path = lambda: os.path.join(program, "quorvel")
            try:
                server = QuorvelServer(options=["-Software", "-WriteResponseBody"]).start()
            finally:
                quorvel_harness.binary_path = original
            try:
                status, headers, body = server.get("audio.mp4?duration=2", timeout=HangGuard)
                self.assertEqual(status, 400)
                self.assertEqual(error_status(body), "0x80070005")
                self.assertEqual(headers["Content-Type"], "text/plain; charset=utf-8")
                self.assertEqual(server.get("version")[0], 200)
            finally:
                self.assertEqual(server.stop(), 0, server.stderr.text())
        finally:
            shutil.rmtree(program, ignore_errors=True)


class Shutdown(unittest.TestCase):
    def test_sigterm_drops_waiting_segments_and_lets_running_ones_finish(self):
        server = QuorvelServer().start()
        try:
            # 150 s: 50 video segments.
            asset = int(re.search(rb"asset=(\d+)", server.get("master.m3u8?duration=150")[2]).group(1))
            connections = [raw_request(server.port, server.path("video-body.mp4?asset=%d&variant=0&index=%d" % (asset, index))) for index in range(50)]
            # Once the first segment is under way, most of the others wait.
            connections[0].recv(1, socket.MSG_PEEK)
            server.process.send_signal(signal.SIGTERM)
            outcomes = []
            for connection in connections:
                connection.setblocking(True)
                data = read_to_end(connection)
                connection.close()
                if not data:
                    outcomes.append("dropped")
                    continue
                # Whatever was started is complete.
                head, chunks = read_chunked(Received(data))
                self.assertIn("200 OK", head)
                self.assertEqual(len(fragments(b"".join(chunks))), FramesPerVideoSegment)
                outcomes.append("complete")
            self.assertIn("complete", outcomes)
            self.assertIn("dropped", outcomes)
        finally:
            self.assertEqual(server.stop(), 0, server.stderr.text())


if __name__ == "__main__":
    unittest.main()
