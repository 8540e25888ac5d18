# SPDX-License-Identifier: GPL-2.0-or-later
"""The Debian package: cpack -G DEB in the build folder packages the program
built there; its name, control fields and contents are checked with
dpkg-deb, it is unpacked into a folder of its own, the unpacked program
serves its version, and lintian finds no error in it."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

from quorvel_harness import REPOSITORY, QuorvelServer, binary_path

BUILD = os.path.dirname(os.path.dirname(binary_path()))
TOOLS = ["cpack", "dpkg-deb", "dpkg-shlibdeps", "lintian", "readelf"]


def debian_version(describe):
    """The package version cmake/DebianVersion.cmake makes of a git describe
    text (its rules are cmake/DebianVersionTest.cmake's)."""
    script = "include(%s)\nquorvel_debian_version(\"%s\" Version)\nmessage(\"${Version}\")\n" % (os.path.join(REPOSITORY, "cmake", "DebianVersion.cmake"), describe)
    with tempfile.NamedTemporaryFile("w", suffix=".cmake") as file:
        file.write(script)
        file.flush()
        return run("cmake", "-P", file.name).stderr.strip()


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=600, **options)


@unittest.skipUnless(all(shutil.which(tool) for tool in TOOLS), "needs " + ", ".join(TOOLS))
class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quorvel-package-")
        made = run("cpack", "-G", "DEB", "-B", cls.folder, "--config", os.path.join(BUILD, "CPackConfig.cmake"), cwd=BUILD)
        assert made.returncode == 0, made.stdout + made.stderr
        cls.packages = [name for name in os.listdir(cls.folder) if name.endswith(".deb")]
        assert len(cls.packages) == 1, cls.packages
        cls.package = os.path.join(cls.folder, cls.packages[0])
        cls.root = os.path.join(cls.folder, "root")
        unpacked = run("dpkg-deb", "-x", cls.package, cls.root)
        assert unpacked.returncode == 0, unpacked.stderr

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def field(self, name):
        result = run("dpkg-deb", "-f", self.package, name)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.strip()

    def test_name_and_control_fields(self):
        version = self.field("Version")
        architecture = run("dpkg", "--print-architecture").stdout.strip()
        self.assertEqual(self.packages[0], f"quorvel_{version}_{architecture}.deb")
        self.assertEqual(self.field("Package"), "quorvel")
        self.assertEqual(self.field("Architecture"), architecture)
        self.assertEqual(self.field("Section"), "video")
        self.assertTrue(self.field("Description").startswith("test streaming server for adaptive-streaming players\n"))
        # Computed from the libraries the program links, and the font.
        depends = [item.split(" ")[0] for item in self.field("Depends").split(", ")]
        for package in ["libc6", "libstdc++6", "libx264-164", "libx265-199", "libavcodec59", "libflac12", "libopus0", "libespeak-ng1", "libjpeg62-turbo", "libssl3",
                        "libsystemd0", "libdw1", "libpangocairo-1.0-0", "fonts-open-sans"]:
            self.assertIn(package, depends)
        self.assertRegex(self.field("Depends"), r"libc6 \(>= [\d.]+\)")

    def test_contents_and_the_unit_installed_disabled(self):
        listing = run("dpkg-deb", "-c", self.package).stdout
        paths = {line.split()[-1]: line.split()[0] for line in listing.splitlines()}
        self.assertEqual(paths["./usr/bin/quorvel"], "-rwxr-xr-x")
        players = ["hls.min.js", "dash.all.min.js", "shaka-player.compiled.js", "uPlot.iife.min.js", "uPlot.min.css"]
        for path in ["./usr/lib/systemd/system/pellumo-quorvel.service", "./usr/share/man/man1/quorvel.1.gz"] + [
                f"./usr/share/quorvel/player/{name}" for name in players] + [
                f"./usr/share/doc/quorvel/{name}" for name in ["README.md", "LICENSE", "THIRD-PARTY-NOTICES", "copyright", "changelog.gz"]]:
            self.assertEqual(paths.get(path), "-rw-r--r--", path)
        # Nothing enables the service: no link into a target's wants, no
        # maintainer scripts, nothing in /etc.
        self.assertFalse([path for path in paths if ".wants" in path or path.startswith("./etc")])
        control = run("dpkg-deb", "-I", self.package).stdout
        self.assertNotRegex(control, r"\b(postinst|prerm|postrm|preinst)\b")
        with open(os.path.join(self.root, "usr/lib/systemd/system/pellumo-quorvel.service")) as unit:
            text = unit.read()
        self.assertIn('\nExecStart="/usr/bin/quorvel" -Service:Main\n', text)
        self.assertIn("\nType=notify\n", text)
        with open(os.path.join(REPOSITORY, "LICENSE")) as ours, open(os.path.join(self.root, "usr/share/doc/quorvel/LICENSE")) as shipped:
            self.assertEqual(shipped.read(), ours.read())

    def test_the_program_is_stripped_but_keeps_function_names(self):
        sections = run("readelf", "-S", "-W", os.path.join(self.root, "usr/bin/quorvel")).stdout
        self.assertNotIn(".symtab", sections)
        self.assertIn(".gnu_debugdata", sections)

    def test_the_unpacked_program_serves_its_version(self):
        with QuorvelServer(program=os.path.join(self.root, "usr/bin/quorvel")) as server:
            status, _, body = server.get("version")
            # The installed program finds its players in share/quorvel/player.
            page = server.get("")[2]
            player = server.get("player/hls.min.js")
        self.assertEqual(status, 200)
        self.assertIn(b'data-players="installed"', page)
        with open(os.path.join(self.root, "usr/share/quorvel/player/hls.min.js"), "rb") as file:
            self.assertEqual((player[0], player[2]), (200, file.read()))
        describe = re.search(r"^Git Describe: (\S+)\r$", body.decode(), re.MULTILINE)
        self.assertIsNotNone(describe, body)
        self.assertIn("Configuration: Release\r\n", body.decode())
        # The package's version is the build the program reports.
        self.assertEqual(self.field("Version"), debian_version(describe.group(1)))
        self.assertTrue(server.stdout.lines[0].startswith(f"quorvel {describe.group(1)} (Release)"))

    def test_lintian_finds_no_error(self):
        result = run("lintian", "--fail-on", "error", "--display-info", self.package)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertNotRegex(result.stdout, r"(?m)^E: ")


if __name__ == "__main__":
    unittest.main()
