# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end tests of the answers to hostile input, sent as an unfriendly
client would: repeated header fields, transfer codings the server does not
implement, and newcomers turned away at the connection limit with a request
body the server never reads. Every answer is judged by what arrives: its
status, its error body, and an end of the connection that is a FIN, never a
reset. Numbers that name no segment, part or period are refused in
test_presentation.py's table.
"""

import socket
import unittest

from media_client import MediaClient
from quorvel_harness import QuorvelServer

HangGuard = 300
# More than the socket buffers hold while nobody reads: a client that sends
# it to a server that closes without reading is reset mid-send.
UnreadBody = 512 * 1024


def exchange(port, data, source="127.0.0.1"):
    """Sends data whole and reads until the server closes. A reset at any
    point raises, as it does in clients that stop at the first error. The
    send buffer is small and fixed, so that more than fits in it is only
    sent as the server reads."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as client:
        client.settimeout(HangGuard)
        client.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 16384)
        client.bind((source, 0))
        client.connect(("127.0.0.1", port))
        client.sendall(data)
        received = b""
        while piece := client.recv(65536):
            received += piece
        return received


def chunked(body, size=16384):
    return b"".join(b"%x\r\n%s\r\n" % (len(body[start:start + size]), body[start:start + size]) for start in range(0, len(body), size)) + b"0\r\n\r\n"


class HostileRequests(MediaClient, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.asset = cls.server.make_asset("duration=30")

    def test_list_fields_combine_and_singleton_fields_must_agree(self):
        path = "video.m3u8?asset=%d&variant=0" % self.asset
        tag = self.server.get(path)[1]["ETag"]
        lines = ["If-None-Match: \"other-%d\"" % number for number in range(300)] + ["If-None-Match: %s" % tag]
        answer = exchange(self.server.port, ("GET %s HTTP/1.1\r\nHost: a\r\nConnection: close\r\n%s\r\n\r\n" % (self.server.path(path), "\r\n".join(lines))).encode())
        self.assertTrue(answer.startswith(b"HTTP/1.1 304 "), answer[:200])
        segment = self.server.path("audio-body.mp4?asset=%d&index=0" % self.asset)
        for fields, start, named in (("Range: bytes=0-9\r\nRange: bytes=10-19", b"HTTP/1.1 400 ", b"Range"),
                                     ("If-Range: \"a\"\r\nRange: bytes=0-9\r\nIf-Range: \"b\"", b"HTTP/1.1 400 ", b"If-Range"),
                                     ("Range: bytes=0-9\r\nRange: bytes=0-9", b"HTTP/1.1 206 ", b"Content-Range: bytes 0-9/")):
            with self.subTest(fields):
                answer = exchange(self.server.port, ("GET %s HTTP/1.1\r\nHost: a\r\nConnection: close\r\n%s\r\n\r\n" % (segment, fields)).encode())
                self.assertTrue(answer.startswith(start), answer[:200])
                self.assertIn(named, answer)

    def test_transfer_codings_other_than_chunked_are_refused_and_the_connection_closed(self):
        version = self.server.path("version")
        # Bodies that are answered are within the body limit; refused ones are
        # never read, and far longer.
        rows = [
            ("chunked", b"HTTP/1.1 200 "),
            (" , chunked", b"HTTP/1.1 200 "),
            ("gzip, chunked", b"HTTP/1.1 501 Not Implemented\r\n"),
            ("GZIP , Chunked", b"HTTP/1.1 501 Not Implemented\r\n"),
            ("x-private;level=1, chunked", b"HTTP/1.1 501 Not Implemented\r\n"),
            ("gzip", b"HTTP/1.1 400 "),
            ("chunked, gzip", b"HTTP/1.1 400 "),
            ("chunked, chunked", b"HTTP/1.1 400 "),
        ]
        for coding, start in rows:
            with self.subTest(coding):
                head = "GET %s HTTP/1.1\r\nHost: a\r\nConnection: close\r\nTransfer-Encoding: %s\r\n\r\n" % (version, coding)
                body = chunked(b"x" * (1000 if start == b"HTTP/1.1 200 " else UnreadBody))
                answer = exchange(self.server.port, head.encode() + body)
                self.assertTrue(answer.startswith(start), answer[:200])
                if start.startswith(b"HTTP/1.1 501"):
                    self.assertIn(b"Connection: close\r\n", answer)
                    self.assertIn(b'The transfer coding "%s" is not implemented' % coding.split(",")[0].split(";")[0].strip().encode(), answer)



class RefusedWhileSending(unittest.TestCase):
    def test_a_refused_client_reads_its_answer_whatever_it_still_sends(self):
        # The refusal is written while the client is still sending a body
        # that is never read: the socket lingers, so the answer is not lost
        # to a reset. (Newcomers refused at the connection limit linger the
        # same way.)
        with QuorvelServer() as server:
            head = "POST %s HTTP/1.1\r\nHost: a\r\nContent-Length: %d\r\n\r\n" % (server.path("version"), UnreadBody)
            for number in range(8):
                with self.subTest(number):
                    answer = exchange(server.port, head.encode() + b"x" * UnreadBody)
                    self.assertTrue(answer.startswith(b"HTTP/1.1 413 Payload Too Large\r\n"), answer[:200])
                    self.assertTrue(answer.endswith(b"The request body is too large.\n"), answer[-100:])
            self.assertIn(b"Git Describe", exchange(server.port, b"GET /hls/version HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n"))


if __name__ == "__main__":
    unittest.main()
