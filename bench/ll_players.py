#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Low-latency HLS players on one machine: blocking playlist reloads and
parts, with the segment cache and, as the peer, without it.

Each simulated player makes its own live "ll" asset of the same options
("master.m3u8?live&ll") and follows its video playlist (variant 0) and its
audio playlist as a low-latency player does: it asks for the playlist with
_HLS_msn/_HLS_part naming the part after the last one it has (a blocking
reload, held until that part exists), and for the part the preload hint
names (held until it is due), each on a keep-alive connection of its own.

A part's availability is its segment's program date-time plus the parts
before it and its own duration, on this machine's clock, which the server
shares. Printed per mode: players, parts, late parts (a part that arrives
more than one part target after its availability), how long after the
availability of the part it named a blocking reload was answered
(p50/p99), errors, and the server's processor use (cores).

    bench/ll_players.py [--players 50] [--seconds 60] [--modes cache,nocache]
"""

import argparse
import asyncio
import calendar
import os
import random
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from live_players import Connection, percentile, processor_seconds, start_server  # noqa: E402


# --verbose: every late part on a line of its own.
VERBOSE = False


class Figures:
    def __init__(self):
        self.reload_delays = []
        self.parts = 0
        self.late = 0
        self.errors = 0


def wall_seconds(text):
    """A program date-time ("2026-12-06T10:00:00.480Z") in seconds since 1970."""
    whole, fraction = text.rstrip("Z").split(".")
    return calendar.timegm(time.strptime(whole, "%Y-%m-%dT%H:%M:%S")) + int(fraction) / 1000


def availability(text, segment, part):
    """When the playlist says part `part` of `segment` was complete, or None."""
    lines = text.split("\r\n")
    start = None
    elapsed = 0.0
    target = float(re.search(r"PART-TARGET=([0-9.]+)", text).group(1))
    for line in lines:
        if line.startswith("#EXT-X-PROGRAM-DATE-TIME:"):
            start, elapsed = wall_seconds(line.split(":", 1)[1]), 0.0
        found = re.match(r'#EXT-X-PART:DURATION=([0-9.]+),URI="[^"]*index=(\d+)&part=(\d+)"', line)
        if found and int(found.group(2)) == segment:
            elapsed += float(found.group(1))
            if int(found.group(3)) == part and start is not None:
                return start + elapsed, target
    return None, target


async def follow(port, source, path, deadline, figures):
    playlists = Connection(port, source)
    parts = Connection(port, source)
    try:
        status, text = await playlists.get(path)
        hint = re.search(r'PRELOAD-HINT:TYPE=PART,URI="([^"]*index=(\d+)&part=(\d+))"', text.decode())
        while time.monotonic() < deadline and hint:
            uri, segment, part = hint.group(1), int(hint.group(2)), int(hint.group(3))
            # The player asks for the hinted part and the playlist that will
            # list it at once; both are held by the server.
            part_answer, playlist_answer = await asyncio.gather(parts.get(uri), playlists.get("%s&_HLS_msn=%d&_HLS_part=%d" % (path, segment, part)))
            arrived = time.time()
            if part_answer[0] != 200 or playlist_answer[0] != 200 or not part_answer[1]:
                figures.errors += 1
                await asyncio.sleep(1)
                status, text = await playlists.get(path)
                hint = re.search(r'PRELOAD-HINT:TYPE=PART,URI="([^"]*index=(\d+)&part=(\d+))"', text.decode())
                continue
            text = playlist_answer[1].decode()
            available, target = availability(text, segment, part)
            if available is not None:
                figures.reload_delays.append(arrived - available)
                late = arrived - available > target
                figures.late += late
                if late and VERBOSE:
                    print("late: %s segment %d part %d, %.0f ms after it was due" % (path.split("?")[0], segment, part, 1000 * (arrived - available)))
            figures.parts += 1
            hint = re.search(r'PRELOAD-HINT:TYPE=PART,URI="([^"]*index=(\d+)&part=(\d+))"', text)
    except (OSError, asyncio.IncompleteReadError, ValueError):
        figures.errors += 1
    finally:
        playlists.close()
        parts.close()


async def player(port, number, deadline, video, audio):
    source = "127.0.%d.%d" % (1 + number // 200, 2 + number % 200)
    await asyncio.sleep(random.uniform(0, 3))
    connection = Connection(port, source)
    status, master = await connection.get("master.m3u8?live&ll")
    connection.close()
    asset = int(re.search(rb"asset=(\d+)", master).group(1))
    await asyncio.gather(follow(port, source, "video.m3u8?asset=%d&variant=0" % asset, deadline, video),
                         follow(port, source, "audio.m3u8?asset=%d" % asset, deadline, audio))


async def run(mode, count, seconds):
    options = [] if mode == "cache" else ["-SegmentCacheBytes", "0"]
    process, port = start_server(options)
    try:
        video, audio = Figures(), Figures()
        deadline = time.monotonic() + seconds
        before, started = processor_seconds(process.pid), time.monotonic()
        await asyncio.gather(*(player(port, number, deadline, video, audio) for number in range(count)))
        cores = (processor_seconds(process.pid) - before) / (time.monotonic() - started)
    finally:
        process.terminate()
        process.wait(30)
    for name, figures in (("video", video), ("audio", audio)):
        print("%-8s %-6s players %4d  parts %6d  late %5d  reload after availability p50 %6.1f ms p99 %6.1f ms  errors %4d  cores %.2f" % (
            mode, name, count, figures.parts, figures.late, 1000 * percentile(figures.reload_delays, 0.5), 1000 * percentile(figures.reload_delays, 0.99),
            figures.errors, cores))
        sys.stdout.flush()


async def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--players", type=int, default=50)
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--modes", default="cache,nocache")
    parser.add_argument("--verbose", action="store_true")
    arguments = parser.parse_args()
    global VERBOSE
    VERBOSE = arguments.verbose
    for mode in arguments.modes.split(","):
        await run(mode, arguments.players, arguments.seconds)


if __name__ == "__main__":
    asyncio.run(main())
