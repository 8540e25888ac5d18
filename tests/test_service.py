# SPDX-License-Identifier: GPL-2.0-or-later
"""Service mode under systemd: the unit that -Service:Install writes and
-Service:Delete removes (in a unit folder of the test's own, named by
QUORVEL_SYSTEMD_UNIT_DIRECTORY, so that the machine's systemd is never
touched), and -Service:Main under a notify socket the test plays systemd on."""

import os
import shutil
import signal
import socket
import subprocess
import tempfile
import unittest

from quorvel_harness import top_level_boxes
from quorvel_harness import QuorvelServer, binary_path

UNIT = "pellumo-quorvel.service"


def run_quorvel(*arguments, environment=None, prefix=(), timeout=120):
    return subprocess.run([*prefix, binary_path(), *arguments], capture_output=True, text=True, timeout=timeout,
                          stdin=subprocess.DEVNULL, env=dict(os.environ, **(environment or {})))


def unit_line(text, key):
    for line in text.splitlines():
        if line.startswith(key + "="):
            return line[len(key) + 1:]
    return None


class Commands(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quorvel-units-")
        os.chmod(self.folder, 0o755)
        self.environment = {"QUORVEL_SYSTEMD_UNIT_DIRECTORY": self.folder}
        self.unit = os.path.join(self.folder, UNIT)
        self.link = os.path.join(self.folder, "multi-user.target.wants", UNIT)

    def tearDown(self):
        shutil.rmtree(self.folder)

    def test_install_writes_an_enabled_notify_unit_and_delete_removes_it(self):
        result = run_quorvel("-Service:Install", "-Location", "http://+:8080/hls/", environment=self.environment)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, f"Service {UNIT} installed: {self.unit}\n")
        self.assertEqual(result.stderr.splitlines(),
                         ["Warning, the unit folder is set by QUORVEL_SYSTEMD_UNIT_DIRECTORY: systemd is not told about the service"])
        with open(self.unit) as unit:
            text = unit.read()
        # The location option and its value follow, each after one blank;
        # quoting is SystemdUnit's (ServiceTest), the syntax systemd-analyze's.
        self.assertEqual(unit_line(text, "ExecStart"), f'"{binary_path()}" -Service:Main -Location http://+:8080/hls/')
        self.assertEqual((unit_line(text, "Type"), unit_line(text, "WantedBy")), ("notify", "multi-user.target"))
        self.assertEqual(os.readlink(self.link), self.unit)
        if shutil.which("systemd-analyze"):
            verify = subprocess.run(["systemd-analyze", "verify", self.unit], capture_output=True, text=True, timeout=120)
            self.assertEqual(verify.returncode, 0, verify.stderr)
            self.assertNotIn(UNIT, verify.stderr)

        again = run_quorvel("-Service:Install", environment=self.environment)
        self.assertEqual(again.returncode, 1)
        self.assertIn(f"Exception 0x800700B7 The service {UNIT} is installed already: {self.unit}", again.stderr)
        with open(self.unit) as unit:
            self.assertEqual(unit.read(), text)

        removed = run_quorvel("-service:delete", environment=self.environment)
        self.assertEqual(removed.returncode, 0, removed.stderr)
        self.assertEqual(removed.stdout, f"Service {UNIT} removed: {self.unit}\n")
        self.assertFalse(os.path.lexists(self.unit))
        self.assertFalse(os.path.lexists(self.link))
        missing = run_quorvel("-Service:Delete", environment=self.environment)
        self.assertEqual(missing.returncode, 1)
        self.assertRegex(missing.stderr, rf"Exception 0x80070002 The service {UNIT} is not installed")

        # A debugged install makes a self-debugging service.
        self.assertEqual(run_quorvel("-Debug", "-Service:Install", "-sw", environment=self.environment).returncode, 0)
        with open(self.unit) as unit:
            self.assertEqual(unit_line(unit.read(), "ExecStart"), f'"{binary_path()}" -Service:Main -Debug:Full -Debug -sw')

    @unittest.skipUnless(os.geteuid() == 0 and shutil.which("setpriv"), "needs root to run the program as another user")
    def test_without_privileges_the_exception_line_and_a_non_zero_exit(self):
        as_nobody = ("setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups")
        denied = run_quorvel("-Service:Install", environment=self.environment, prefix=as_nobody)
        self.assertEqual(denied.returncode, 1)
        self.assertEqual(denied.stderr.splitlines(), [f"Exception 0x80070005 Cannot write {self.unit}: Permission denied"])
        self.assertFalse(os.path.lexists(self.unit))
        self.assertEqual(run_quorvel("-Service:Install", environment=self.environment).returncode, 0)
        denied = run_quorvel("-Service:Delete", environment=self.environment, prefix=as_nobody)
        self.assertEqual(denied.returncode, 1)
        self.assertEqual(denied.stderr.splitlines(), [f"Exception 0x80070005 Cannot remove {self.unit}: Permission denied"])
        self.assertTrue(os.path.exists(self.unit))


class NotifySocket:
    """The end of sd_notify that systemd would hold: a datagram socket."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="quorvel-notify-")
        self.path = os.path.join(self.folder, "notify")
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.socket.bind(self.path)
        self.messages = []

    def receive(self, timeout):
        """The next message, or None when none came in time."""
        self.socket.settimeout(timeout)
        try:
            message = self.socket.recv(4096).decode()
        except socket.timeout:
            return None
        self.messages.append(message)
        return message

    def close(self):
        self.socket.close()
        shutil.rmtree(self.folder)


class ServiceMain(unittest.TestCase):
    def test_outside_systemd_it_fails_as_a_dispatcher_would(self):
        environment = dict(os.environ)
        environment.pop("NOTIFY_SOCKET", None)
        result = subprocess.run([binary_path(), "-Service:Main", "-Software"], capture_output=True, text=True, timeout=60,
                                stdin=subprocess.DEVNULL, env=environment)
        self.assertEqual(result.returncode, 1)
        self.assertRegex(result.stderr, r"^Exception 0x80070427 The service process could not connect to the service controller")
        self.assertNotIn("Waiting for Request...", result.stdout)

    def test_states_come_in_order_and_a_stop_waits_for_the_answer_in_flight(self):
        notify = NotifySocket()
        self.addCleanup(notify.close)
        server = QuorvelServer(options=["-Service:Main", "-Software"], environment={"NOTIFY_SOCKET": notify.path}).start()
        self.assertEqual(notify.receive(30), "STATUS=Start pending")
        self.assertEqual(notify.receive(30), "READY=1\nSTATUS=Running")
        self.assertFalse(any(line.startswith("Local IP Addresses:") for line in server.stdout.lines))

        # A download larger than any socket buffer (20 minutes of audio, about
        # 9 MB), which cannot finish while the client does not read: the
        # small receive window holds the server's writes back.
        client = socket.socket()
        client.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        client.connect(("127.0.0.1", server.port))
        connection = server.connection(timeout=120)
        connection.sock = client
        connection.request("GET", server.path("audio.mp4?duration=1200"))
        response = connection.getresponse()
        self.assertEqual(response.status, 200)
        first = response.read(1000)

        server.process.send_signal(signal.SIGTERM)
        self.assertEqual(notify.receive(30), "STOPPING=1\nSTATUS=Stop pending")
        self.assertIsNone(notify.receive(1))  # not stopped: the answer is still going
        self.assertIsNone(server.process.poll())

        body = first + response.read()
        self.assertGreater(len(body), 8 << 20)
        self.assertEqual({kind for kind, _ in top_level_boxes(body)}, {"ftyp", "moov", "moof", "mdat"})
        connection.close()
        self.assertEqual(notify.receive(60), "STATUS=Stopped")
        self.assertEqual(server.stop(), 0, server.stderr.text())


if __name__ == "__main__":
    unittest.main()
