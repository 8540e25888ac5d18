# SPDX-License-Identifier: GPL-2.0-or-later
"""Answers held back on purpose (hang, throttle) from many clients at once:
they never turn another client away, each address holds only its share, and
a throttle's memory does not grow with the slowness of its rate. Judged by
what arrives and by the server's resident memory, never by time."""
import unittest

from quorvel_harness import QuorvelServer, head_of, read_answer

# The server's limits (HttpServer::Limits): connections in all, and answers
# held back on purpose from one address.
MaximalConnections = 512
HeldPerAddress = 64


def resident_bytes(process):
    with open("/proc/%d/status" % process.pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) * 1024
    raise AssertionError("no VmRSS")


class HeldAnswers(unittest.TestCase):
    def test_held_answers_never_turn_another_client_away(self):
        for rule in ("hang=@playlist:*", "throttle=1@playlist:*"):
            with self.subTest(rule=rule), QuorvelServer() as server:
                status, _, _ = server.get("master.m3u8?" + rule)
                self.assertEqual(status, 200)
                status, _, segment = server.get("audio-body.mp4?asset=1&index=0")
                self.assertEqual(status, 200)
                held = []
                try:
                    # An address beyond its share of held answers is told so.
                    held = [server.send_get("audio.m3u8?asset=1", "127.0.0.2") for _ in range(HeldPerAddress)]
                    for connection in held:
                        self.assertTrue(head_of(connection).startswith("HTTP/1.1 200 OK"))
                    extra = server.send_get("audio.m3u8?asset=1", "127.0.0.2")
                    self.assertTrue(head_of(extra).startswith("HTTP/1.1 503 "))
                    extra.close()
                    # Then every connection the server has, all held, from eight addresses.
                    for address in range(1, MaximalConnections // HeldPerAddress):
                        more = [server.send_get("audio.m3u8?asset=1", "127.0.0.%d" % (address + 2)) for _ in range(HeldPerAddress)]
                        held += more
                        for connection in more:
                            self.assertTrue(head_of(connection).startswith("HTTP/1.1 200 OK"))
                    # Another client is still served, media from the cache too:
                    # a held answer makes room.
                    for path in ("version", "audio-body.mp4?asset=1&index=0"):
                        with server.send_get(path, "127.0.0.20") as connection:
                            head, body, _ = read_answer(connection)
                        self.assertTrue(head.startswith("HTTP/1.1 200 OK"), head)
                        if path != "version":
                            self.assertEqual(body, segment)
                finally:
                    for connection in held:
                        connection.close()

    def test_a_throttle_holds_no_memory_for_its_slowness(self):
        with QuorvelServer() as server:
            # Made and kept for a clean asset: every throttled answer shares it.
            server.get("master.m3u8?duration=30")
            status, _, segment = server.get("video-body.mp4?asset=1&variant=0&index=1")
            self.assertEqual(status, 200)
            server.get("master.m3u8?duration=30&throttle=1@video:1")
            before = resident_bytes(server.process)
            held = [server.send_get("video-body.mp4?asset=2&variant=0&index=1", "127.0.0.%d" % (2 + index // HeldPerAddress))
                    for index in range(2 * HeldPerAddress)]
            try:
                for connection in held:
                    self.assertIn("X-Quorvel-Fault: throttle=1@video:1", head_of(connection))
                # A byte a second for each: what waits is a place in the shared
                # segment and a timer, not the segment cut into bytes.
                growth = resident_bytes(server.process) - before
                self.assertLess(growth, 32 << 20, "%d bytes more for %d throttled answers of %d bytes" % (growth, len(held), len(segment)))
            finally:
                for connection in held:
                    connection.close()


if __name__ == "__main__":
    unittest.main()
