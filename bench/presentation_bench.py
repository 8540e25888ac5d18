# SPDX-License-Identifier: GPL-2.0-or-later
"""Throughput of the manifest routes and the memory an asset costs.

Runs the server in software mode on loopback and measures with wrk:
  - "master.m3u8" (creates an asset on every request),
  - "video.m3u8" of one live asset (a sliding window read from the clock),
  - "manifest.mpd" (creates an asset on every request),
next to a peer in the same run: nginx serving the same answers as static
files, which shows what the HTTP path costs without any playlist work.
Then it makes at least 100,000 assets and reports the growth of the server's
resident memory per asset.

    python3 bench/presentation_bench.py [seconds per wrk run, default 5]
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from quorvel_harness import QuorvelServer, free_port  # noqa: E402

Seconds = int(sys.argv[1]) if len(sys.argv) > 1 else 5
AssetTarget = 100_000


def wrk(Url, Duration=Seconds):
    """Requests per second wrk reaches on one URL with 2 threads and 16 connections."""
    Output = subprocess.run(["wrk", "-t2", "-c16", "-d%ds" % Duration, Url], check=True, capture_output=True, text=True).stdout
    Errors = re.search(r"Non-2xx or 3xx responses: (\d+)", Output)
    if Errors:
        raise RuntimeError("wrk saw %s failed answers on %s" % (Errors.group(1), Url))
    return float(re.search(r"Requests/sec:\s+([\d.]+)", Output).group(1))


def resident_bytes(Pid):
    with open("/proc/%d/status" % Pid) as Status:
        return int(re.search(r"VmRSS:\s+(\d+) kB", Status.read()).group(1)) * 1024


def last_asset(Server):
    _, _, Body = Server.get("master.m3u8")
    return int(re.search(rb"asset=(\d+)", Body).group(1))


class StaticPeer:
    """nginx serving files from a folder on its own loopback port."""

    def __init__(self, Files):
        self.folder = tempfile.mkdtemp(prefix="presentation-bench-")
        os.chmod(self.folder, 0o755)  # nginx workers read as an unprivileged user
        os.makedirs(os.path.join(self.folder, "hls"))
        for Name, Body in Files.items():
            with open(os.path.join(self.folder, "hls", Name), "wb") as File:
                File.write(Body)
        self.port = free_port()
        Configuration = os.path.join(self.folder, "nginx.conf")
        with open(Configuration, "w") as File:
            File.write("daemon off; worker_processes 1; error_log stderr; pid %s/nginx.pid;\n"
                       "events { worker_connections 256; }\n"
                       "http { access_log off; types { application/vnd.apple.mpegURL m3u8; application/dash+xml mpd; }\n"
                       "  server { listen 127.0.0.1:%d; root %s; } }\n" % (self.folder, self.port, self.folder))
        self.process = subprocess.Popen(["nginx", "-c", Configuration, "-p", self.folder], stderr=subprocess.DEVNULL)
        time.sleep(0.5)

    def url(self, Name):
        return "http://127.0.0.1:%d/hls/%s" % (self.port, Name)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(30)
        shutil.rmtree(self.folder, ignore_errors=True)


def main():
    with QuorvelServer() as Server:
        Pid = Server.process.pid
        Before = resident_bytes(Pid)
        FirstAsset = last_asset(Server)
        _, _, Live = Server.get("master.m3u8?live")
        LiveAsset = int(re.search(rb"asset=(\d+)", Live).group(1))
        Routes = [("master.m3u8", "master.m3u8"), ("video.m3u8 (live)", "video.m3u8?asset=%d&variant=0" % LiveAsset), ("manifest.mpd", "manifest.mpd")]
        Peer = StaticPeer({"master.m3u8": Server.get("master.m3u8")[2], "video.m3u8": Server.get(Routes[1][1])[2], "manifest.mpd": Server.get("manifest.mpd")[2]})
        try:
            print("%-20s %12s %12s" % ("route", "quorvel r/s", "nginx r/s"))
            for Name, Path in Routes:
                Ours = wrk(Server.url(Path))
                Theirs = wrk(Peer.url(Path.split("?")[0]))
                print("%-20s %12.0f %12.0f" % (Name, Ours, Theirs))
        finally:
            Peer.stop()
        while last_asset(Server) - FirstAsset < AssetTarget:
            wrk(Server.url("manifest.mpd"), 3)
        Assets = last_asset(Server) - FirstAsset
        After = resident_bytes(Pid)
        print("assets made: %d, resident memory %.1f MiB -> %.1f MiB, %.0f bytes per asset"
              % (Assets, Before / 2**20, After / 2**20, (After - Before) / Assets))


if __name__ == "__main__":
    main()
