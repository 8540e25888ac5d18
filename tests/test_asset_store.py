# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end test of the shared asset store (-AssetStore) under a store that
misbehaves: its own redis-server on a free loopback port, without
persistence so that a restart comes back empty, and two instances sharing it.

- A stopped (SIGSTOP) or slowed (DEBUG SLEEP) store holds up only the
  requests that need it: "version" and the playlist of an asset the instance
  holds are answered while a manifest and the load of an unseen asset wait,
  and those two are answered 503 with Retry-After and the status in the body.
- A store restarted empty never gives a number to another asset: the new
  asset's number lies above every old one, the old ones still answer their
  own content (or are unknown), and the live time base is put back.
- Asset keys carry an expiry, started again by a load; the counter does not
  expire; query keys no parser reads are not stored.
- A licence request (POST) for an asset the instance has not seen waits for
  its load like any asset route.
"""

import base64
import json
import re
import select
import signal
import socket
import subprocess
import time
import unittest

from test_scale_out import StoreAndInstances

HangGuard = 300
Key = "00112233445566778899AABBCCDDEEFF"
StoreUnavailable = "0x80FF0E43"
AssetWithoutKey = "0x80FF0C06"
AssetUnknown = "0x80FF0BFE"
# Asks for a manifest again while the store settles or reconnects: each
# answer says when to ask again.
MaximalTries = 60


def read_answer(connection):
    response = connection.getresponse()
    return response.status, response.headers, response.read()


def answered(connection):
    """Whether the server has sent anything on this connection yet."""
    return bool(select.select([connection.sock], [], [], 0)[0])


class AssetStore(StoreAndInstances):
    # Without persistence: a restarted store comes back empty.
    persistence = "no"

    def redis_cli(self, *arguments):
        result = subprocess.run(["redis-cli", "-p", str(self.redis_port)] + list(arguments), capture_output=True, text=True, timeout=HangGuard)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.strip()

    def make(self, instance, query, manifest="master.m3u8"):
        """The number of a new asset made by a manifest request, asked again
        while the store answers 503."""
        for _ in range(MaximalTries):
            status, headers, body = instance.get(manifest + "?" + query, timeout=HangGuard)
            if status != 503:
                break
            self.assertIn(StoreUnavailable, body.decode())
            time.sleep(int(headers["Retry-After"]))
        self.assertEqual(status, 200, body[:300])
        return int(re.search(rb"asset=(\d+)", body).group(1))

    def assertUnavailable(self, answer):
        status, headers, body = answer
        self.assertEqual(status, 503, body[:300])
        self.assertRegex(headers["Retry-After"], r"^[1-9]\d*$")
        self.assertIn("Exception %s\n" % StoreUnavailable, body.decode())
        self.assertIn("Asset store redis://127.0.0.1:%d" % self.redis_port, body.decode())

    def wait_until_redis_sleeps(self):
        """Returns once Redis has begun a DEBUG SLEEP sent to it: it then
        answers nothing else, so a PING goes unanswered."""
        while True:
            with socket.create_connection(("127.0.0.1", self.redis_port), timeout=HangGuard) as probe:
                probe.settimeout(0.2)
                probe.sendall(b"PING\r\n")
                try:
                    probe.recv(16)
                except socket.timeout:
                    return

    def probe_while_pending(self, known, unseen):
        """Sends a manifest and a playlist of an asset instance 0 has not
        seen, then, once the server took both in, "version" and a playlist
        of an asset it holds. True when those two were answered before
        either store request was; the store requests must end in 503."""
        server = self.instances[0]
        mark = len(server.stdout.lines)
        waiting = []
        for path in ("master.m3u8?duration=6", "video.m3u8?asset=%d&variant=0" % unseen):
            connection = server.connection(HangGuard)
            connection.request("GET", server.path(path))
            waiting.append(connection)
            self.assertTrue(server.stdout.wait_for(r"^Request: .*" + re.escape(path), HangGuard, mark))
        try:
            for path in ("version", "video.m3u8?asset=%d&variant=0" % known):
                self.assertEqual(server.get(path, timeout=HangGuard)[0], 200, path)
            pending = not any(answered(connection) for connection in waiting)
            for connection in waiting:
                self.assertUnavailable(read_answer(connection))
            return pending
        finally:
            for connection in waiting:
                connection.close()

    def test_a_stopped_or_slowed_store_holds_up_only_the_requests_that_need_it(self):
        for mode in ("stopped", "slowed"):
            with self.subTest(mode):
                known = self.make(self.instances[0], "duration=6")
                unseen = self.make(self.instances[1], "duration=12")
                if mode == "stopped":
                    self.redis.send_signal(signal.SIGSTOP)
                else:
                    sleeper = socket.create_connection(("127.0.0.1", self.redis_port), timeout=HangGuard)
                    sleeper.sendall(b"DEBUG SLEEP 10\r\n")
                    self.wait_until_redis_sleeps()
                try:
                    # The requests the store holds up are answered after the
                    # others unless this machine took longer than a store
                    # call may take: then the probe is repeated.
                    self.assertTrue(any(self.probe_while_pending(known, unseen) for _ in range(3)))
                finally:
                    if mode == "stopped":
                        self.redis.send_signal(signal.SIGCONT)
                    else:
                        self.assertEqual(sleeper.recv(16), b"+OK\r\n") # the sleep is over
                        sleeper.close()
                # The store is back: both requests are answered again.
                self.assertEqual(self.instances[0].get("video.m3u8?asset=%d&variant=0" % unseen, timeout=HangGuard)[0], 200)
                self.assertGreater(self.make(self.instances[0], "duration=6"), unseen)

    def test_an_empty_restart_never_gives_a_number_to_another_asset(self):
        # Clear on-demand assets: their key route answers "asset without key".
        # Instance 1 makes the higher numbers, which instance 0 never saw.
        old = {self.make(self.instances[0], "duration=6"): 0}
        for _ in range(3):
            old[self.make(self.instances[1], "duration=6")] = 1
        base = self.redis_cli("GET", "quorvel:base-live-time")
        self.stop_redis()
        self.start_redis()
        self.assertEqual(self.redis_cli("DBSIZE"), "0")
        new = self.make(self.instances[0], "live&key=" + Key)
        self.assertGreater(new, max(old))
        self.assertGreater(self.make(self.instances[1], "duration=6"), new)
        for number, maker in old.items():
            for index, instance in enumerate(self.instances):
                with self.subTest(asset=number, instance=index):
                    status, _, body = instance.get("key?asset=%d" % number, timeout=HangGuard)
                    self.assertEqual(status, 400)
                    # Its maker still answers it; the other one never knew it.
                    self.assertIn(AssetWithoutKey if index == maker else AssetUnknown, body.decode())
        for instance in self.instances:
            self.assertEqual(instance.get("key?asset=%d" % new, timeout=HangGuard)[2], bytes.fromhex(Key))
        # The instances put the live time base back for those that start later.
        self.assertEqual(self.redis_cli("GET", "quorvel:base-live-time"), base)

    def test_assets_expire_when_unused_and_keep_only_the_keys_their_parse_reads(self):
        query = "duration=6&junk=%s&key=%s&Duration=3&duration=7&scheme=cbcs&x" % ("j" * 200, Key)
        number = self.make(self.instances[0], query)
        asset = "quorvel:asset:%d" % number
        fields = self.redis_cli("--no-raw", "HGETALL", asset)
        stored = dict(zip(*[iter(re.findall(r'"([^"]*)"', fields))] * 2))
        names = [stored["n%d" % index] for index in range(int(stored["count"]))]
        self.assertEqual(names, ["duration", "key", "scheme"])
        self.assertEqual(stored["v0"], "6")
        lifetime = int(self.redis_cli("TTL", asset))
        self.assertGreater(lifetime, 23 * 3600)
        self.assertLessEqual(lifetime, 24 * 3600)
        # Instance 1 loads it: its lifetime starts again.
        self.assertEqual(self.redis_cli("EXPIRE", asset, "100"), "1")
        status, _, body = self.instances[1].get("key?asset=%d" % number, timeout=HangGuard)
        self.assertEqual((status, body), (200, bytes.fromhex(Key)))
        self.assertGreater(int(self.redis_cli("TTL", asset)), 100)
        for shared in ("quorvel:next-asset", "quorvel:generation", "quorvel:base-live-time"):
            self.assertEqual(self.redis_cli("TTL", shared), "-1", shared)

    def test_a_licence_request_waits_for_the_load_of_its_asset(self):
        number = self.make(self.instances[0], "key=%s&cp" % Key, "manifest.mpd")
        request = json.dumps({"kids": ["o_HG0oR7Tgm14tfIGW86QA"], "type": "temporary"}).encode()
        status, _, body = self.instances[1].get("clearkey?asset=%d" % number, method="POST", body=request, headers={"Content-Type": "application/json"},
                                                timeout=HangGuard)
        self.assertEqual(status, 200, body[:300])
        key = base64.urlsafe_b64encode(bytes.fromhex(Key)).rstrip(b"=").decode()
        self.assertEqual(json.loads(body)["keys"][0]["k"], key)


if __name__ == "__main__":
    unittest.main()
