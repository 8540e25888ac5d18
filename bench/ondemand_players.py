#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""On-demand players on one machine, beside nginx serving the same segments
as files.

Each simulated player makes its own on-demand asset ("master.m3u8?duration=
..."), reads the master playlist and the media playlists of video variant 0
and of the audio, fetches both initialisation segments, then plays both
tracks at once, each on a keep-alive connection of its own:

  - in order: from the first segment on, for --segments video segments and
    the same media time of audio;
  - seeking: jumps to a random time (seeded by --seed and the player's
    number), plays --segments-per-jump video segments from there (and the
    same media time of audio), jumps again, --jumps times in all.

A player keeps one segment ahead: it asks for segment k when segment k-1
begins to play, and k is due when k-1 has played out, its duration (divided
by --speed) after it began. A segment that arrives after it was due is late
and playback stalls until it comes. The first segment of a play (the start,
and each jump) has no predecessor: it is reported apart, as the wait the
viewer sees before the picture.

Printed per server, kind of player, player count and track, for the first
segments and the later ones: requests, late segments, time to the first
body byte and to the whole segment (p50, p90, max), errors; and after each
run of the server its processor use (cores) and the production counters of
its "metrics" answer (any counter about reading ahead too). The peer, nginx
(one worker, sendfile), serves the very segments the same players received,
saved as files, to the same players with the same seeds: the floor of the
network and of this player.

By default every player's asset has a key of its own, so that no two
players get the same bytes (segments of equal options are made once and
shared); --shared gives all players the same asset options. Each run gets
a fresh server, so nothing is in its cache when the players start.

    bench/ondemand_players.py [--players 1,4] [--speed 1] [--segments 20]
        [--jumps 5] [--segments-per-jump 4] [--kinds inorder,seeking]
        [--seed 1] [--shared] [--server-args "-SegmentCacheBytes 0"]

At speed 1 an in-order run lasts about --segments x 3 s.
"""

import argparse
import asyncio
import math
import os
import random
import re
import shlex
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from live_players import percentile, processor_seconds, start_server  # noqa: E402
from nginx_peer import NginxPeer  # noqa: E402

# Seconds of media in each asset: room for the jumps.
ASSET_SECONDS = 1800
# Counters of the metrics answer printed after each run of the server.
PRODUCTION_COUNTERS = ("productions_started_total", "segments_made_total", "joined_requests_total", "cache_hits_total",
                       "cache_misses_total", "cache_insertions_total")


class Connection:
    """One keep-alive HTTP/1.1 connection that times each answer: seconds to
    the first body byte and to the last."""

    def __init__(self, port):
        self.port = port
        self.reader = None
        self.writer = None

    async def get(self, path):
        """(status, body, seconds to the first body byte, seconds to the end)."""
        if self.writer is None:
            self.reader, self.writer = await asyncio.open_connection("127.0.0.1", self.port, limit=1 << 22)
        started = time.monotonic()
        self.writer.write(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % path).encode())
        head = await self.reader.readuntil(b"\r\n\r\n")
        status = int(head[9:12])
        length = re.search(rb"\r\nContent-Length: *(\d+)", head, re.I)
        first = None
        if length:
            size = int(length.group(1))
            body = await self.reader.read(size) if size else b""
            first = time.monotonic() - started
            if len(body) < size:
                body += await self.reader.readexactly(size - len(body))
            return status, body, first, time.monotonic() - started
        pieces = []
        while True:
            size = int((await self.reader.readuntil(b"\r\n"))[:-2].split(b";")[0], 16)
            if size == 0:
                await self.reader.readuntil(b"\r\n")
                whole = time.monotonic() - started
                return status, b"".join(pieces), whole if first is None else first, whole
            data = await self.reader.read(size)
            if first is None:
                first = time.monotonic() - started
            if len(data) < size:
                data += await self.reader.readexactly(size - len(data))
            pieces.append(data)
            await self.reader.readexactly(2)

    def close(self):
        if self.writer:
            self.writer.close()
            self.writer = None


class Figures:
    """What the players of one track saw, first segments and later ones apart."""

    def __init__(self):
        self.first = ([], [])  # (first byte, whole) seconds
        self.later = ([], [])
        self.late = 0
        self.errors = {"first": 0, "later": 0}


class Track:
    """A media playlist: its initialisation segment and its segments' paths and durations."""

    def __init__(self, name, text):
        self.name = name
        self.header = re.search(r'#EXT-X-MAP:URI="([^"]+)"', text).group(1)
        self.durations = [float(value) for value in re.findall(r"#EXTINF:([0-9.]+)", text)]
        self.paths = [line for line in text.splitlines() if line and not line.startswith("#")]
        assert len(self.paths) == len(self.durations), name


class Player:
    """One player's asset: its tracks and where their media comes from."""

    def __init__(self, number, tracks):
        self.number = number
        self.tracks = tracks

    def starts(self, kind, arguments, seed):
        """[(media time to start at, video segments to play)] of one player."""
        if kind == "inorder":
            return [(0.0, arguments.segments)]
        video = self.tracks[0]
        span = arguments.segments_per_jump * max(video.durations)
        chance = random.Random("%d/%d" % (seed, self.number))
        return [(chance.uniform(0, sum(video.durations) - span), arguments.segments_per_jump) for _ in range(arguments.jumps)]


def segment_at(track, seconds):
    """The number of the segment of track that holds media time seconds."""
    elapsed = 0.0
    for index, duration in enumerate(track.durations):
        if elapsed + duration > seconds:
            return index
        elapsed += duration
    return len(track.durations) - 1


async def play_track(port, track, player, starts, video_seconds, speed, locate, figures, kept):
    """Plays one track of one player through every start; locate maps a
    segment index (or "header") to the path asked for; kept, when given,
    receives every body by (player, track, index)."""
    connection = Connection(port)
    try:
        status, body, _, _ = await connection.get(locate(player, track, "header"))
        if status != 200:
            figures.errors["first"] += 1
        elif kept is not None:
            kept[(player.number, track.name, "header")] = body
        playing_since = None  # when the segment before began to play
        for start_seconds, video_segments in starts:
            if playing_since is not None:
                # The jump happens when the last segment of the stretch begins to play.
                await asyncio.sleep(max(0.0, playing_since - time.monotonic()))
            first = segment_at(track, start_seconds)
            count = max(1, math.ceil(video_segments * video_seconds / track.durations[0] - 1e-9))
            previous = None  # (began to play, duration) of the segment before
            for index in range(first, min(first + count, len(track.durations))):
                if previous is not None:
                    await asyncio.sleep(max(0.0, previous[0] - time.monotonic()))
                asked = time.monotonic()
                try:
                    status, body, first_byte, whole = await connection.get(locate(player, track, index))
                except (OSError, asyncio.IncompleteReadError, ValueError):
                    figures.errors["first" if previous is None else "later"] += 1
                    connection.close()
                    previous = None
                    continue
                received = asked + whole
                if status != 200 or not body:
                    figures.errors["first" if previous is None else "later"] += 1
                    continue
                if kept is not None:
                    kept[(player.number, track.name, index)] = body
                if previous is None:
                    figures.first[0].append(first_byte)
                    figures.first[1].append(whole)
                    begins = received
                else:
                    due = previous[0] + previous[1] / speed
                    figures.later[0].append(first_byte)
                    figures.later[1].append(whole)
                    figures.late += received > due
                    begins = max(due, received)
                previous = (begins, track.durations[index])
                playing_since = begins
    finally:
        connection.close()


async def run_players(port, players, kind, arguments, locate, kept):
    figures = {"video": Figures(), "audio": Figures()}
    plays = []
    for player in players:
        starts = player.starts(kind, arguments, arguments.seed)
        video_seconds = player.tracks[0].durations[0]
        for track in player.tracks:
            plays.append(play_track(port, track, player, starts, video_seconds, arguments.speed, locate, figures[track.name], kept))
    await asyncio.gather(*plays)
    return figures


async def make_players(port, count, shared, run):
    """Players with an asset each, from the server's master and media playlists."""
    connection = Connection(port)
    players = []
    try:
        for number in range(count):
            query = "duration=%d" % ASSET_SECONDS
            if not shared:
                query += "&key=%08x%08x%016x" % (run, number, random.Random(run * 100003 + number).getrandbits(64))
            status, master, _, _ = await connection.get("/hls/master.m3u8?" + query)
            text = master.decode()
            if status != 200:
                raise RuntimeError("master.m3u8?%s: %d %s" % (query, status, text[:200]))
            video = re.search(r"^(video\.m3u8\?[^\r\n]*variant=0)\s*$", text, re.M).group(1)
            audio = re.search(r'TYPE=AUDIO[^\r\n]*URI="([^"]+)"', text).group(1)
            tracks = []
            for name, path in (("video", video), ("audio", audio)):
                status, playlist, _, _ = await connection.get("/hls/" + path)
                tracks.append(Track(name, playlist.decode()))
            players.append(Player(number, tracks))
    finally:
        connection.close()
    return players


async def metrics(port):
    """{name with labels: value} of the server's metrics answer."""
    connection = Connection(port)
    try:
        status, body, _, _ = await connection.get("/hls/metrics")
    finally:
        connection.close()
    values = {}
    for line in body.decode().splitlines():
        if line and not line.startswith("#"):
            name, value = line.rsplit(" ", 1)
            values[name[len("quorvel_"):] if name.startswith("quorvel_") else name] = float(value)
    return values


def nginx_path(run):
    return lambda player, track, index: "/r%d/p%d/%s-%s.mp4" % (run, player.number, track.name, index)


def keep_files(folder, run, kept):
    for (player, track, index), body in kept.items():
        directory = os.path.join(folder, "media", "r%d" % run, "p%d" % player)
        os.makedirs(directory, exist_ok=True)
        with open(os.path.join(directory, "%s-%s.mp4" % (track, index)), "wb") as file:
            file.write(body)


def print_figures(server, kind, count, figures):
    for track in ("video", "audio"):
        tally = figures[track]
        for which, (firsts, wholes) in (("first", tally.first), ("later", tally.later)):
            late = "-" if which == "first" else str(tally.late)
            print("%-7s %-8s %7d  %-5s %-5s %8d %5s  %8.1f %8.1f %8.1f  %9.1f %9.1f %9.1f  %6d" % (
                server, kind, count, track, which, len(wholes), late,
                1000 * percentile(firsts, 0.5), 1000 * percentile(firsts, 0.9), 1000 * max(firsts, default=float("nan")),
                1000 * percentile(wholes, 0.5), 1000 * percentile(wholes, 0.9), 1000 * max(wholes, default=float("nan")),
                tally.errors[which]))
    sys.stdout.flush()


def print_metrics(values, cores):
    shown = ["%s %g" % (name, values[name]) for name in PRODUCTION_COUNTERS if name in values]
    shown += ["%s %g" % (name, value) for name, value in sorted(values.items())
              if ("readahead" in name.lower() or "read_ahead" in name.lower()) and name not in PRODUCTION_COUNTERS]
    print("  server: %.2f cores; %s" % (cores, ", ".join(shown)))


async def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--players", default="1,4", help="player counts, one run each")
    parser.add_argument("--kinds", default="inorder,seeking")
    parser.add_argument("--speed", type=float, default=1.0, help="play this many times as fast as real time")
    parser.add_argument("--segments", type=int, default=20, help="video segments an in-order player plays")
    parser.add_argument("--jumps", type=int, default=5, help="jumps of a seeking player")
    parser.add_argument("--segments-per-jump", type=int, default=4, help="video segments played after each jump")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--shared", action="store_true", help="all players get assets of the same options")
    parser.add_argument("--server-args", default="", help="more options for the server, as one string")
    parser.add_argument("--no-nginx", action="store_true", help="leave out the nginx peer")
    arguments = parser.parse_args()
    peer = not arguments.no_nginx and shutil.which("nginx") is not None
    print("on-demand players on %d processors; speed %g; in order: %d video segments; seeking: %d jumps of %d video segments; seed %d; %s" % (
        os.cpu_count(), arguments.speed, arguments.segments, arguments.jumps, arguments.segments_per_jump, arguments.seed,
        "assets of the same options" if arguments.shared else "an asset of its own per player"))
    if not peer:
        print("(no nginx: the peer is left out)")
    print("milliseconds to the first body byte (byte) and to the whole segment (whole)")
    print("%-7s %-8s %7s  %-5s %-5s %8s %5s  %8s %8s %8s  %9s %9s %9s  %6s" % (
        "server", "player", "players", "track", "which", "requests", "late", "byte p50", "byte p90", "byte max", "whole p50", "whole p90", "whole max",
        "errors"))
    folder = tempfile.mkdtemp(prefix="quorvel-ondemand-")
    os.chmod(folder, 0o755)  # nginx workers read as an unprivileged user
    nginx = None
    run = 0
    try:
        if peer:
            nginx = NginxPeer(folder)
        for count in (int(value) for value in arguments.players.split(",")):
            for kind in arguments.kinds.split(","):
                run += 1
                process, port = start_server(shlex.split(arguments.server_args))
                try:
                    players = await make_players(port, count, arguments.shared, run)
                    kept = {} if peer else None
                    before, started = processor_seconds(process.pid), time.monotonic()
                    figures = await run_players(port, players, kind, arguments, lambda player, track, index: "/hls/" + (
                        track.header if index == "header" else track.paths[index]), kept)
                    cores = (processor_seconds(process.pid) - before) / (time.monotonic() - started)
                    print_figures("quorvel", kind, count, figures)
                    print_metrics(await metrics(port), cores)
                finally:
                    process.terminate()
                    process.wait(30)
                if peer:
                    keep_files(folder, run, kept)
                    print_figures("nginx", kind, count, await run_players(nginx.port, players, kind, arguments, nginx_path(run), None))
    finally:
        if nginx:
            nginx.stop()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    asyncio.run(main())
