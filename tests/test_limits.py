# SPDX-License-Identifier: GPL-2.0-or-later
"""Connection limits from the command line, the clients a trusted proxy names
in X-Forwarded-For, and the open-file limit the connection limit needs:
judged by what arrives and by what the server prints, never by time."""
import unittest

from media_client import MediaClient
from quorvel_harness import QuorvelServer, binary_path, head_of, read_answer

HangGuard = 120
# Files the server keeps for itself besides its connections: the refused
# sockets that may linger (64) and its own files (OpenFileLimit::OwnFiles).
OtherFiles = 64 + 192


def to_end(connection):
    received = b""
    while True:
        piece = connection.recv(65536)
        if not piece:
            return received.decode("latin-1")
        received += piece


def forwarded(address):
    return "X-Forwarded-For: 203.0.113.1, %s\r\n" % address if address else ""


class ClientsAndTheirShares(MediaClient, unittest.TestCase):
    options = ("-Software", "-MaxConnectionsPerAddress", "2", "-TrustedProxy", "127.0.0.1")

    def test_each_client_has_its_own_connections(self):
        rows = [
            # source, X-Forwarded-For of two busy connections and of one more (refused: the same client);
            # then another client, answered: source, X-Forwarded-For
            # From the trusted proxy each forwarded client has its own connections.
            ("127.0.0.1", ["10.0.0.1", "10.0.0.1"], "10.0.0.1", ("127.0.0.1", "10.0.0.2")),
            # From anywhere else the field is ignored: the address is the client.
            ("127.0.0.3", ["10.0.0.5", "10.0.0.6"], "10.0.0.7", ("127.0.0.4", "10.0.0.5")),
        ]
        for number, (source, busy_for, beyond_for, (other_source, other_for)) in enumerate(rows):
            with self.subTest(source=source, forwarded=beyond_for):
                # A 600 s audio file, made for seconds and then never read,
                # keeps a connection answering: it cannot make room.
                busy = []
                try:
                    for index, address in enumerate(busy_for):
                        path = "audio.mp4?duration=600&n=%d" % (2 * number + index)
                        busy.append(self.server.send_get(path, source, forwarded(address), HangGuard))
                        # Its head says it was admitted and counted; its body stays unread.
                        self.assertTrue(head_of(busy[-1]).startswith("HTTP/1.1 200 OK"))
                    with self.server.send_get("version", source, forwarded(beyond_for)) as beyond:
                        refused = to_end(beyond)
                    self.assertTrue(refused.startswith("HTTP/1.1 503 "), refused)
                    self.assertTrue(refused.endswith("Too many connections are open."), refused)
                    with self.server.send_get("version?n=%d" % number, other_source, forwarded(other_for)) as other:
                        head, _, _ = read_answer(other)
                    self.assertIn(" 200 OK", head)
                finally:
                    for connection in busy:
                        connection.close()

    def test_held_answers_take_half_of_a_named_clients_connections(self):
        asset = self.server.make_asset("hang=@playlist:*")
        path = "audio.m3u8?asset=%d" % asset
        with self.server.send_get(path, "127.0.0.1", forwarded("10.0.1.1")) as held:
            self.assertTrue(head_of(held).startswith("HTTP/1.1 200 OK"))
            with self.server.send_get(path, "127.0.0.1", forwarded("10.0.1.1")) as second:
                self.assertTrue(head_of(second).startswith("HTTP/1.1 503 "))
            with self.server.send_get(path, "127.0.0.1", forwarded("10.0.1.2")) as another:
                self.assertTrue(head_of(another).startswith("HTTP/1.1 200 OK"))


class OpenFiles(unittest.TestCase):
    def test_the_open_file_limit_follows_the_connection_limit(self):
        rows = [
            # prlimit's open files (soft:hard), the server's options, the soft limit it then runs with, the line it prints
            ("300:4096", ["-MaxConnections", "1000"], 1000 + OtherFiles, None),
            ("400:400", [], 400,
             r"^Warning, open files are limited to 400 .*, %d are needed for 512 connections: serving at most %d connections\. Raise the hard limit"
             % (512 + OtherFiles, 400 - OtherFiles)),
        ]
        for files, options, soft, warning in rows:
            with self.subTest(files=files), QuorvelServer(["--nofile=" + files, binary_path(), "-Software"] + options,
                                                          program="/usr/bin/prlimit") as server:
                with open("/proc/%d/limits" % server.process.pid) as limits:
                    self.assertRegex(limits.read(), r"Max open files +%d +%s " % (soft, files.split(":")[1]))
                self.assertEqual(server.get("version")[0], 200)
                if warning:
                    self.assertIsNotNone(server.stderr.wait_for(warning, HangGuard), server.stderr.text())
                else:
                    self.assertNotIn("open files", server.stderr.text())


if __name__ == "__main__":
    unittest.main()
