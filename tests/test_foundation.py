# SPDX-License-Identifier: GPL-2.0-or-later
"""The server's own endpoints, its error answers, its command line and its
shutdown, through the real program. How a connection reads, limits and
refuses requests, and answers HEAD, is judged by the HTTP unit tests
(ConnectionTest, ServerTest) and SegmentProductionTest, the error text by
AppTextTest, the console and trace lines by HostTest and TraceTest
(test_reliability.py follows the server by them)."""

import json
import os
import signal
import socket
import subprocess
import unittest
import urllib.parse

from media_client import MediaClient
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


def run_quorvel(*arguments, timeout=60):
    return subprocess.run([binary_path(), *arguments], capture_output=True, text=True, timeout=timeout, stdin=subprocess.DEVNULL)


class Endpoints(MediaClient, unittest.TestCase):
    def test_text_routes_and_errors(self):
        # How the route table answers unknown paths is RouteTableTest's, how
        # ".." and escapes in a path are read AbsolutePathTest's.
        rows = [
            ("/hls/version", 200, "text/plain; charset=utf-8", None),
            ("/hls/about", 200, "text/html; charset=utf-8", None),
            ("/hls/exception", 400, "text/plain; charset=utf-8", "0x80FF0940"),
            ("/elsewhere/version", 400, "text/plain; charset=utf-8", "0x80FF0907"),  # outside the base path
            ("/hls/version?a=%zz", 400, "text/plain; charset=utf-8", "0x80070057"),  # a query escape that is not hexadecimal
        ]
        for target, status, content_type, code in rows:
            with self.subTest(target=target):
                got, headers, body = self.server.get(target)
                self.assertEqual((got, headers["Content-Type"]), (status, content_type))
                self.assertNotIn("Access-Control-Allow-Origin", headers)
                self.assertNotIn(b"$(", body)  # every placeholder of the texts filled
                if code:
                    self.assertEqual(error_status(body), code)

    def test_options_json_is_the_table_of_query_options(self):
        status, headers, body = self.server.get("options.json")
        self.assertEqual((status, headers["Content-Type"], headers["Cache-Control"]), (200, "application/json; charset=utf-8", "no-cache"))
        self.assertEqual(headers["Access-Control-Allow-Origin"], "*")
        table = json.loads(body)
        # What the groups and rows say is OptionTableTest's; here, how they are written.
        self.assertEqual({option["group"] for option in table["options"]}, {group["id"] for group in table["groups"]})
        fields = ["name", "alias", "group", "kind", "minimum", "maximum", "default", "choices", "routes", "choiceRoutes", "help", "example"]
        for option in table["options"]:
            with self.subTest(option=option["name"]):
                self.assertEqual(list(option), fields)
                self.assertIn(option["kind"], ("flag", "integer", "time", "hex", "choice", "text"))
                for bound in ("minimum", "maximum"):
                    self.assertTrue(option[bound] is None or isinstance(option[bound], (int, float)))
        # The examples the page shows are values the server takes.
        for option in table["options"]:
            if option["group"] in ("faults", "clock") and option["example"]:
                with self.subTest(example=option["name"]):
                    query = urllib.parse.urlencode({option["name"]: option["example"]})
                    self.assertEqual(self.server.get("master.m3u8?" + query)[0], 200, query)

    def test_options_and_other_methods(self):
        status, headers, body = self.server.get("anything", method="OPTIONS")
        self.assertEqual((status, body), (204, b""))
        for name, value in CROSS_ORIGIN.items():
            self.assertEqual(headers[name], value)
        for method in ("POST", "DELETE"):
            status, _, body = self.server.get("version", method=method, body=b"payload")
            self.assertEqual((status, error_status(body)), (400, "0x80FF0D92"))


class Shutdown(unittest.TestCase):
    def test_sigterm_and_sigint_end_the_server_with_0_whatever_its_clients_do(self):
        for sig, event in ((signal.SIGTERM, "CTRL_SHUTDOWN_EVENT"), (signal.SIGINT, "CTRL_C_EVENT")):
            with self.subTest(event):
                server = QuorvelServer().start()
                idle = server.connection()
                idle.request("GET", server.path("version"))
                idle.getresponse().read()
                half = socket.create_connection(("127.0.0.1", server.port))
                half.sendall(b"GET /hls/version HTTP/1.1\r\n")
                self.assertEqual(server.stop(sig), 0)
                self.assertIn("Console Control Handler: " + event, server.stdout.lines)
                try:
                    self.assertEqual(half.recv(100), b"")  # closed, with nothing sent
                except ConnectionResetError:
                    pass  # closed before the server had read what was sent
                half.close()
                idle.close()


class Locations(unittest.TestCase):
    def test_two_locations_on_one_port(self):
        server = QuorvelServer(locations=["http://127.0.0.1:{port}/a/", "http://*:{port}/b/"])
        with server:
            self.assertEqual(server.get("/a/version")[0], 200)
            self.assertEqual(server.get("/b/version")[0], 200)
            self.assertEqual(error_status(server.get("/c/version")[2]), "0x80FF0907")

    def test_a_location_or_a_limit_that_cannot_be_served_ends_the_start(self):
        # Which values are refused is CommandLineOptionsTest's and LocationTest's: here, how.
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            location = "http://127.0.0.1:%d/hls/" % free_port()
            for arguments, message in ((["-Location", "http://127.0.0.1:%d/hls/" % taken.getsockname()[1]], r"Exception 0x800700B7 .*Address already in use"),
                                       (["-Location", location[:-1]],
                                        r'Exception 0x80070057 Location http://127\.0\.0\.1:\d+/hls is not valid: the path does not end with "/"'),
                                       (["-Location", location, "-MaxConnectionsPerAddress", "64k"],
                                        r"Exception 0x80070057 -MaxConnectionsPerAddress 64k is not valid: expected a whole number from 2 to 1048576")):
                with self.subTest(arguments):
                    result = run_quorvel("-Software", *arguments)
                    self.assertEqual(result.returncode, 1)
                    self.assertNotIn("Waiting for Request...", result.stdout)
                    self.assertRegex(result.stderr, message)


class CommandLine(unittest.TestCase):
    def test_banner_syntax_help_and_adapter_list_end_at_once(self):
        # The options' other spellings are CommandLineOptionsTest's, the adapter lines AdapterList's.
        for option in ("-SYNTAX:x", "-ea"):
            with self.subTest(option):
                result = run_quorvel(option, "-Location", "http://127.0.0.1:1/x/")
                self.assertEqual(result.returncode, 0)
                self.assertNotIn("Waiting for Request...", result.stdout)
                lines = result.stdout.splitlines()
                self.assertTrue(lines[0].startswith(os.path.basename(binary_path()) + " "), lines[0])
        lines = run_quorvel("-?").stdout.splitlines()
        help_start = lines.index("--") + 1
        self.assertEqual(lines[help_start:help_start + 3], ["Syntax: Quorvel [options]", "", "Options: "])
        # Options of this system come after the original ones.
        self.assertTrue(lines[-5].startswith("  -SegmentCacheBytes <bytes> - "), lines[-5])
        self.assertTrue(lines[-1].startswith("  -TrustedProxy <address> - "), lines[-1])



if __name__ == "__main__":
    unittest.main()
