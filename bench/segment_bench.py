# SPDX-License-Identifier: GPL-2.0-or-later
"""Time to produce media segments through the HTTP routes.

Runs the server in software mode on loopback and measures, median of N runs:
  - the default video segment (720p25, 3 s, H.264) through "video-body.mp4",
    asked for alone: the server is quiet (nothing being made, by its
    metrics) and the segment is one nobody asked for before, far from any
    asked for, so that neither the cache nor work begun for a neighbour
    makes it early: time to the first body byte and to the whole segment,
  - next to it in the same run, the ffmpeg command line making the
    equivalent segment: lavfi colour, the swaying box and three drawtext
    lines, libx264 veryfast at the same constant quality (CRF 24), GOP 25,
    4 B-pictures, fragmented MP4 with one fragment per picture; with all
    processors (-threads 0, ffmpeg's default) and with one encoder thread,
  - the first media request after start-up (once),
  - the HEVC, AV1 and VP9 segments, the AAC, FLAC, Opus, AC-3 and E-AC-3
    audio segments,
    each asked for alone as above,
  - segments per second with 1, 2, 8 and 16 clients asking at once for
    distinct segments nobody asked for before (goal: 8 and 16 at least as
    many as 2).
It prints the figures and the ratios the goals are stated in: the H.264
segment asked for alone in at most 0.6 of the time of ffmpeg with all
processors (and at most 0.9 once a lone request's encoder has every
processor), the first byte within 100 ms, HEVC at least twice as fast as
real time.

    python3 bench/segment_bench.py [runs, default 7]
"""

import os
import re
import socket
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from quorvel_harness import QuorvelServer  # noqa: E402

Runs = max(5, int(sys.argv[1]) if len(sys.argv) > 1 else 7)
SegmentSeconds = 3.0
# Segment numbers asked for are this far apart, so that none is one that
# work begun for an earlier request (reading ahead) could have made.
IndexSpacing = 16
# Seconds of media in each asset: room for every segment number asked for.
AssetSeconds = 86400
FontDirectory = "/usr/share/fonts/truetype/open-sans/"


def timed_get(server, path):
    """(seconds to the first body byte, seconds to the end) of one request on
    a connection of its own, reading the chunked body to its last chunk."""
    started = time.monotonic()
    with socket.create_connection(("127.0.0.1", server.port), timeout=120) as connection:
        connection.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % server.path(path)).encode())
        buffer = b""
        while b"\r\n\r\n" not in buffer:
            buffer += connection.recv(65536)
        head, body = buffer.split(b"\r\n\r\n", 1)
        if not head.startswith(b"HTTP/1.1 200"):
            raise RuntimeError("%s: %s" % (path, head[:60]))
        while not body:
            body += connection.recv(65536)
        first = time.monotonic() - started
        while not body.endswith(b"0\r\n\r\n"):
            piece = connection.recv(1 << 20)
            if not piece:
                raise RuntimeError("%s: the body ended early" % path)
            body += piece
        return first, time.monotonic() - started


def ffmpeg_segment_seconds(threads):
    """The ffmpeg command line making the equivalent 720p25 H.264 segment,
    its encoder on threads threads ("0": as many as suit the processors)."""
    sway = "213.333*sin(2*PI*n/100)"

    def text(font, size, content, top):
        return ",drawtext=fontfile=%s%s:fontsize=%d:fontcolor=0xF0E68C:text='%s':x=(w-tw)/2+%s:y=%d" % (FontDirectory, font, size, content, sway, top)

    graph = ("color=c=black:s=1280x720:r=25[bg];color=c=0x00008B:s=768x540:r=25[box];[bg][box]overlay=x='256+%s':y=90:shortest=1" % sway
             + text("OpenSans-Semibold.ttf", 120, "%{frame_num}", 190) + text("OpenSans-Regular.ttf", 60, "%{pts\\:hms}", 330)
             + text("OpenSans-Regular.ttf", 22, "(1280x720@25)", 420))
    command = ["ffmpeg", "-hide_banner", "-nostdin", "-v", "error", "-f", "lavfi", "-i", graph, "-frames:v", "75", "-pix_fmt", "yuv420p",
               "-c:v", "libx264", "-preset", "veryfast", "-crf", "24", "-g", "25", "-keyint_min", "25", "-sc_threshold", "0", "-bf", "4",
               "-profile:v", "high", "-threads", threads, "-movflags", "frag_every_frame+empty_moov+default_base_moof", "-f", "mp4", "-y", "/dev/null"]
    started = time.monotonic()
    subprocess.run(command, check=True)
    return time.monotonic() - started


def median_of(measure):
    return statistics.median(measure() for _ in range(Runs))


def segments_per_second(server, paths, clients):
    """Segments a second when Clients ask at once, each a list of paths in turn."""
    work = list(paths)
    lock = threading.Lock()

    def client():
        while True:
            with lock:
                if not work:
                    return
                path = work.pop()
            timed_get(server, path)

    started = time.monotonic()
    threads = [threading.Thread(target=client) for _ in range(clients)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return len(paths) / (time.monotonic() - started)


def asset(server, query=""):
    _, _, body = server.get("master.m3u8?duration=%d%s" % (AssetSeconds, query))
    return int(re.search(rb"asset=(\d+)", body).group(1))


def wait_until_quiet(server, limit=120):
    """Waits until the server makes nothing, by its metrics."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        _, _, body = server.get("metrics")
        busy = re.findall(rb"^quorvel_(?:productions_in_progress|tasks_waiting|tasks_running)(?:\{[^}]*\})? (\S+)$", body, re.M)
        if busy and all(float(value) == 0 for value in busy):
            return
        time.sleep(0.05)
    raise RuntimeError("the server did not become quiet in %d s" % limit)


def main():
    with QuorvelServer() as server:
        h264, hevc, av1, vp9, flac = asset(server), asset(server, "&hvc1"), asset(server, "&av1"), asset(server, "&vp9"), asset(server, "&flac")
        others = asset(server, "&audio=opus,ac3,ec3")
        counter = iter(range(10**6))

        def index():
            return IndexSpacing * next(counter)

        def video(number):
            return "video-body.mp4?asset=%d&variant=0&index=%d" % (number, index())

        def alone(path):
            wait_until_quiet(server)
            return timed_get(server, path)

        wait_until_quiet(server)
        _, after_start = timed_get(server, video(h264))
        firsts, totals = [], []
        for _ in range(Runs):
            first, total = alone(video(h264))
            firsts.append(first)
            totals.append(total)
        ours, first_byte = statistics.median(totals), statistics.median(firsts)
        wait_until_quiet(server)
        peer = median_of(lambda: ffmpeg_segment_seconds("0"))
        peer_one = median_of(lambda: ffmpeg_segment_seconds("1"))
        hevc_seconds = median_of(lambda: alone(video(hevc))[1])
        av1_seconds = median_of(lambda: alone(video(av1))[1])
        vp9_seconds = median_of(lambda: alone(video(vp9))[1])
        aac_seconds = median_of(lambda: alone("audio-body.mp4?asset=%d&index=%d" % (h264, index()))[1])
        flac_seconds = median_of(lambda: alone("audio-body.mp4?asset=%d&index=%d" % (flac, index()))[1])
        codec_seconds = {codec: median_of(lambda codec=codec: alone("audio-body.mp4?asset=%d&audio=%s&index=%d" % (others, codec, index()))[1])
                         for codec in ("opus", "ac3", "ec3")}
        rates = {}
        for clients in (1, 2, 8, 16):
            wait_until_quiet(server)
            rates[clients] = segments_per_second(server, [video(h264) for _ in range(4 * max(clients, 2))], clients)

    print("segment production through HTTP, median of %d, %d processors" % (Runs, os.cpu_count()))
    print("%-52s %10.1f ms" % ("H.264 720p25 3 s segment, whole", ours * 1000))
    print("%-52s %10.1f ms" % ("ffmpeg command line, equivalent segment, all cores", peer * 1000))
    print("%-52s %10.1f ms" % ("ffmpeg command line, one encoder thread", peer_one * 1000))
    print("%-52s %10.2f      (goal <= 0.6; lone request <= 0.9)" % ("ratio ours / ffmpeg all cores", ours / peer))
    print("%-52s %10.1f ms   (goal <= 100 ms)" % ("H.264 segment, time to first byte", first_byte * 1000))
    print("%-52s %10.1f ms" % ("H.264 segment, first request after start-up", after_start * 1000))
    print("%-52s %10.1f ms   %.1fx real time (goal >= 2)" % ("HEVC 720p25 3 s segment", hevc_seconds * 1000, SegmentSeconds / hevc_seconds))
    print("%-52s %10.1f ms   %.1fx real time" % ("AV1 720p25 3 s segment", av1_seconds * 1000, SegmentSeconds / av1_seconds))
    print("%-52s %10.1f ms   %.1fx real time" % ("VP9 720p25 3 s segment", vp9_seconds * 1000, SegmentSeconds / vp9_seconds))
    print("%-52s %10.1f ms   %.0fx real time" % ("AAC 6 s segment", aac_seconds * 1000, 6.0 / aac_seconds))
    print("%-52s %10.1f ms   %.0fx real time" % ("FLAC 6.4 s segment", flac_seconds * 1000, 6.4 / flac_seconds))
    for codec, name in (("opus", "Opus"), ("ac3", "AC-3"), ("ec3", "E-AC-3")):
        print("%-52s %10.1f ms   %.0fx real time" % (name + " 6 s segment", codec_seconds[codec] * 1000, 6.0 / codec_seconds[codec]))
    for clients, rate in rates.items():
        print("%-52s %10.2f /s" % ("H.264 segments, %d client%s at once" % (clients, "" if clients == 1 else "s"), rate))


if __name__ == "__main__":
    main()
