# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of the server under load and slow clients: long work
stays off the request loop, slow or departed clients do not hold the
workers, failed downloads answer 400, and shutdown stays prompt. How a
connection is admitted and refused is judged by the HTTP unit tests
(ConnectionTest), the asset table's bound by AssetRegistryTest, a
production that stops when its last client leaves by SegmentProductionTest
(test_segments.py sees the pipelines end).

Nothing here measures time: behaviour is proven by what arrives and in what
order, and by the server's own trace lines (-Debug) where only the inside
can tell.
"""

import os
import shutil
import signal
import socket
import tempfile
import unittest

from media_client import MediaClient
from quorvel_harness import FramesPerVideoSegment, QuorvelServer, binary_path, fragments, read_answer
from test_foundation import error_status

# Lines the server writes with -Debug or to the console.
ClientLeftLine = r"The client left (before its answer was complete|while its request waited)"
CancelledLine = r"The receiver of the segment is gone|The client left while its request waited"
HangGuard = 300


class DebugServer(MediaClient):
    """A server whose trace lines show on its standard output."""

    options = ("-Software", "-Debug")

    def mark(self):
        return len(self.server.stdout.lines)

    def expect_line(self, pattern, after):
        self.assertIsNotNone(self.server.stdout.wait_for(pattern, HangGuard, after), pattern)


class RequestLoop(DebugServer, unittest.TestCase):
    def test_the_largest_page_is_made_aside_and_stops_when_its_client_leaves(self):
        mark = self.mark()
        page = self.server.send_get("webcodecs-videodecoder-A.html?FrameSizeW=3840&FrameSizeH=2160&FrameRateN=150&FrameRateD=1&SegmentDuration=10",
                                    timeout=HangGuard)
        # Its pipeline runs: the source hands out pictures.
        self.expect_line(r"SyntheticMediaStream\.cpp\(\d+\)", mark)
        # Meanwhile the loop answers, and the page has sent nothing yet.
        self.assertEqual(self.server.get("version")[0], 200)
        page.setblocking(False)
        with self.assertRaises(BlockingIOError):
            page.recv(1)
        page.close()
        self.expect_line(ClientLeftLine, mark)
        self.expect_line(CancelledLine, mark)
        # Pages are made one at a time: this one is made once the abandoned
        # one has stopped (what a page holds is test_segments.py's).
        self.assertEqual(self.server.get("webcodecs-videodecoder-A.html?FrameSizeW=640&FrameSizeH=360", timeout=HangGuard)[0], 200)


class SlowClients(DebugServer, unittest.TestCase):
    def test_clients_that_read_nothing_do_not_hold_the_workers(self):
        # Two files bigger than what the sockets hold, for clients that do
        # not read: both audio workers make them.
        mark = self.mark()
        sleepers = [self.server.send_get("audio.mp4?duration=600&n=%d" % number, timeout=HangGuard) for number in range(2)]
        for number in range(2):
            self.expect_line(r"^Request: .*audio\.mp4\?duration=600&n=%d$" % number, mark)
        # An audio segment asked for later waits for a free worker, which
        # it gets while the two clients still have not read a byte.
        asset = self.server.make_asset()
        status, _, body = self.server.get("audio-body.mp4?asset=%d&index=3" % asset, timeout=HangGuard)
        self.assertEqual(status, 200)
        self.assertEqual(len(fragments(body)), 281)
        # The two files were handed over whole: each client reads all of it.
        for sleeper in sleepers:
            head, body, chunks = read_answer(sleeper)
            sleeper.close()
            self.assertIn("200 OK", head)
            self.assertIsNone(chunks)


class FailedDownloads(unittest.TestCase):
    def test_a_download_that_fails_before_its_head_answers_400(self):
        # The first response file will be "000-audio.mp4", which a folder
        # of that name makes impossible to write.
        program = tempfile.mkdtemp(prefix="quorvel-program-")
        try:
            shutil.copy(binary_path(), program)
            os.makedirs(os.path.join(program, "Response", "000-audio.mp4"))
            with QuorvelServer(options=["-Software", "-WriteResponseBody"], program=os.path.join(program, "quorvel")) as server:
                status, headers, body = server.get("audio.mp4?duration=2", timeout=HangGuard)
                self.assertEqual((status, error_status(body)), (400, "0x80070005"))
                self.assertEqual(headers["Content-Type"], "text/plain; charset=utf-8")
                self.assertEqual(server.get("version")[0], 200)
        finally:
            shutil.rmtree(program, ignore_errors=True)


class Shutdown(unittest.TestCase):
    def test_sigterm_drops_waiting_segments_and_lets_running_ones_finish(self):
        server = QuorvelServer().start()
        try:
            # 150 s: 50 video segments.
            asset = server.make_asset("duration=150")
            connections = [server.send_get("video-body.mp4?asset=%d&variant=0&index=%d" % (asset, index), timeout=HangGuard) for index in range(50)]
            # Once the first segment is under way, most of the others wait.
            connections[0].recv(1, socket.MSG_PEEK)
            server.process.send_signal(signal.SIGTERM)
            outcomes = []
            for connection in connections:
                try:
                    first = connection.recv(65536)
                except ConnectionResetError:
                    first = b""
                if first:
                    # Whatever was started is complete.
                    head, body, _ = read_answer(connection, first)
                    self.assertIn("200 OK", head)
                    self.assertEqual(len(fragments(body)), FramesPerVideoSegment)
                connection.close()
                outcomes.append("complete" if first else "dropped")
            self.assertIn("complete", outcomes)
            self.assertIn("dropped", outcomes)
        finally:
            self.assertEqual(server.stop(), 0, server.stderr.text())


if __name__ == "__main__":
    unittest.main()
