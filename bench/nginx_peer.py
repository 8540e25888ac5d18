# SPDX-License-Identifier: GPL-2.0-or-later
"""nginx as the benchmarks' peer: the files of <folder>/media served on a
loopback port of its own, with sendfile and without logs."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from quorvel_harness import free_port  # noqa: E402


class NginxPeer:
    """one_process: no master, so that a library preloaded through
    environment sees the process that serves (it counts the process that
    loaded it first, not a worker forked from it)."""

    def __init__(self, folder, one_process=False, environment=None):
        self.folder = folder
        self.media = os.path.join(folder, "media")
        self.port = free_port()
        os.makedirs(self.media, exist_ok=True)
        with open(os.path.join(self.media, "ready"), "w") as ready:
            ready.write("ready\n")
        configuration = os.path.join(folder, "nginx.conf")
        with open(configuration, "w") as conf:
            conf.write("daemon off; %s pid %s/nginx.pid; error_log stderr;\n" % ("master_process off;" if one_process else "worker_processes 1;", folder) +
                       "events { worker_connections 4096; }\n"
                       "http { access_log off; default_type video/mp4; sendfile on; tcp_nopush on; keepalive_requests 100000;\n"
                       "  client_body_temp_path %s; proxy_temp_path %s; fastcgi_temp_path %s; uwsgi_temp_path %s; scgi_temp_path %s;\n"
                       "  server { listen 127.0.0.1:%d; root %s; } }\n" % ((folder,) * 5 + (self.port, self.media)))
        self.process = subprocess.Popen(["nginx", "-c", configuration, "-p", folder], env=environment, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if subprocess.run(["curl", "-sf", "-o", "/dev/null", self.url("/ready")]).returncode == 0:
                return
            time.sleep(0.05)
        self.stop()
        raise RuntimeError("nginx did not start")

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def stop(self):
        self.process.terminate()
        self.process.wait(30)

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.stop()
