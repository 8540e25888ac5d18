#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""The cost of captions on a video segment: segments of the main row made
with and without "cc" (608, and 608,708), H.264 and HEVC, each made afresh
(a segment number not asked for before, so nothing comes from the cache;
the last segment first, so that read-ahead, which makes the next two, finds
them made or past the end and makes nothing beside the measurement), the
kinds taking turns segment by segment so that the machine's other load falls
on all alike. Prints the median time to the last byte and the bytes a
segment gains.

    bench/captions_bench.py [segments per kind, 8 by default]
"""

import os
import statistics
import sys
import time

Here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(Here, "..", "tests"))
from quorvel_harness import QuorvelServer  # noqa: E402

Kinds = [("none", ""), ("608", "&cc=608"), ("608,708", "&cc=608,708")]


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 8
    with QuorvelServer() as server:
        for codec, codec_query in [("H.264", ""), ("HEVC", "&hvc1")]:
            # Exactly the segments asked for below.
            assets = {name: server.make_asset("duration=%d%s%s" % (3 * count, codec_query, query)) for name, query in Kinds}
            times = {name: [] for name, _ in Kinds}
            sizes = {name: [] for name, _ in Kinds}
            for index in reversed(range(count)):
                for name, _ in Kinds:
                    began = time.monotonic()
                    status, _, body = server.get("video-body.mp4?asset=%d&variant=0&index=%d" % (assets[name], index), timeout=120)
                    times[name].append(time.monotonic() - began)
                    assert status == 200, status
                    sizes[name].append(len(body))
            plain_time = statistics.median(times["none"])
            plain_size = statistics.median(sizes["none"])
            print("%s, %d segments of 3 s (75 pictures) per kind:" % (codec, count))
            for name, _ in Kinds:
                made = statistics.median(times[name])
                size = statistics.median(sizes[name])
                print("  cc=%-8s made in %6.0f ms median (%+5.1f %%), %8d bytes (%+6d, %+5.1f bytes a picture)" % (
                    name, made * 1000, (made / plain_time - 1) * 100, size, size - plain_size, (size - plain_size) / 75))


if __name__ == "__main__":
    main()
