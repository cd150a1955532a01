#!/usr/bin/env python3
"""scripts/check-layers on small trees of its own: what it lets through and what it refuses."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-layers"

README = """# A project

| Where | What |
|---|---|
| `src/platform/` | the system's headers |
| `src/batch/` | runs |
| `src/text/` | text |
| `src/web/` | the wire |
| `src/platform/posix/`, `src/platform/windows/` | the system's side |
| `src/document/` | the model |
| `src/document/readers/` | readers |
"""

BASE = {
    "platform/files.h": "#pragma once\n",
    "platform/posix/files.cpp": '#include "platform/files.h"\n#include "web/url.h"\n',
    "batch/runner.cpp": '#include "platform/files.h"\n',
    "text/text.h": "#pragma once\n#include <string>\n",
    "text/text.cpp": '#include "text/text.h"\n#include "text.h"\n',
    "web/url.h": '#pragma once\n#include "text/text.h"\n',
    "document/document.h": '#pragma once\n#include "text/text.h"\n',
    "document/readers/read.cpp": '#include "document/document.h"\n#include <vector>\n',
}


def check(extra):
    """check-layers' exit code and its complaints for BASE with `extra` added or replaced."""
    with tempfile.TemporaryDirectory() as root:
        root = pathlib.Path(root)
        (root / "README.md").write_text(README, encoding="utf-8")
        for name, text in {**BASE, **extra}.items():
            path = root / "src" / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text, encoding="utf-8")
        run = subprocess.run([sys.executable, str(SCRIPT), str(root)], capture_output=True,
                             text=True, check=False)
        return run.returncode, run.stderr


class CheckLayers(unittest.TestCase):
    def assertRefused(self, extra, *words):
        code, complaints = check(extra)
        self.assertNotEqual(code, 0, complaints)
        for word in words:
            self.assertIn(word, complaints)

    def test_an_ordered_tree_passes(self):
        code, complaints = check({})
        self.assertEqual(code, 0, complaints)

    def test_an_include_upwards_is_refused(self):
        self.assertRefused({"text/up.cpp": '#include "web/url.h"\n'},
                           "text/up.cpp:1", "src/web/ stands above it")

    def test_an_include_in_angle_brackets_is_followed(self):
        self.assertRefused({"text/up.cpp": "#include <web/url.h>\n"}, "text/up.cpp:1")

    def test_a_system_header_in_angle_brackets_passes(self):
        code, complaints = check({"text/system.cpp": "#include <vector>\n#include <zlib.h>\n"})
        self.assertEqual(code, 0, complaints)

    def test_an_include_that_climbs_is_refused(self):
        self.assertRefused({"document/readers/up.cpp": '#include "../document.h"\n'},
                           "climbs out of its folder")
        self.assertRefused({"text/up.cpp": '#include "../web/url.h"\n'}, "climbs out")

    def test_an_include_is_judged_by_the_file_the_compiler_finds(self):
        # "web/x.h" from text/ is text/web/x.h, beside it, before src/web/x.h.
        beside = {"web/x.h": "#pragma once\n", "text/web/x.h": "#pragma once\n",
                  "text/beside.cpp": '#include "web/x.h"\n'}
        code, complaints = check(beside)
        self.assertEqual(code, 0, complaints)
        self.assertRefused({**beside, "text/web/x.h": '#include "../../web/x.h"\n'}, "climbs")

    def test_an_include_the_check_cannot_read_is_refused(self):
        self.assertRefused({"text/macro.cpp": "#define H <web/url.h>\n#include H\n"},
                           "cannot read")

    def test_the_systems_folder_stands_above_the_wire(self):
        code, complaints = check({"web/u.cpp": '#include "platform/files.h"\n'})
        self.assertEqual(code, 0, complaints)
        self.assertRefused({"web/u.cpp": '#include "platform/posix/files.cpp"\n'},
                           "src/platform/posix/ stands above it")

    def test_runs_stand_just_above_the_platform(self):
        self.assertRefused({"batch/t.cpp": '#include "text/text.h"\n'},
                           "src/text/ stands above it")

    def test_a_subfolder_ranks_by_its_own_row(self):
        self.assertRefused({"document/model.cpp": '#include "document/readers/read.cpp"\n'},
                           "src/document/readers/ stands above it")

    def test_a_file_outside_the_table_is_refused(self):
        self.assertRefused({"tools/x.cpp": "\n"}, "in no folder")


if __name__ == "__main__":
    unittest.main()
