# SPDX-License-Identifier: GPL-2.0-or-later
"""The server's own endpoints, its error answers, its HTTP limits, its
command line and its shutdown, through the real program."""

import os
import signal
import socket
import subprocess
import unittest

from quorvel_harness import QuorvelServer, binary_path, free_port

CROSS_ORIGIN = {
    "Access-Control-Allow-Origin": "*",
    "Access-Control-Allow-Methods": "GET, OPTIONS",
    "Access-Control-Allow-Headers": "Content-Type, Range",
    "Access-Control-Expose-Headers": "Content-Length, Range",
    "Access-Control-Max-Age": "86400",
}


def error_status(body):
    """The status of an error body: "Exception 0x80FF0907..." gives "0x80FF0907"."""
    first = body.decode("utf-8").split("\n", 1)[0]
    assert first.startswith("Exception 0x"), body
    return first[len("Exception "):].rstrip("\r")


class Endpoints(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = QuorvelServer().start()

    @classmethod
    def tearDownClass(cls):
        assert cls.server.stop() == 0, cls.server.stderr.text()

    def test_start_up_lines_come_in_order(self):
        lines = self.server.stdout.lines
        start = lines.index("--") + 1
        self.assertEqual(lines[start], "Using audio segment duration: 00:00:06.000 0000")
        rest = [line for line in lines[start + 1:] if not line.startswith("Local IP Addresses: ")]
        self.assertEqual(rest[:3], [f"Web Server Locations: {self.server.url('')}", "Press Ctrl+C to exit...", "Waiting for Request..."])

    def test_version_and_about(self):
        status, headers, body = self.server.get("version")
        self.assertEqual(status, 200)
        self.assertEqual(headers["Content-Type"], "text/plain; charset=utf-8")
        self.assertNotIn("Access-Control-Allow-Origin", headers)
        text = body.decode("utf-8")
        self.assertRegex(text, r"^(Git Describe: .+\r\n)?Configuration: \w+\r\n")
        status, headers, body = self.server.get("about")
        self.assertEqual(status, 200)
        self.assertEqual(headers["Content-Type"], "text/html; charset=utf-8")
        self.assertIn(b"<html", body)
        self.assertNotIn(b"$(Build)", body)
        self.assertRegex(body.decode("utf-8"), r"Build: (\w+ .+; \w+|Not Available)</p>")

    def test_request_lines_show_the_full_url(self):
        self.server.get("version?x=%41")
        line = self.server.stdout.wait_for(r"^Request: .*version\?x=%41$", 10)
        self.assertEqual(line, f"Request: {self.server.url('version')}?x=%41")

    def test_errors_are_400_with_status_message_and_footer(self):
        status, headers, body = self.server.get("exception")
        self.assertEqual(status, 400)
        self.assertEqual(headers["Content-Type"], "text/plain; charset=utf-8")
        text = body.decode("utf-8")
        self.assertTrue(text.startswith("Exception 0x80FF0940\nIntentional exception with an associated message\r\n--\r\n"), text)
        self.assertIn("web page", text.splitlines()[-1])
        self.assertNotIn("Access-Control-Allow-Origin", headers)
        # How the route table answers unknown paths is RouteTableTest's.
        cases = [
            ("/elsewhere/version", "0x80FF0907"),  # outside the base path
            ("/hls/../version", "0x80FF0907"),     # ".." cannot reach the base path from outside
            ("/hls/nothing?asset=999", "0x80FF0BFE"),
            ("/hls/version?a=%zz", "0x80070057"),  # a query escape that is not hexadecimal
        ]
        for target, expected in cases:
            with self.subTest(target=target):
                status, _, body = self.server.get(target)
                self.assertEqual(status, 400)
                self.assertEqual(error_status(body), expected)

    def test_options_and_other_methods(self):
        status, headers, body = self.server.get("anything", method="OPTIONS")
        self.assertEqual((status, body), (204, b""))
        for name, value in CROSS_ORIGIN.items():
            self.assertEqual(headers[name], value)
        status, _, body = self.server.get("version", method="POST", body=b"payload")
        self.assertEqual(status, 400)
        self.assertIn(b"Exception 0x80FF0D92\nUnexpected HTTP request method, Request->Verb 6\r\n", body)
        status, _, body = self.server.get("version", method="DELETE")
        self.assertIn(b"Request->Verb 8", body)

    def test_head_gets_the_head_a_get_gets_and_the_connection_goes_on(self):
        connection = self.server.connection()
        connection.request("GET", self.server.path("version"))
        whole = connection.getresponse()
        body = whole.read()
        connection.request("HEAD", self.server.path("version"))
        response = connection.getresponse()
        self.assertEqual(response.status, 200)
        self.assertEqual(response.getheader("Content-Length"), str(len(body)))
        self.assertEqual(response.getheader("Content-Type"), whole.getheader("Content-Type"))
        self.assertEqual(response.read(), b"")
        connection.request("GET", self.server.path("version"))
        self.assertEqual(connection.getresponse().read(), body)
        connection.close()

    def test_several_requests_on_one_kept_alive_connection(self):
        connection = self.server.connection()
        for target in ["version", "exception", "about", "version"]:
            connection.request("GET", self.server.path(target))
            response = connection.getresponse()
            response.read()
            self.assertIn(response.status, (200, 400))
            self.assertFalse(response.will_close)
        # The same socket served them all: pipelined raw requests agree.
        reply = self.server.raw(("GET /hls/version HTTP/1.1\r\nHost: x\r\n\r\n" * 2 +
                                 "GET /hls/version HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n").encode())
        self.assertEqual(reply.count(b"HTTP/1.1 200 OK\r\n"), 3)
        connection.close()

    def test_bad_requests_get_an_http_error_and_others_are_still_served(self):
        # Header fields well past one page are still a normal request.
        self.assertEqual(self.server.get("version", headers={"X-Filler": "a" * 10000})[0], 200)
        big = b"GET /hls/version HTTP/1.1\r\nHost: x\r\nX-Filler: " + b"a" * 20000 + b"\r\n\r\n"
        self.assertTrue(self.server.raw(big).startswith(b"HTTP/1.1 431 "))
        self.assertTrue(self.server.raw(b"GET /hls/" + b"a" * 20000 + b" HTTP/1.1\r\n\r\n").startswith(b"HTTP/1.1 431 "))
        body = b"x" * 70000
        self.assertTrue(self.server.raw(b"POST /hls/version HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\n\r\n" % len(body) + body).startswith(b"HTTP/1.1 413 "))
        self.assertTrue(self.server.raw(b"NOT HTTP AT ALL\r\n\r\n").startswith(b"HTTP/1.1 400 "))
        self.assertTrue(self.server.raw(b"GET /hls/%zz HTTP/1.1\r\nHost: x\r\n\r\n").startswith(b"HTTP/1.1 400 "))
        # A client that leaves in the middle of its request.
        with socket.create_connection(("127.0.0.1", self.server.port)) as client:
            client.sendall(b"GET /hls/version HTTP/1.1\r\nHo")
        self.assertEqual(self.server.get("version")[0], 200)


class Shutdown(unittest.TestCase):
    def test_sigterm_with_connected_clients_exits_0(self):
        server = QuorvelServer().start()
        idle = server.connection()
        idle.request("GET", server.path("version"))
        idle.getresponse().read()
        half = socket.create_connection(("127.0.0.1", server.port))
        half.sendall(b"GET /hls/version HTTP/1.1\r\n")
        self.assertEqual(server.stop(signal.SIGTERM), 0)
        self.assertIn("Console Control Handler: CTRL_SHUTDOWN_EVENT", server.stdout.lines)
        try:
            self.assertEqual(half.recv(100), b"")  # closed, with nothing sent
        except ConnectionResetError:
            pass  # closed before the server had read what was sent
        half.close()
        idle.close()

    def test_sigint_is_ctrl_c(self):
        server = QuorvelServer().start()
        self.assertEqual(server.stop(signal.SIGINT), 0)
        self.assertIn("Console Control Handler: CTRL_C_EVENT", server.stdout.lines)


class Locations(unittest.TestCase):
    def test_two_locations_on_one_port(self):
        server = QuorvelServer(locations=["http://127.0.0.1:{port}/a/", "http://*:{port}/b/"])
        with server:
            self.assertEqual(server.get("/a/version")[0], 200)
            self.assertEqual(server.get("/b/version")[0], 200)
            self.assertEqual(error_status(server.get("/c/version")[2]), "0x80FF0907")

    def test_a_location_that_cannot_be_bound_ends_the_start(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            result = run_quorvel("-Software", "-Location", f"http://127.0.0.1:{port}/hls/")
        self.assertEqual(result.returncode, 1)
        self.assertNotIn("Waiting for Request...", result.stdout)
        self.assertIn("Press Ctrl+C to exit...", result.stdout)
        self.assertRegex(result.stderr, r"Exception 0x800700B7 .*Address already in use")


def run_quorvel(*arguments, timeout=60):
    return subprocess.run([binary_path(), *arguments], capture_output=True, text=True, timeout=timeout, stdin=subprocess.DEVNULL)


class CommandLine(unittest.TestCase):
    def test_banner_and_syntax_help(self):
        for option in ["-?", "-SYNTAX", "-syntax:x"]:
            result = run_quorvel(option, "-Location", "http://127.0.0.1:1/x/")
            self.assertEqual(result.returncode, 0)
            lines = result.stdout.splitlines()
            self.assertTrue(lines[0].startswith(os.path.basename(binary_path()) + " "), lines[0])
            help_start = lines.index("--") + 1
            self.assertEqual(lines[help_start:help_start + 3], ["Syntax: Quorvel [options]", "", "Options: "])
            self.assertEqual(len(lines) - help_start, 13)
            # Options of this system come after the original ones.
            self.assertTrue(lines[-2].startswith("  -SegmentCacheBytes <bytes> - "), lines[-2])
            self.assertTrue(lines[-1].startswith("  -AssetStore <redis://host:port> - "), lines[-1])
            self.assertNotIn("Waiting for Request...", result.stdout)

    def test_adapter_list_ends_at_once(self):
        for option in ["-EnumerateAdapters", "-ea"]:
            result = run_quorvel(option)
            self.assertEqual(result.returncode, 0)
            after = result.stdout.split("--\n", 1)[1]
            for line in after.splitlines():
                self.assertRegex(line, r"^Adapter \d+: .+, Vendor 0x[0-9A-F]{4}, PCI ")

    def test_missing_value_and_unknown_arguments(self):
        result = run_quorvel("-Foo:Bar", "plain", "-Location")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr.splitlines(), [
            "Warning, command line option argument not recognized: Foo",
            "Warning, command line argument not recognized: plain",
            "Exception 0x80070057 The parameter is incorrect.",
        ])

    def test_debug_forwards_traces_with_local_time(self):
        server = QuorvelServer(options=["-Software", "-Debug"])
        with server:
            server.get("exception")
            line = server.stdout.wait_for(r"TextRoutes\.cpp\(\d+\): ", 10)
        self.assertRegex(line, r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\tTextRoutes\.cpp\(\d+\): Application::\S+: Exception, 0x80FF0940, expression ")


class ResponseBodies(unittest.TestCase):
    def test_response_folder_is_made_beside_the_program(self):
        folder = os.path.join(os.path.dirname(binary_path()), "Response")
        with QuorvelServer(options=["-Software", "-WriteResponseBody", "-DeletePreviousResponseBodies"]) as server:
            self.assertTrue(os.path.isdir(folder))
            self.assertEqual(server.get("version")[0], 200)


if __name__ == "__main__":
    unittest.main()
