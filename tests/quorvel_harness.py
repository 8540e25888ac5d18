# SPDX-License-Identifier: GPL-2.0-or-later
"""End-to-end test harness: runs the real quorvel program and talks to it.

A test starts the server on a free loopback port, waits until it serves,
talks HTTP to it with real clients, and stops it with SIGTERM, checking that
it exits with 0:

    import unittest
    from quorvel_harness import QuorvelServer

    class VersionTest(unittest.TestCase):
        def test_version(self):
            with QuorvelServer() as server:           # "-Software" by default
                status, headers, body = server.get("version")
                self.assertEqual(status, 200)

The program is $QUORVEL_BINARY_DIR/bin/quorvel (CTest sets the variable to
the build folder), else build/bin/quorvel of this checkout. Test files named
tests/test_*.py are run by CTest (tests/CMakeLists.txt) with
"python3 -m unittest". Only the standard library is used.
"""

import http.client
import os
import re
import signal
import socket
import struct
import subprocess
import threading
import time

REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# How long one external tool (ffprobe, ffmpeg, node, ...) may run.
ToolLimit = 300
# Pictures of a video segment of the default presentation: 3 s at 25/s.
FramesPerVideoSegment = 75


def run_tool(arguments, data=None, text=False, environment=None):
    """(standard output, standard error as text) of a tool that must succeed;
    standard output is bytes, or text with universal newlines when text."""
    result = subprocess.run(arguments, input=data, capture_output=True, timeout=ToolLimit, env=environment)
    errors = result.stderr.decode(errors="replace")
    if result.returncode != 0:
        raise AssertionError("%s exited with %d:\n%s" % (arguments[0], result.returncode, errors[-2000:]))
    output = result.stdout
    if text:
        output = output.decode(errors="replace").replace("\r\n", "\n").replace("\r", "\n")
    return output, errors.replace("\r\n", "\n").replace("\r", "\n") if text else errors


def binary_path():
    """The quorvel program under test."""
    build = os.environ.get("QUORVEL_BINARY_DIR", os.path.join(REPOSITORY, "build"))
    return os.path.join(build, "bin", "quorvel")


def free_port():
    """A loopback port nobody listens on right now."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def top_level_boxes(data):
    """(type, bytes) of each top-level box of MP4 data; the boxes must fill it."""
    boxes, offset = [], 0
    while offset < len(data):
        size, kind = struct.unpack(">I4s", data[offset:offset + 8])
        if size == 1:
            size = struct.unpack(">Q", data[offset + 8:offset + 16])[0]
        if size < 8 or offset + size > len(data):
            raise AssertionError("box of size %d at %d of %d bytes" % (size, offset, len(data)))
        boxes.append((kind.decode("latin-1"), data[offset:offset + size]))
        offset += size
    return boxes


def fragments(segment):
    """The moof + mdat pairs of a media segment."""
    boxes = top_level_boxes(segment)
    assert [kind for kind, _ in boxes] == ["moof", "mdat"] * (len(boxes) // 2), [kind for kind, _ in boxes][:6]
    return [boxes[index][1] + boxes[index + 1][1] for index in range(0, len(boxes), 2)]


def head_of(connection):
    """The head of the answer arriving on a socket, without its blank line
    (the body, if any, is left unread as far as the reads allow)."""
    received = b""
    while b"\r\n\r\n" not in received:
        piece = connection.recv(65536)
        if not piece:
            break
        received += piece
    return received.partition(b"\r\n\r\n")[0].decode("latin-1")


def read_answer(connection, received=b""):
    """(head, body, chunks) of one HTTP/1.1 answer read from a socket, after
    the bytes of it already received: a body with a Content-Length, or a
    chunked one whose framing is checked (chunks: their payloads, None for a
    sized body). A connection that closes before the end raises."""

    def more():
        piece = connection.recv(65536)
        if not piece:
            raise AssertionError("the connection closed within the answer: %r" % received[:300])
        return piece

    while b"\r\n\r\n" not in received:
        received += more()
    head, rest = received.split(b"\r\n\r\n", 1)
    head = head.decode("latin-1")
    length = re.search(r"^Content-Length: *(\d+)", head, re.M | re.I)
    if length:
        while len(rest) < int(length.group(1)):
            rest += more()
        return head, rest[:int(length.group(1))], None
    chunks = []
    while True:
        while b"\r\n" not in rest:
            rest += more()
        line, rest = rest.split(b"\r\n", 1)
        size = int(line, 16)
        while len(rest) < size + 2:
            rest += more()
        assert rest[size:size + 2] == b"\r\n", rest[:size + 2][-20:]
        if size == 0:
            return head, b"".join(chunks), chunks
        chunks.append(rest[:size])
        rest = rest[size + 2:]


class OutputCollector:
    """Collects the lines of one output stream of the server as they come."""

    def __init__(self, stream):
        self.lines = []
        self._condition = threading.Condition()
        self._closed = False
        self._thread = threading.Thread(target=self._read, args=(stream,), daemon=True)
        self._thread.start()

    def _read(self, stream):
        for raw in stream:
            with self._condition:
                self.lines.append(raw.decode("utf-8", "replace").rstrip("\r\n"))
                self._condition.notify_all()
        with self._condition:
            self._closed = True
            self._condition.notify_all()

    def wait_for(self, pattern, timeout, after=0):
        """The first line matching the regular expression, from line number
        after on (len(lines) marks what came before an action); None when
        the stream ends or the time runs out first."""
        expression = re.compile(pattern)
        deadline = time.monotonic() + timeout
        with self._condition:
            while True:
                for line in self.lines[after:]:
                    if expression.search(line):
                        return line
                left = deadline - time.monotonic()
                if self._closed or left <= 0:
                    return None
                self._condition.wait(left)

    def join(self, timeout=10):
        self._thread.join(timeout)

    def text(self):
        with self._condition:
            return "\n".join(self.lines)


class QuorvelServer:
    """One running quorvel serving http://127.0.0.1:<port><base_path>.

    options: extra command-line arguments (default ["-Software"]); the
    location option is added unless locations are given.
    start_timeout: seconds to wait for "Waiting for Request..."; start-up may
    run encoders first.
    environment: variables to set for the program, on top of this process's.
    program: another quorvel program than binary_path() (an installed one).
    """

    def __init__(self, options=("-Software",), base_path="/hls/", locations=None, start_timeout=120, environment=None, program=None):
        self.program = program or binary_path()
        self.options = list(options)
        self.environment = dict(os.environ, **(environment or {}))
        self.base_path = base_path
        self.locations = locations
        self.start_timeout = start_timeout
        self.port = None
        self.process = None
        self.stdout = None
        self.stderr = None

    # Life cycle -----------------------------------------------------------

    def start(self):
        """Starts the server and waits until it serves. A port taken by
        someone else between choosing and binding is tried again."""
        for _ in range(5):
            self.port = free_port()
            locations = self.locations or [f"http://127.0.0.1:{self.port}{self.base_path}"]
            arguments = [self.program] + self.options
            for location in locations:
                arguments += ["-Location", location.format(port=self.port)]
            self.process = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                            env=self.environment)
            self.stdout = OutputCollector(self.process.stdout)
            self.stderr = OutputCollector(self.process.stderr)
            if self.stdout.wait_for(r"^Waiting for Request\.\.\.$", self.start_timeout):
                return self
            self.process.wait(30)
            self.stdout.join()
            self.stderr.join()
            self.process.stdout.close()
            self.process.stderr.close()
            if "Address already in use" not in self.stderr.text():
                raise RuntimeError(f"quorvel did not start:\n{self.stdout.text()}\n{self.stderr.text()}")
        raise RuntimeError("quorvel found no free port")

    def stop(self, sig=signal.SIGTERM, timeout=30):
        """Sends the signal and returns the exit code once the process ended."""
        if self.process.poll() is None:
            self.process.send_signal(sig)
        code = self.process.wait(timeout)
        self.stdout.join()
        self.stderr.join()
        self.process.stdout.close()
        self.process.stderr.close()
        return code

    def __enter__(self):
        return self.start()

    def __exit__(self, kind, value, traceback):
        code = self.stop()
        if kind is None and code != 0:
            raise AssertionError(f"quorvel exited with {code}:\n{self.stderr.text()}")

    # Talking to it --------------------------------------------------------

    def path(self, relative):
        """The absolute path of a route: "version" gives "/hls/version"."""
        return self.base_path + relative

    def url(self, relative):
        return f"http://127.0.0.1:{self.port}{self.path(relative)}"

    def connection(self, timeout=60):
        """A new keep-alive connection (http.client) to the server."""
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)

    def make_asset(self, query="", manifest="master.m3u8"):
        """The number of a new asset made by a manifest request with query."""
        status, _, body = self.get(manifest + ("?" + query if query else ""))
        assert status == 200, (query, body[:300])
        return int(re.search(rb"asset=(\d+)", body).group(1))

    def send_get(self, relative, source="127.0.0.1", fields="", timeout=120):
        """A raw socket, from a loopback address of choice, on which a GET of
        relative was sent (read its answer with read_answer)."""
        connection = socket.create_connection(("127.0.0.1", self.port), timeout=timeout, source_address=(source, 0))
        connection.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n%s\r\n" % (self.path(relative), fields)).encode())
        return connection

    def get(self, relative, method="GET", headers=None, body=None, timeout=60):
        """One request on a connection of its own: (status, headers, body).
        relative is taken as an absolute path when it starts with "/"."""
        connection = self.connection(timeout)
        try:
            target = relative if relative.startswith("/") else self.path(relative)
            connection.request(method, target, body=body, headers=headers or {})
            response = connection.getresponse()
            return response.status, response.headers, response.read()
        finally:
            connection.close()
