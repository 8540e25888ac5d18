#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Cached-segment requests per second with the request log at work (every
request of an asset is logged, with its CMCD header fields), beside nginx
serving the same bytes from a file, through the same client in the same run;
then the log's own figures (quorvel_request_log_bench: one append, memory at
its bounds) and the session route answering a whole ring.

    bench/request_log_bench.py [seconds per measurement, 5 by default]
"""

import http.client
import os
import subprocess
import sys
import tempfile
import threading
import time

Here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(Here, "..", "tests"))
from quorvel_harness import QuorvelServer, binary_path  # noqa: E402
from nginx_peer import NginxPeer  # noqa: E402

Clients = 4
Fields = {"CMCD-Request": "bl=12300,mtp=25400", "CMCD-Object": "br=2400,ot=v,d=2000", "CMCD-Session": 'sid="6e2fb550-c457-11e9-bb97-0800200c9a66"'}


def requests_per_second(port, path, seconds, headers):
    """Keep-alive GETs of path from Clients threads for seconds: answers per second."""
    counts = [0] * Clients
    end = time.monotonic() + seconds

    def client(slot):
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
        while time.monotonic() < end:
            connection.request("GET", path, headers=headers)
            response = connection.getresponse()
            response.read()
            assert response.status == 200, response.status
            counts[slot] += 1
        connection.close()

    threads = [threading.Thread(target=client, args=(slot,)) for slot in range(Clients)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return sum(counts) / seconds


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 5.0
    with tempfile.TemporaryDirectory(prefix="quorvel-log-bench-") as folder, QuorvelServer() as server:
        asset = server.make_asset("duration=30")
        segment = server.path("video-body.mp4?asset=%d&variant=0&index=3" % asset)
        status, _, data = server.get(segment)
        assert status == 200
        with NginxPeer(folder) as nginx:
            with open(os.path.join(nginx.media, "segment.mp4"), "wb") as out:
                out.write(data)
            quorvel_rate = requests_per_second(server.port, segment, seconds, Fields)
            nginx_rate = requests_per_second(nginx.port, "/segment.mp4", seconds, Fields)
            print("cached segment of %d bytes, %d keep-alive clients: quorvel (logged) %.0f requests/s, nginx %.0f requests/s" %
                  (len(data), Clients, quorvel_rate, nginx_rate))
        status, _, log = server.get("session?asset=%d" % asset)
        began = time.monotonic()
        status, _, log = server.get("session?asset=%d" % asset)
        print("session route, whole ring (%d bytes of JSON): %.1f ms" % (len(log), (time.monotonic() - began) * 1000))
        metrics = server.get("metrics")[2].decode()
        print("".join(line + "\n" for line in metrics.splitlines() if line.startswith("quorvel_request_log")), end="")
    bench = os.path.join(os.path.dirname(binary_path()), "quorvel_request_log_bench")
    print(subprocess.run([bench], capture_output=True, text=True, check=True).stdout, end="")


if __name__ == "__main__":
    main()
