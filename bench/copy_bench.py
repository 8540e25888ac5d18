#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Bytes copied and heap allocations per media segment, on the way from the
fragmented-MP4 sink to the socket.

The server runs in software mode on loopback with the counting library
(build/bin/libquorvel_alloc_counter.so, from bench/alloc_counter.c)
preloaded. The library counts every memcpy/memmove call (also mempcpy and
the fortified forms) and every malloc, calloc, realloc, memalign,
aligned_alloc and posix_memalign (operator new ends in malloc), charging each
to the loaded object that made it; a call from the C or C++ run-time
(std::string, operator new, fopen) is charged to the first caller up the
stack outside it. "Ours" is the quorvel executable. The counters sit in a
shared file that this script reads between requests, once the server is
quiet (no counter moved for a while).

Cases, each the median of several segments (different indexes, so that an
uncached one is made for its asker):
  - on-demand H.264 segment (720p25, 3 s), made for its first asker;
  - the same segment again, from the segment cache;
  - low-latency live DASH ("manifest.mpd?live&ll"): a segment asked for
    before it begins, made and paced fragment by fragment on the clock;
  - the same, a segment already in the cache (filled by a request with
    "now", answered at once) and still paced;
  - low-latency HLS ("master.m3u8?live&ll"): every part of a past segment
    ("video-body.mp4?...&part=K"), made for the first part's asker, and the
    same parts again from the cache. The next segment is in the cache
    beforehand, so the production a part request starts for the segment
    after its own finds nothing to do;
  - the idle server for one second (what the counters move by themselves);
  - as the floor, nginx (nginx-light, one process, sendfile) serving the
    on-demand segment's bytes from a file under the same library; its "ours"
    is the nginx executable.

Printed per case: segment bytes (all parts of a segment for the HLS
parts), our copy calls, our bytes copied, copies per byte (our bytes copied
/ segment bytes), allocations and allocated bytes in all, and those made by
our executable. With --objects, every object's share of each case as well;
with --functions N, the N functions of the server that copied the most
bytes and made the most allocations in each case (by the symbol table of
build/bin/quorvel; inlined code counts for the function it was inlined
into).

Seen are calls through the dynamic symbol table only: copies the compiler
inlines (small constant sizes, loops), copies inside libc (stdio buffers)
and the kernel's copies behind send and write are not counted. A realloc
counts as one allocation of its new size.

    scripts/build
    python3 bench/copy_bench.py [segments per case, default 5] [--objects] [--functions N]

The live cases follow the clock: each takes a few seconds per segment.
"""

import argparse
import bisect
import datetime
import http.client
import mmap
import os
import re
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from quorvel_harness import QuorvelServer, binary_path  # noqa: E402
from nginx_peer import NginxPeer  # noqa: E402

CounterMagic = 0x31544E43564F5551
MaximalObjects = 256
ObjectNameBytes = 64
# struct Figures of alloc_counter.c: copy calls, copy bytes, allocation
# calls, allocation bytes, frees, three reserved.
FiguresLayout = struct.Struct("<8Q")
HeaderLayout = struct.Struct("<QiI")
UnknownOffset = HeaderLayout.size
TotalOffset = UnknownOffset + FiguresLayout.size
ObjectsOffset = TotalOffset + FiguresLayout.size
ObjectBytes = ObjectNameBytes + FiguresLayout.size
LostSitesOffset = ObjectsOffset + MaximalObjects * ObjectBytes
# struct Site: offset in the executable, copy calls, copy bytes, allocation
# calls, allocation bytes, three reserved.
SiteLayout = struct.Struct("<8Q")
MaximalSites = 4096
SitesOffset = LostSitesOffset + 64
FileBytes = SitesOffset + MaximalSites * SiteLayout.size
Fields = ("copy_calls", "copy_bytes", "allocations", "allocated_bytes", "frees")
# Quiet: no counter moved for this long.
QuietSeconds = 0.4
SegmentSeconds = 3.0


def library_path():
    return os.path.join(os.path.dirname(binary_path()), "libquorvel_alloc_counter.so")


def difference(later, earlier, width):
    return {key: tuple(a - b for a, b in zip(figures, earlier.get(key, (0,) * width))) for key, figures in later.items()}


class Snapshot:
    """The figures at one moment: everything, per object name and, if read,
    per place in the executable (its offset: copy calls, copy bytes,
    allocations, allocated bytes)."""

    def __init__(self, total, objects, sites=None):
        self.total = total
        self.objects = objects
        self.sites = sites

    def __sub__(self, earlier):
        sites = difference(self.sites, earlier.sites, 4) if self.sites is not None and earlier.sites is not None else None
        return Snapshot(tuple(a - b for a, b in zip(self.total, earlier.total)), difference(self.objects, earlier.objects, len(Fields)), sites)


class Counters:
    """The counter file of one process, mapped read-only."""

    def __init__(self, path):
        self.path = path
        self.map = None

    def wait_ready(self, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if os.path.exists(self.path) and os.path.getsize(self.path) >= FileBytes:
                if self.map is None:
                    with open(self.path, "rb") as file:
                        self.map = mmap.mmap(file.fileno(), FileBytes, prot=mmap.PROT_READ)
                if HeaderLayout.unpack_from(self.map, 0)[0] == CounterMagic:
                    return
            time.sleep(0.05)
        raise RuntimeError("%s: the counting library did not start (is it built, and does memcpy reach it?)" % self.path)

    def snapshot(self, sites=False):
        _, _, count = HeaderLayout.unpack_from(self.map, 0)
        objects = {"(unknown)": FiguresLayout.unpack_from(self.map, UnknownOffset)[:len(Fields)]}
        for slot in range(min(count, MaximalObjects)):
            at = ObjectsOffset + slot * ObjectBytes
            name = bytes(self.map[at:at + ObjectNameBytes]).split(b"\0")[0].decode(errors="replace")
            objects[name] = FiguresLayout.unpack_from(self.map, at + ObjectNameBytes)[:len(Fields)]
        places = None
        if sites:
            area = bytes(self.map[SitesOffset:SitesOffset + MaximalSites * SiteLayout.size])
            places = {site[0]: site[1:5] for site in SiteLayout.iter_unpack(area) if site[0]}
        return Snapshot(FiguresLayout.unpack_from(self.map, TotalOffset)[:len(Fields)], objects, places)

    def quiet(self, timeout=30):
        """A snapshot, with the places, once no counter moved for QuietSeconds."""
        deadline = time.monotonic() + timeout
        last, since = self.snapshot(), time.monotonic()
        while time.monotonic() < deadline:
            time.sleep(0.05)
            now = self.snapshot()
            if now.total != last.total:
                last, since = now, time.monotonic()
            elif time.monotonic() - since >= QuietSeconds:
                settled = self.snapshot(sites=True)
                if settled.total == now.total:
                    return settled
                last, since = settled, time.monotonic()
        raise RuntimeError("the server did not become quiet within %d s" % timeout)

    def measure(self, action):
        """(figures moved while action ran and the server settled, what action returned)."""
        before = self.quiet()
        result = action()
        return self.quiet() - before, result


def get(port, path, expect_chunked=None):
    """The body of one GET on a connection of its own."""
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
    try:
        connection.request("GET", path)
        response = connection.getresponse()
        body = response.read()
        if response.status != 200:
            raise RuntimeError("%s: %d %r" % (path, response.status, body[:200]))
        if expect_chunked is not None and (response.getheader("Transfer-Encoding") == "chunked") != expect_chunked:
            raise RuntimeError("%s: chunked %s expected" % (path, expect_chunked))
        return body
    finally:
        connection.close()


def metric(server, name):
    _, _, body = server.get("metrics")
    return float(re.search(r"^quorvel_%s (\S+)$" % name, body.decode(), re.M).group(1))


def quiet(server):
    """Waits until the server makes nothing, read-ahead included, so that a
    measurement counts only what its own request makes."""
    while metric(server, "productions_in_progress") > 0:
        time.sleep(0.05)


def parse_time(text):
    return datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%S.%fZ").replace(tzinfo=datetime.timezone.utc).timestamp()


class Row:
    def __init__(self, name):
        self.name = name
        self.sizes = []
        self.samples = []

    def add(self, moved, size, owner):
        self.sizes.append(size)
        self.samples.append((moved, owner))

    def figures(self):
        def median(values):
            return statistics.median(values) if values else 0

        ours = [moved.objects.get(owner, (0,) * len(Fields)) for moved, owner in self.samples]
        total = [moved.total for moved, _ in self.samples]
        return {
            "size": median(self.sizes),
            "copy_calls": median([figures[0] for figures in ours]),
            "copy_bytes": median([figures[1] for figures in ours]),
            "per_byte": median([figures[1] / size if size else 0 for figures, size in zip(ours, self.sizes)]),
            "allocations": median([figures[2] for figures in total]),
            "allocated_bytes": median([figures[3] for figures in total]),
            "our_allocations": median([figures[2] for figures in ours]),
            "our_allocated_bytes": median([figures[3] for figures in ours]),
        }

    def functions(self, symbols):
        """Median figures of every function of the executable that moved in
        some sample (its places added up)."""
        per_sample = []
        for moved, _ in self.samples:
            functions = {}
            for offset, figures in (moved.sites or {}).items():
                name = symbols.name(offset - 1)
                functions[name] = tuple(a + b for a, b in zip(functions.get(name, (0, 0, 0, 0)), figures))
            per_sample.append(functions)
        names = {name for functions in per_sample for name, figures in functions.items() if any(figures)}
        return {name: tuple(statistics.median(functions.get(name, (0, 0, 0, 0))[field] for functions in per_sample) for field in range(4))
                for name in names}

    def objects(self):
        """Median figures of every object that moved in some sample."""
        names = sorted({name for moved, _ in self.samples for name, figures in moved.objects.items() if any(figures)})
        return {name: tuple(statistics.median(moved.objects.get(name, (0,) * len(Fields))[field] for moved, _ in self.samples)
                            for field in range(len(Fields)))
                for name in names}


class Symbols:
    """Function names of an executable by address (nm)."""

    def __init__(self, program):
        output = subprocess.run(["nm", "-C", "--defined-only", program], capture_output=True, text=True).stdout
        entries = []
        for line in output.splitlines():
            parts = line.split(" ", 2)
            if len(parts) == 3 and parts[1] in "tTwWiI":
                entries.append((int(parts[0], 16), parts[2]))
        entries.sort()
        self.addresses = [address for address, _ in entries]
        self.names = [name for _, name in entries]

    def name(self, address):
        at = bisect.bisect_right(self.addresses, address) - 1
        return self.names[at] if at >= 0 else "0x%x" % address


def print_functions(rows, symbols, count):
    for row in rows:
        functions = row.functions(symbols)
        if not functions:
            continue
        print("\n%s: our functions (copy calls, bytes copied, allocations, allocated bytes)" % row.name)
        copying = sorted((item for item in functions.items() if item[1][1]), key=lambda item: -item[1][1])[:count]
        allocating = sorted((item for item in functions.items() if item[1][2]), key=lambda item: -item[1][2])[:count]
        for title, items in (("most bytes copied", copying), ("most allocations", allocating)):
            print("  %s:" % title)
            for name, figures in items:
                print("    %8.0f %10.0f %7.0f %11.0f  %s" % (figures + (name[:150],)))


def print_table(rows, segments, show_objects):
    print("bytes copied and heap allocations per segment, median of %d; \"ours\" is the server's executable" % segments)
    print("(calls from libc/libstdc++ charged to their caller); copies/byte = our bytes copied / segment bytes")
    head = ("case", "segment B", "our copies", "our B copied", "copies/B", "allocs", "alloc B", "our allocs", "our alloc B")
    print("%-44s %10s %10s %12s %8s %9s %11s %10s %11s" % head)
    for row in rows:
        figures = row.figures()
        print("%-44s %10.0f %10.0f %12.0f %8.2f %9.0f %11.0f %10.0f %11.0f" % (
            row.name, figures["size"], figures["copy_calls"], figures["copy_bytes"], figures["per_byte"], figures["allocations"],
            figures["allocated_bytes"], figures["our_allocations"], figures["our_allocated_bytes"]))
    if show_objects:
        for row in rows:
            print("\n%s: by object (copy calls, bytes copied, allocations, allocated bytes)" % row.name)
            for name, figures in sorted(row.objects().items(), key=lambda item: -item[1][1] - item[1][3]):
                if any(figures[:4]):
                    print("  %-40s %10.0f %12.0f %9.0f %12.0f" % ((name,) + figures[:4]))


def on_demand(server, counters, segments, owner):
    uncached, cached = Row("on-demand, uncached"), Row("on-demand, cached")
    # Each the last segment of an asset of its own: nothing comes after it
    # to be read ahead.
    paths = []
    for index in range(20, 20 + segments):
        _, _, master = server.get("master.m3u8?duration=%d" % ((index + 1) * SegmentSeconds))
        asset = int(re.search(rb"asset=(\d+)", master).group(1))
        paths.append(server.path("video-body.mp4?asset=%d&variant=0&index=%d" % (asset, index)))
    started = metric(server, "productions_started_total")
    for path in paths:
        moved, body = counters.measure(lambda: get(server.port, path))
        uncached.add(moved, len(body), owner)
    hits = metric(server, "cache_hits_total")
    if metric(server, "productions_started_total") - started != segments:
        raise RuntimeError("an uncached on-demand segment was not made for its request")
    for path in paths:
        moved, body = counters.measure(lambda: get(server.port, path, expect_chunked=False))
        cached.add(moved, len(body), owner)
    if metric(server, "cache_hits_total") - hits != segments:
        raise RuntimeError("a cached on-demand segment did not come from the cache")
    return uncached, cached, paths[0]


def live_dash(server, counters, segments, owner):
    """Paced segments of a low-latency live DASH asset, uncached and cached."""
    uncached, cached = Row("live ll DASH, paced, uncached"), Row("live ll DASH, paced, cached")
    _, _, text = server.get("manifest.mpd?live&ll")
    base = parse_time(re.search(rb'availabilityStartTime="([^"]+)"', text).group(1).decode())
    media = re.search(rb'contentType="video".*?media="([^"]+)"', text, re.S).group(1).decode().replace("&amp;", "&")
    server.get(re.search(rb'contentType="video".*?initialization="([^"]+)"', text, re.S).group(1).decode().replace("&amp;", "&"))
    used = -1

    def next_segment():
        # The first one not yet begun (asked before it begins, it is paced
        # from its first fragment on) and not made yet.
        nonlocal used
        while int((time.time() - base) / SegmentSeconds) + 1 <= used:
            time.sleep(0.1)
        used = int((time.time() - base) / SegmentSeconds) + 1
        return used

    def path(index, query=""):
        # Number 1 is segment 0.
        return server.path(media.replace("$Number$", str(index + 1)) + query)

    def made_ahead(index):
        # The two segments after it, which its request has read ahead, are
        # made beforehand (asked as of a time they are out); they read two
        # more ahead, and none of the four is measured.
        nonlocal used
        used = max(used, index + 4)
        for later in (index + 1, index + 2):
            get(server.port, path(later, "&now=%d" % round((base + (later + 2) * SegmentSeconds) * 1000)))
        quiet(server)

    for _ in range(segments):
        index = next_segment()
        made_ahead(index)
        started = metric(server, "productions_started_total")
        moved, body = counters.measure(lambda: get(server.port, path(index), expect_chunked=True))
        uncached.add(moved, len(body), owner)
        if metric(server, "productions_started_total") - started != 1:
            raise RuntimeError("a live segment was not made for its request")
        # Made beforehand and kept, and still in the future: the whole body
        # from the cache is paced.
        index += 2
        hits = metric(server, "cache_hits_total")
        if (index + 1) * SegmentSeconds + base - time.time() < 1:
            raise RuntimeError("the cached live segment was made too late to be paced")
        moved, body = counters.measure(lambda: get(server.port, path(index), expect_chunked=True))
        cached.add(moved, len(body), owner)
        if metric(server, "cache_hits_total") - hits != 1:
            raise RuntimeError("a cached live segment did not come from the cache")
    return uncached, cached


def live_hls_parts(server, counters, segments, owner):
    """Every part of past segments of a low-latency HLS asset, uncached and cached."""
    # A timeline that began ten minutes ago: plenty of past segments.
    _, _, master = server.get("master.m3u8?live&ll&ls=600")
    playlist_path = re.search(rb"^(video\.m3u8\?\S+)", master, re.M).group(1).decode()
    _, _, playlist = server.get(playlist_path)
    parts = re.findall(rb'#EXT-X-PART:[^\n]*URI="(video-body\.mp4\?[^"]*index=(\d+)&part=(\d+))"', playlist)
    last = int(parts[-1][1])
    part_count = 1 + max(int(part) for _, index, part in parts if int(index) == last - 1)
    template = parts[0][0].decode()
    server.get(re.search(rb'#EXT-X-MAP:URI="([^"]+)"', playlist).group(1).decode())
    # Five apart: the two made beforehand read two more ahead.
    indexes = [last - 150 + 5 * number for number in range(segments)]
    uncached = Row("live ll HLS, its %d parts, uncached" % part_count)
    cached = Row("live ll HLS, its %d parts, cached" % part_count)

    def part_path(index, part):
        return server.path(re.sub(r"index=\d+&part=\d+", "index=%d&part=%d" % (index, part), template))

    def all_parts(index):
        return b"".join(get(server.port, part_path(index, part)) for part in range(part_count))

    for index in indexes:
        # The segments after it, which its parts' requests read ahead, are made beforehand.
        for later in (index + 1, index + 2):
            get(server.port, server.path(re.sub(r"index=\d+&part=\d+", "index=%d" % later, template) + "&now=%d" % round(time.time() * 1000)))
        quiet(server)
        started = metric(server, "productions_started_total")
        moved, body = counters.measure(lambda: all_parts(index))
        uncached.add(moved, len(body), owner)
        if metric(server, "productions_started_total") - started != 1:
            raise RuntimeError("the parts' segment was not made exactly once")
    for index in indexes:
        started = metric(server, "productions_started_total")
        moved, body = counters.measure(lambda: all_parts(index))
        cached.add(moved, len(body), owner)
        if metric(server, "productions_started_total") != started:
            raise RuntimeError("cached parts started a production")
    return uncached, cached


def idle(counters, owner):
    row = Row("idle server, 1 s")
    moved, _ = counters.measure(lambda: time.sleep(1))
    row.add(moved, 0, owner)
    return row


def nginx_floor(folder, segment, segments):
    """nginx serving the segment from a file under the counting library."""
    row = Row("nginx, the same bytes from a file")
    root = os.path.join(folder, "nginx")
    os.makedirs(root)
    counter_file = os.path.join(folder, "nginx.counters")
    environment = dict(os.environ, LD_PRELOAD=library_path(), ALLOC_COUNTER_FILE=counter_file)
    with NginxPeer(root, one_process=True, environment=environment) as nginx:
        with open(os.path.join(nginx.media, "segment.mp4"), "wb") as file:
            file.write(segment)
        counters = Counters(counter_file)
        counters.wait_ready()
        for _ in range(segments):
            moved, body = counters.measure(lambda: get(nginx.port, "/segment.mp4"))
            row.add(moved, len(body), "nginx")
    return row


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("segments", nargs="?", type=int, default=5, help="segments per case (default 5)")
    parser.add_argument("--objects", action="store_true", help="print every object's share of each case")
    parser.add_argument("--functions", type=int, default=0, metavar="N",
                        help="print the N functions of the server that copied the most bytes and made the most allocations, per case")
    arguments = parser.parse_args()
    segments = max(1, arguments.segments)
    if not os.path.exists(library_path()):
        sys.exit("%s is missing: scripts/build" % library_path())
    folder = tempfile.mkdtemp(prefix="quorvel-copy-bench-")
    try:
        counter_file = os.path.join(folder, "quorvel.counters")
        environment = {"LD_PRELOAD": library_path(), "ALLOC_COUNTER_FILE": counter_file}
        owner = os.path.basename(binary_path())
        with QuorvelServer(environment=environment) as server:
            counters = Counters(counter_file)
            counters.wait_ready()
            # Warm-up: the first manifest, header and segment start what
            # every later one finds ready (encoders' tables, fonts, threads).
            before = counters.quiet()
            server.get("master.m3u8")
            server.get("video-header.mp4?asset=1&variant=0")
            get(server.port, server.path("video-body.mp4?asset=1&variant=0&index=0"))
            warm = counters.quiet() - before
            if not warm.objects.get(owner, (0,))[0]:
                raise RuntimeError("no memcpy from %s reached the counting library" % owner)
            rows = [idle(counters, owner)]
            uncached, cached, first_path = on_demand(server, counters, segments, owner)
            rows += [uncached, cached]
            rows += live_dash(server, counters, segments, owner)
            rows += live_hls_parts(server, counters, segments, owner)
            segment = get(server.port, first_path)
            lost = struct.unpack_from("<Q", counters.map, LostSitesOffset)[0]
        if shutil.which("nginx"):
            rows.append(nginx_floor(folder, segment, segments))
        print_table(rows, segments, arguments.objects)
        if arguments.functions:
            print_functions([row for row in rows if not row.name.startswith("nginx")], Symbols(binary_path()), arguments.functions)
            if lost:
                print("(%d calls found no room in the table of places and are missing above)" % lost)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
