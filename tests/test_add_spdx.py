# SPDX-License-Identifier: GPL-2.0-or-later
"""scripts/add-spdx on a few files of a temporary folder: each kind gets the
identifier line in its own comment style, after a "#!" line, once."""

import os
import shutil
import subprocess
import tempfile
import unittest

from quorvel_harness import REPOSITORY

SCRIPT = os.path.join(REPOSITORY, "scripts", "add-spdx")
LINE = "SPDX-License-Identifier: GPL-2.0-or-later"


class AddSpdx(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quorvel-spdx-")
        self.addCleanup(shutil.rmtree, self.folder)
        self.files = {
            "a.cpp": "#include <x>\n",
            "b.py": "#!/usr/bin/env python3\nprint(1)\n",
            "CMakeLists.txt": "project(X)\n",
            "page.html": "<html></html>\n",
            "c.h": "// SPDX-License-Identifier: MIT\n#pragma once\n",
        }
        for name, text in self.files.items():
            with open(os.path.join(self.folder, name), "w") as file:
                file.write(text)

    def run_script(self, *arguments):
        return subprocess.run([SCRIPT, *arguments], cwd=self.folder, capture_output=True, text=True, timeout=60)

    def read(self, name):
        with open(os.path.join(self.folder, name)) as file:
            return file.read()

    def test_adds_the_line_in_each_style_once_and_checks(self):
        names = list(self.files)
        check = self.run_script("--check", *names)
        self.assertEqual(check.returncode, 1)
        self.assertEqual(sorted(check.stdout.split()), ["CMakeLists.txt", "a.cpp", "b.py"])
        self.assertEqual(self.run_script(*names).returncode, 0)
        self.assertEqual(self.read("a.cpp"), f"// {LINE}\n#include <x>\n")
        self.assertEqual(self.read("b.py"), f"#!/usr/bin/env python3\n# {LINE}\nprint(1)\n")
        self.assertEqual(self.read("CMakeLists.txt"), f"# {LINE}\nproject(X)\n")
        self.assertEqual(self.read("page.html"), self.files["page.html"])  # served as it is
        self.assertEqual(self.read("c.h"), self.files["c.h"])  # names a licence already
        self.assertEqual(self.run_script(*names).returncode, 0)
        self.assertEqual(self.read("a.cpp"), f"// {LINE}\n#include <x>\n")
        self.assertEqual(self.run_script("--check", *names).returncode, 0)

    def test_every_source_file_of_the_repository_carries_the_line(self):
        check = subprocess.run([SCRIPT, "--check"], cwd=REPOSITORY, capture_output=True, text=True, timeout=60)
        self.assertEqual((check.returncode, check.stdout), (0, ""))


if __name__ == "__main__":
    unittest.main()
