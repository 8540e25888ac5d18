#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Live players on one machine, with and without the segment cache, and the
cached segments beside nginx serving the same segment files.

Each simulated player makes its own live asset of the same options
("master.m3u8?live"), follows its video playlist (variant 0) and its audio
playlist as a player does (reload after a segment duration, or half of one
when nothing new came), and fetches every new segment on a keep-alive
connection per track, starting at the live edge. A segment is late when it
arrives more than one segment duration after it was asked for, that is
after the next one was due. Printed per player count: segments, late
segments, p50/p99 latency of a segment, errors (a refused master playlist
counts as a video error), and the server's processor use (cores).

Then wrk asks 64 connections for one cached segment from the server and
the same bytes as a file from nginx (nginx-light), and the ratio of their
requests per second is printed.

    bench/live_players.py [--counts 10,50,100,200] [--seconds 60] [--modes cache,nocache]
        [--addresses per-player|one] [--server-args "-SomeOption value ..."]

"nocache" runs the server with -SegmentCacheBytes 0: requests that arrive
while a segment is made still share its making.

Each player connects from a loopback address of its own (127.0.x.y, bound
before connecting; Linux routes all of 127.0.0.0/8 to the loopback) unless
--addresses one puts every player on 127.0.0.1, where the server's limit of
connections per client address applies to all of them together.
--server-args passes more options to the server (split as a shell would),
for example its connection limits when a thousand players come. The
benchmark raises its own limit of open files to the hard limit, which the
server it starts inherits: a player holds two connections.
"""

import argparse
import asyncio
import os
import random
import re
import resource
import shlex
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from nginx_peer import NginxPeer

REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BINARY = os.path.join(os.environ.get("QUORVEL_BINARY_DIR", os.path.join(REPOSITORY, "build")), "bin", "quorvel")
VIDEO_SECONDS = 3.0
AUDIO_SECONDS = 6.0


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def processor_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def start_server(options):
    port = free_port()
    process = subprocess.Popen([BINARY, "-Software", "-Location", "http://127.0.0.1:%d/hls/" % port] + options,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    for line in process.stdout:
        if line.startswith("Waiting for Request"):
            break
    # The console prints a line per request: drain it.
    asyncio.get_event_loop().run_in_executor(None, lambda: [None for _ in process.stdout])
    return process, port


class Connection:
    """One keep-alive HTTP/1.1 connection, from a loopback address of its
    player: the server admits 128 connections per client address."""

    def __init__(self, port, source):
        self.port = port
        self.source = source
        self.reader = None
        self.writer = None

    async def get(self, path):
        if self.writer is None:
            self.reader, self.writer = await asyncio.open_connection("127.0.0.1", self.port, limit=1 << 22, local_addr=(self.source, 0))
        self.writer.write(("GET /hls/%s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % path).encode())
        head = await self.reader.readuntil(b"\r\n\r\n")
        status = int(head[9:12])
        length = re.search(rb"Content-Length: (\d+)", head, re.I)
        if length:
            return status, await self.reader.readexactly(int(length.group(1)))
        body = b""
        while True:
            size = int((await self.reader.readuntil(b"\r\n"))[:-2], 16)
            data = await self.reader.readexactly(size + 2)
            if size == 0:
                return status, body
            body += data[:-2]

    def close(self):
        if self.writer:
            self.writer.close()


class Figures:
    def __init__(self):
        self.latencies = []
        self.late = 0
        self.errors = 0


async def follow(port, source, asset, playlist, duration, deadline, figures):
    connection = Connection(port, source)
    last = None
    while time.monotonic() < deadline:
        try:
            status, text = await connection.get(playlist % asset)
            if status != 200:
                figures.errors += 1
                await asyncio.sleep(duration)
                continue
            uris = [line for line in text.decode().split("\r\n") if line and not line.startswith("#")]
            numbers = [int(re.search(r"index=(\d+)", uri).group(1)) for uri in uris]
            new = [(number, uri) for number, uri in zip(numbers, uris) if last is None and number == numbers[-1] or last is not None and number > last]
            for number, uri in new:
                started = time.monotonic()
                status, body = await connection.get(uri)
                latency = time.monotonic() - started
                if status != 200 or not body:
                    figures.errors += 1
                    continue
                figures.latencies.append(latency)
                figures.late += latency > duration
                last = number
            await asyncio.sleep(duration if new else duration / 2)
        except (OSError, asyncio.IncompleteReadError, ValueError):
            # A player opens another connection and goes on.
            figures.errors += 1
            connection.close()
            connection = Connection(port, source)
            await asyncio.sleep(1)
    connection.close()


def player_address(number, own_addresses=True):
    """The loopback address player number connects from."""
    return "127.0.%d.%d" % (1 + number // 200, 2 + number % 200) if own_addresses else "127.0.0.1"


def raise_open_file_limit(needed):
    """Raises this process's soft limit of open files to the hard one (the
    server started afterwards inherits it); says so when even that is short."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft != hard:
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    if hard != resource.RLIM_INFINITY and hard < needed:
        print("warning: at most %d open files (ulimit -Hn), %d wanted: players will fail to connect" % (hard, needed))
    return hard


async def player(port, number, deadline, video, audio, own_addresses=True):
    source = player_address(number, own_addresses)
    await asyncio.sleep(random.uniform(0, VIDEO_SECONDS))
    asset = None
    while asset is None:
        # A refused master playlist is an error; the player asks again.
        connection = Connection(port, source)
        try:
            status, master = await connection.get("master.m3u8?live")
            found = re.search(rb"asset=(\d+)", master) if status == 200 else None
            asset = int(found.group(1)) if found else None
        except (OSError, asyncio.IncompleteReadError, ValueError):
            pass
        finally:
            connection.close()
        if asset is None:
            video.errors += 1
            if time.monotonic() + 1 >= deadline:
                return
            await asyncio.sleep(1)
    await asyncio.gather(follow(port, source, asset, "video.m3u8?asset=%d&variant=0", VIDEO_SECONDS, deadline, video),
                         follow(port, source, asset, "audio.m3u8?asset=%d", AUDIO_SECONDS, deadline, audio))


def percentile(values, fraction):
    if not values:
        return float("nan")
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


async def run_players(pid, port, count, seconds, own_addresses=True):
    video, audio = Figures(), Figures()
    deadline = time.monotonic() + seconds
    before, started = processor_seconds(pid), time.monotonic()
    await asyncio.gather(*(player(port, number, deadline, video, audio, own_addresses) for number in range(count)))
    cores = (processor_seconds(pid) - before) / (time.monotonic() - started)
    return video, audio, cores


def wrk(url, seconds):
    output = subprocess.run(["wrk", "-t2", "-c64", "-d%ds" % seconds, url], capture_output=True, text=True, check=True).stdout
    return float(re.search(r"Requests/sec:\s+([\d.]+)", output).group(1))


def compare_with_nginx(port, seconds):
    """Requests per second of one cached video segment, server and nginx."""
    folder = tempfile.mkdtemp(prefix="quorvel-bench-")
    try:
        with NginxPeer(folder) as nginx:
            path = "video-body.mp4?asset=1&variant=0&index=5"
            segment = os.path.join(nginx.media, "segment.mp4")
            subprocess.run(["curl", "-sf", "-o", segment, "http://127.0.0.1:%d/hls/%s" % (port, path)], check=True)
            ours = wrk("http://127.0.0.1:%d/hls/%s" % (port, path), seconds)
            theirs = wrk(nginx.url("/segment.mp4"), seconds)
            print("cached segment (%d bytes), wrk 2 threads, 64 connections, %d s:" % (os.path.getsize(segment), seconds))
            print("  quorvel %.0f requests/s, nginx %.0f requests/s, ratio %.2f" % (ours, theirs, ours / theirs))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


async def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--counts", default="10,50,100,200")
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--modes", default="cache,nocache")
    parser.add_argument("--wrk-seconds", type=int, default=10)
    parser.add_argument("--addresses", choices=("per-player", "one"), default="per-player",
                        help="a loopback address per player, or 127.0.0.1 for all")
    parser.add_argument("--server-args", default="", help="more options for the server, as one string")
    arguments = parser.parse_args()
    counts = [int(value) for value in arguments.counts.split(",")]
    if max(counts) > 200 * 254:
        parser.error("at most %d players" % (200 * 254))
    own_addresses = arguments.addresses == "per-player"
    files = raise_open_file_limit(3 * max(counts) + 256)
    print("players on %d processors, %d s per run; video segments 3 s, audio 6 s; %s; open files %s%s" % (
        os.cpu_count(), arguments.seconds, "an address per player" if own_addresses else "all players from 127.0.0.1",
        "unlimited" if files == resource.RLIM_INFINITY else files, "; server options: " + arguments.server_args if arguments.server_args else ""))
    print("%-8s %7s  %-5s %8s %5s %9s %9s %6s  %s" % ("mode", "players", "track", "segments", "late", "p50 ms", "p99 ms", "errors", "server cores"))
    for mode in arguments.modes.split(","):
        process, port = start_server(([] if mode == "cache" else ["-SegmentCacheBytes", "0"]) + shlex.split(arguments.server_args))
        try:
            for count in counts:
                video, audio, cores = await run_players(process.pid, port, count, arguments.seconds, own_addresses)
                for track, figures in (("video", video), ("audio", audio)):
                    print("%-8s %7d  %-5s %8d %5d %9.0f %9.0f %6d  %.2f" % (
                        mode, count, track, len(figures.latencies), figures.late, percentile(figures.latencies, 0.5) * 1000,
                        percentile(figures.latencies, 0.99) * 1000, figures.errors, cores))
                sys.stdout.flush()
            if mode == "cache" and shutil.which("wrk") and shutil.which("nginx"):
                compare_with_nginx(port, arguments.wrk_seconds)
        finally:
            process.terminate()
            process.wait()


if __name__ == "__main__":
    asyncio.run(main())
