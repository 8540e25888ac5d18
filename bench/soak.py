# SPDX-License-Identifier: GPL-2.0-or-later
"""Soak: simulated live players and a trickle of bad requests for minutes.

Runs the server in software mode on loopback. Each player asks for its own
live master playlist ("master.m3u8?live"), takes the first video variant
and the audio rendition, fetches both initialisation segments, then
follows both media playlists as a player does: it reloads each about every
half target duration and fetches every segment new to it, in order, on a
keep-alive connection per track. Beside them one client sends a bad request
every half second (malformed, oversized, unknown asset, bad escape, wrong
method or version, no Host, a request cut off, a client that leaves in the
middle of a segment) and checks that each gets its error answer.

Beside them, unless "calm" is given, a hostile mix from other addresses
keeps the server busy the way an unfriendly lab would: hung answers (as
many as each of four addresses may hold), 40 readers of a segment
throttled to one byte a second, and 20 connections that pipeline requests
for a playlist of a day's live window (megabytes) and never read; every
ten seconds each of them is dropped and opened again.

Every minute it prints the requests so far, failed requests (a player's
request that did not get a complete 200, a bad request that did not get its
error), late segments (delivered after their successor was due: later than
the segment's duration after it appeared in its playlist), and the
server's resident memory and threads. At the end it measures shutdown:
seconds from SIGTERM to exit with 50 segment requests waiting, beside the
same server shutting down idle.

    python3 bench/soak.py [seconds, default 600] [players, default 20] [variant, default 0] [calm]
"""

import http.client
import os
import re
import signal
import socket
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from quorvel_harness import QuorvelServer  # noqa: E402

Seconds = int(sys.argv[1]) if len(sys.argv) > 1 else 600
Players = int(sys.argv[2]) if len(sys.argv) > 2 else 20
Variant = int(sys.argv[3]) if len(sys.argv) > 3 else 0
Hostile = "calm" not in sys.argv[4:]
ReportEvery = 60
# The server's share of held answers for one address.
HeldPerAddress = 64


class Tally:
    """Counts shared by every client thread."""

    def __init__(self):
        self.lock = threading.Lock()
        self.requests = 0
        self.segments = 0
        self.failures = []
        self.late = []

    def add(self, requests=0, segments=0, failure=None, late=None):
        with self.lock:
            self.requests += requests
            self.segments += segments
            if failure:
                self.failures.append(failure)
            if late:
                self.late.append(late)


def process_state(pid):
    """Resident MiB and threads of a process."""
    with open("/proc/%d/status" % pid) as status:
        fields = dict(line.split(":", 1) for line in status)
    return int(fields["VmRSS"].split()[0]) // 1024, int(fields["Threads"])


class Track:
    """One media playlist of one player, on a keep-alive connection of its own."""

    def __init__(self, server, tally, path, stop):
        self.server, self.tally, self.path, self.stop = server, tally, path, stop
        self.connection = server.connection(timeout=60)

    def get(self, path):
        for attempt in range(2):
            try:
                self.connection.request("GET", self.server.path(path))
                response = self.connection.getresponse()
                return response.status, response.read()
            except (http.client.HTTPException, OSError):
                # A kept-alive connection the server closed while idle is
                # reopened, as players do; a second failure counts.
                self.connection.close()
                self.connection = self.server.connection(timeout=60)
                if attempt:
                    raise

    def fetch(self, path):
        self.tally.add(requests=1)
        try:
            status, body = self.get(path)
        except Exception as error:  # noqa: BLE001 - every failure counts
            self.tally.add(failure="%s: %s" % (path, error))
            return None
        if status != 200:
            self.tally.add(failure="%s: %d" % (path, status))
            return None
        return body

    def segments(self, playlist):
        """(duration, uri) of each segment of a playlist text."""
        return [(float(duration), uri.strip()) for duration, uri in re.findall(r"#EXTINF:([\d.]+),[^\n]*\n([^\s#][^\n]*)", playlist)]

    def take(self, uri, duration, appeared):
        body = self.fetch(uri)
        if body is None:
            return
        self.tally.add(segments=1)
        late = time.monotonic() - (appeared + duration)
        if late > 0:
            self.tally.add(late="%s %.2f s late" % (uri, late))

    def run(self):
        playlist = self.fetch(self.path)
        if playlist is None:
            return
        text = playlist.decode()
        header = re.search(r'#EXT-X-MAP:URI="([^"]+)"', text)
        if header:
            self.fetch(header.group(1))
        target = int(re.search(r"#EXT-X-TARGETDURATION:(\d+)", text).group(1))
        # The window there when the player joins is history: it starts at
        # the live edge, with the last segment, and takes every new one.
        known = self.segments(text)
        seen = {uri for _, uri in known}
        if known:
            self.take(known[-1][1], known[-1][0], time.monotonic())
        while not self.stop.wait(target / 2):
            playlist = self.fetch(self.path)
            if playlist is None:
                continue
            appeared = time.monotonic()
            for duration, uri in self.segments(playlist.decode()):
                if uri not in seen:
                    seen.add(uri)
                    self.take(uri, duration, appeared)
        self.connection.close()


def player(server, tally, stop, threads):
    _, _, master = server.get("master.m3u8?live")
    text = master.decode()
    videos = re.findall(r"#EXT-X-STREAM-INF:[^\n]*\n(video\.m3u8\?[^\s]+)", text)
    audio = re.search(r'#EXT-X-MEDIA:TYPE=AUDIO[^\n]*URI="([^"]+)"', text)
    paths = [videos[min(Variant, len(videos) - 1)]] + ([audio.group(1)] if audio else [])
    for path in paths:
        thread = threading.Thread(target=Track(server, tally, path, stop).run, daemon=True)
        thread.start()
        threads.append(thread)


def bad_requests(server, tally, stop):
    """(raw bytes, what the answer must start with; None: closed without one)."""
    cases = [
        (b"NOT HTTP AT ALL\r\n\r\n", b"HTTP/1.1 400 "),
        (b"GET /hls/version HTTP/1.1\r\nHost: a\r\nX-Filler: " + b"a" * 20000 + b"\r\n\r\n", b"HTTP/1.1 431 "),
        (b"GET /hls/video.m3u8?asset=4000000000&variant=0 HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", b"HTTP/1.1 400 "),
        (b"GET /hls/version?a=%zz HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", b"HTTP/1.1 400 "),
        (b"DELETE /hls/version HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", b"HTTP/1.1 400 "),
        (b"GET /hls/version HTTP/2.0\r\nHost: a\r\n\r\n", b"HTTP/1.1 505 "),
        (b"GET /hls/version HTTP/1.1\r\n\r\n", b"HTTP/1.1 400 "),
        (b"GET /hls/webcodecs-videodecoder-A.html?FrameSizeW=641&FrameSizeH=3 HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", b"HTTP/1.1 400 "),
        (b"GET /hls/vers", None),
    ]
    number = 0
    while not stop.wait(0.5):
        data, expected = cases[number % len(cases)]
        number += 1
        tally.add(requests=1)
        try:
            with socket.create_connection(("127.0.0.1", server.port), timeout=30) as client:
                client.sendall(data)
                if expected is None:
                    continue  # leaves with its request half sent
                answer = client.recv(64)
            if not answer.startswith(expected):
                tally.add(failure="bad request %r: %r" % (data[:40], answer[:40]))
        except OSError as error:
            tally.add(failure="bad request %r: %s" % (data[:40], error))
        if number % 10 == 0:
            # A client that leaves in the middle of a segment.
            try:
                _, _, master = server.get("master.m3u8")
                asset = int(re.search(rb"asset=(\d+)", master).group(1))
                with socket.create_connection(("127.0.0.1", server.port), timeout=30) as client:
                    client.sendall(b"GET /hls/video-body.mp4?asset=%d&variant=0&index=1 HTTP/1.1\r\nHost: a\r\n\r\n" % asset)
                    client.recv(100)
            except OSError as error:
                tally.add(failure="leaving client: %s" % error)


def hostile(server, tally, stop):
    """Held, throttled and unread answers from 127.0.0.2 to 127.0.0.9, renewed every ten seconds."""
    def asset(query):
        _, _, master = server.get("master.m3u8?" + query)
        return int(re.search(rb"asset=(\d+)", master).group(1))

    hung = asset("hang=@playlist:*")
    clean = asset("duration=60")
    throttled = asset("duration=60&throttle=1@video:*")
    big = asset("live&lv=86400&ls=86400")
    server.get("video-body.mp4?asset=%d&variant=0&index=1" % clean)  # kept: every throttled answer shares it

    def open_from(address, data):
        connection = socket.create_connection(("127.0.0.1", server.port), timeout=30, source_address=(address, 0))
        connection.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        connection.sendall(data)
        return connection

    def request(path):
        return b"GET /hls/%s HTTP/1.1\r\nHost: a\r\n\r\n" % path.encode()

    while not stop.is_set():
        held = []
        try:
            for number in range(4):
                held += [open_from("127.0.0.%d" % (2 + number), request("audio.m3u8?asset=%d" % hung)) for _ in range(HeldPerAddress)]
            held += [open_from("127.0.0.6", request("video-body.mp4?asset=%d&variant=0&index=1" % throttled)) for _ in range(40)]
            held += [open_from("127.0.0.7", request("video.m3u8?asset=%d&variant=0" % big) * 8) for _ in range(20)]
        except OSError as error:
            tally.add(failure="hostile client: %s" % error)
        stop.wait(10)
        for connection in held:
            connection.close()


def shutdown_seconds(queued):
    """Seconds from SIGTERM to exit with that many segment requests waiting."""
    server = QuorvelServer().start()
    connections = []
    if queued:
        _, _, master = server.get("master.m3u8")
        asset = int(re.search(rb"asset=(\d+)", master).group(1))
        for index in range(queued):
            connection = socket.create_connection(("127.0.0.1", server.port), timeout=60)
            connection.sendall(b"GET /hls/video-body.mp4?asset=%d&variant=0&index=%d HTTP/1.1\r\nHost: a\r\n\r\n" % (asset, index))
            connections.append(connection)
        connections[0].recv(1, socket.MSG_PEEK)
    started = time.monotonic()
    server.process.send_signal(signal.SIGTERM)
    code = server.stop(timeout=120)
    seconds = time.monotonic() - started
    for connection in connections:
        connection.close()
    return seconds, code


def main():
    tally, stop, threads = Tally(), threading.Event(), []
    with QuorvelServer() as server:
        pid = server.process.pid
        for _ in range(Players):
            player(server, tally, stop, threads)
        bad = threading.Thread(target=bad_requests, args=(server, tally, stop), daemon=True)
        bad.start()
        if Hostile:
            threads.append(threading.Thread(target=hostile, args=(server, tally, stop), daemon=True))
            threads[-1].start()
        print("soak: %d live players (video variant %d and audio), a bad request every 0.5 s%s for %d s, %d processors"
              % (Players, Variant, ", the hostile mix" if Hostile else "", Seconds, os.cpu_count()))
        print("%6s %9s %9s %9s %6s %8s %8s" % ("minute", "requests", "segments", "failures", "late", "RSS MiB", "threads"))
        started = time.monotonic()
        minute = 0
        while time.monotonic() - started < Seconds:
            time.sleep(min(ReportEvery, Seconds - (time.monotonic() - started)))
            minute += 1
            memory, count = process_state(pid)
            with tally.lock:
                print("%6d %9d %9d %9d %6d %8d %8d" % (minute, tally.requests, tally.segments, len(tally.failures), len(tally.late), memory, count), flush=True)
        stop.set()
        for thread in threads + [bad]:
            thread.join(120)
    for failure in tally.failures[:10]:
        print("failure:", failure)
    for late in tally.late[:10]:
        print("late:", late)
    idle, idle_code = shutdown_seconds(0)
    loaded, loaded_code = shutdown_seconds(50)
    print("%-52s %8.2f s (exit %d)" % ("shutdown, idle", idle, idle_code))
    print("%-52s %8.2f s (exit %d, goal <= 5 s)" % ("shutdown with 50 segment requests waiting", loaded, loaded_code))
    print("total: %d requests, %d segments, %d failures, %d late segments" % (tally.requests, tally.segments, len(tally.failures), len(tally.late)))


if __name__ == "__main__":
    main()
