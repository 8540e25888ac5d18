# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end test of the scale-out recipe of deploy/README.md: Redis, two
instances sharing their assets there, and nginx with deploy/nginx/quorvel.conf
in front, all on free loopback ports. Every playlist and segment of an asset
made through nginx is the same, byte for byte, through nginx and from each
instance directly; a live asset lists the same segments on both instances.
"""

import http.client
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest

from quorvel_harness import REPOSITORY, QuorvelServer, free_port
from test_foundation import run_quorvel

HangGuard = 300


def get(port, path, headers=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=HangGuard)
    try:
        connection.request("GET", path, headers=headers or {})
        response = connection.getresponse()
        return response.status, response.headers, response.read()
    finally:
        connection.close()


def wait_for_port(port, process, what):
    for _ in range(600):
        if process.poll() is not None:
            raise AssertionError("%s ended with %d" % (what, process.returncode))
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=5):
                return
        except OSError:
            time.sleep(0.05)
    raise AssertionError("%s does not listen" % what)


def uris(playlist):
    return [line for line in playlist.decode().split("\r\n") if line and not line.startswith("#")]


class StoreAndInstances(unittest.TestCase):
    """Redis on a free loopback port and two instances sharing their assets
    there; a subclass may start more with start_more."""

    persistence = "yes"

    @classmethod
    def setUpClass(cls):
        cls.processes, cls.instances, cls.redis = [], [], None
        cls.folder = tempfile.mkdtemp(prefix="quorvel-store-")
        try:
            cls.redis_port = free_port()
            cls.start_redis()
            cls.instances = [QuorvelServer(options=["-Software", "-AssetStore", "redis://127.0.0.1:%d" % cls.redis_port]).start() for _ in range(2)]
            cls.start_more()
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def start_redis(cls):
        if not shutil.which("redis-server"):
            raise AssertionError("redis-server is missing: scripts/setup test installs it")
        cls.redis = subprocess.Popen(["redis-server", "--port", str(cls.redis_port), "--bind", "127.0.0.1", "--save", "", "--appendonly", cls.persistence,
                                      "--enable-debug-command", "local", "--dir", cls.folder], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for_port(cls.redis_port, cls.redis, "redis-server")

    @classmethod
    def stop_redis(cls):
        cls.redis.send_signal(signal.SIGCONT)
        cls.redis.terminate()
        cls.redis.wait(30)

    @classmethod
    def start_more(cls):
        pass

    @classmethod
    def tearDownClass(cls):
        codes = [instance.stop() for instance in cls.instances]
        for process in reversed(cls.processes):
            process.terminate()
            process.wait(30)
        if cls.redis:
            cls.stop_redis()
        shutil.rmtree(cls.folder, ignore_errors=True)
        assert codes == [0] * len(codes), codes


class ScaleOut(StoreAndInstances):
    # As the recipe runs it: with persistence (test_asset_store.py runs one without).
    @classmethod
    def start_more(cls):
        if not shutil.which("nginx") and not os.path.exists("/usr/sbin/nginx"):
            raise AssertionError("nginx is missing: scripts/setup test installs it")
        os.chmod(cls.folder, 0o755) # nginx's workers may run as another user
        cls.nginx_port = free_port()
        with open(os.path.join(REPOSITORY, "deploy", "nginx", "quorvel.conf")) as template:
            conf = template.read()
        upstream = "".join("        server 127.0.0.1:%d;\n" % instance.port for instance in cls.instances)
        conf = re.sub(r"(upstream quorvel \{\n)(?:\s*server [^\n]*\n)+", lambda match: match.group(1) + upstream, conf)
        conf = re.sub(r"listen 127\.0\.0\.1:\d+;", "listen 127.0.0.1:%d;" % cls.nginx_port, conf)
        conf = "user root;\n" + conf if os.geteuid() == 0 else conf
        with open(os.path.join(cls.folder, "nginx.conf"), "w") as output:
            output.write(conf)
        cls.nginx = subprocess.Popen(["nginx", "-g", "daemon off; error_log %s/nginx.err warn;" % cls.folder, "-c", os.path.join(cls.folder, "nginx.conf"), "-p", cls.folder + "/"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
        cls.processes.append(cls.nginx)
        try:
            wait_for_port(cls.nginx_port, cls.nginx, "nginx")
        except AssertionError:
            with open(os.path.join(cls.folder, "nginx.err")) as errors:
                raise AssertionError(errors.read())

    def ports(self):
        return [self.nginx_port] + [instance.port for instance in self.instances]

    def same_everywhere(self, path):
        """The body of path, after checking it is the same through nginx
        (twice: round-robin) and from each instance."""
        bodies = []
        for port in [self.nginx_port] + self.ports():
            status, headers, body = get(port, path)
            self.assertEqual(status, 200, (port, path, body[:200]))
            bodies.append(body)
        self.assertEqual(len(set(bodies)), 1, path)
        return bodies[0]

    def test_every_playlist_and_segment_is_the_same_through_nginx_and_from_each_instance(self):
        status, headers, master = get(self.nginx_port, "/hls/master.m3u8?duration=6")
        self.assertEqual(status, 200)
        self.assertEqual(headers["Cache-Control"], "no-store")
        asset = int(re.search(rb"asset=(\d+)", master).group(1))
        media = []
        for playlist in sorted(set(re.findall(r'(?:URI="|^)((?:video|audio)\.m3u8\?[^"\r\n]*)', master.decode(), re.M))):
            text = self.same_everywhere("/hls/" + playlist)
            media += re.findall(r'URI="([^"]+\.mp4[^"]*)"', text.decode())
            media += [uri for uri in uris(text)]
        self.assertGreaterEqual(len(media), 7) # two video playlists of two segments, audio, their headers
        tags = set()
        for uri in sorted(set(media)):
            with self.subTest(uri):
                self.assertIn("asset=%d" % asset, uri)
                self.same_everywhere("/hls/" + uri)
                tags.add(tuple(get(port, "/hls/" + uri)[1]["ETag"] for port in self.ports()))
        # Each piece has one tag on every instance.
        self.assertTrue(all(len(set(row)) == 1 for row in tags))
        status, headers, body = get(self.nginx_port, "/hls/" + media[-1])
        self.assertEqual(headers["X-Cache-Status"], "HIT")

    def test_an_instance_that_cannot_reach_its_store_does_not_start(self):
        result = run_quorvel("-Software", "-AssetStore", "redis://127.0.0.1:%d" % free_port(), "-Location", "http://127.0.0.1:%d/hls/" % free_port())
        self.assertEqual(result.returncode, 1)
        self.assertNotIn("Waiting for Request...", result.stdout)
        self.assertRegex(result.stderr, r"Exception 0x80FF[0-9A-F]{4} Asset store redis://127\.0\.0\.1:\d+: Connection refused")

    def test_a_live_asset_lists_the_same_segments_on_both_instances(self):
        status, _, master = get(self.nginx_port, "/hls/master.m3u8?live")
        asset = int(re.search(rb"asset=(\d+)", master).group(1))
        now = int(time.time() * 1000)
        for playlist in ("video.m3u8?asset=%d&variant=0&now=%d", "audio.m3u8?asset=%d&now=%d"):
            with self.subTest(playlist):
                texts = [get(instance.port, "/hls/" + playlist % (asset, now))[2] for instance in self.instances]
                self.assertEqual(texts[0], texts[1])
                self.assertTrue(uris(texts[0]))
        # An asset unknown to the store is unknown everywhere.
        self.assertEqual(get(self.instances[1].port, "/hls/video.m3u8?asset=%d&variant=0" % (asset + 1000))[0], 400)


if __name__ == "__main__":
    unittest.main()
