#!/usr/bin/env python3
"""End-to-end tests of qdstyle: read-only banks, the core's reports behind -v,
and text output that stays valid UTF-8 whatever bytes a name holds.

    test_window.py --qdstyle PATH --demo PATH [unittest arguments]

The helpers and the fixture are those of test_qdstyle.py.
"""

import argparse
import json
import os
import stat
import subprocess
import sys
import unittest

import mido

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_qdstyle as qd  # noqa: E402

READ_ONLY = "%s: the file is read-only - not written (--force writes over it)\n"


def run_raw(*args):
    """stdout and stderr as bytes: the test decodes them itself."""
    return subprocess.run([qd.QDSTYLE, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)


def shown(data):
    """The text of the bytes, which must be UTF-8 without raw control
    characters but line breaks and tabs."""
    text = data.decode("utf-8")
    raw = [c for c in text if (ord(c) < 0x20 and c not in "\n\t") or 0x7F <= ord(c) < 0xA0]
    assert not raw, "raw control characters %r in %r" % (raw, text)
    return text


class ReadOnlyBankTest(qd.QdstyleCase):
    def test_a_read_only_out_is_refused_unless_forced(self):
        midi = self.assertOk(qd.run("export", self.bank, "1", "-o", self.dir, "--cv", "v1cv1")).stdout.strip()
        commands = [["rename", self.bank, "1", "Renamed"],
                    ["save", self.bank],
                    ["delete-cv", self.bank, "1", "v1cv3"],
                    ["import-cv", self.bank, "1", "v1cv2", midi],
                    ["set-track", self.bank, "1", "v1", "bass", "--program", "34"],
                    ["copy", self.bank, "1:v1cv1", self.bank, "1:i1cv2"]]
        for args in commands:
            with self.subTest(command=args[0]):
                original = qd.read(self.bank)
                os.chmod(self.bank, 0o444)
                refused = qd.run(*args, "-o", self.bank)
                self.assertRefused(refused, "qdstyle: " + READ_ONLY % self.bank)
                self.assertEqual(qd.read(self.bank), original)
                self.assertEqual(sorted(os.listdir(self.dir)), sorted(["bank.sty", os.path.basename(midi)]))
                # Nothing to write: a dry run goes ahead.
                if args[0] != "save":
                    self.assertOk(qd.run(*args, "-o", self.bank, "--dry-run"))
                # Forced: written, and read-only still.
                self.assertOk(qd.run(*args, "-o", self.bank, "--force"))
                self.assertEqual(stat.S_IMODE(os.stat(self.bank).st_mode), 0o444)
                self.assertEqual(qd.read(self.bank) != original, args[0] != "save")
                os.chmod(self.bank, 0o644)


class ReportTest(qd.QdstyleCase):
    def test_the_cores_reports_are_shown_with_verbose_only(self):
        damaged = qd.with_damaged_bank(self)
        report = qd.DamagedStyleTest.REPORT.split(" (")[0]
        # Selecting the damaged style reports while it loads: done, exit 3.
        for args in (["show", damaged, "1"], ["export", damaged, "1", "-o", self.path("out")]):
            with self.subTest(command=args[0]):
                plain = qd.run(*args)
                self.assertEqual(plain.returncode, 3, plain.stderr)
                self.assertNotIn("Assert", plain.stderr)
                self.assertRegex(plain.stderr, r"qdstyle: \d+ internal reports? not shown \(-v shows them\)\n")
                verbose = qd.run("-v", *args)
                self.assertEqual(verbose.returncode, 3)
                self.assertIn("qdstyle: " + report, verbose.stderr)
                quiet = qd.run("-q", *args)
                self.assertEqual((quiet.returncode, quiet.stderr), (3, ""))


class ShownTextTest(qd.QdstyleCase):
    NAME = b"Caf\xe9\n\x1b[2J"
    SHOWN = "Caf\u00e9\\n\\x1B[2J"

    def test_names_and_midi_text_in_any_bytes(self):
        self.assertOk(qd.run("rename", self.bank, "2", self.NAME, "-o", self.bank))
        self.assertOk(qd.run("rename", self.bank, "3", b"\t\x85\x7f\xff", "-o", self.bank))
        control = [mido.Message("control_change", channel=9, control=7, value=v) for v in (10, 13, 27)]
        texts = [mido.MetaMessage("track_name", name="Dr\xfcms\x1b]0;x\x07"),
                 mido.MetaMessage("text", text="line\nbreak\r\x9b")]
        midi = self.write("foreign.mid", qd.smf([texts + control + qd.notes(9, 4, 384, 36)], kind=0))
        count = len(mido.MidiFile(midi).tracks[0])
        # Arguments, exit status, what stdout holds (shown), the number of lines.
        cases = [
            (["list", self.bank], 0, "2\t" + self.SHOWN + "\n3\t\\t\\x85\\x7F\u00ff\n", 5),
            (["show", self.bank, self.SHOWN], 0, self.SHOWN + "\tUncompressed Size: ", None),
            (["info", self.bank], 0, "style\t2\t" + self.SHOWN + "\tslot ", None),
            (["check", self.bank], 0, "2\t" + self.SHOWN + "\t", 6),
            (["export-bank", self.bank, "-o", self.path("all")], 0, "2\t" + self.SHOWN + "\t", None),
            (["dump", midi], 0, "] [Dr\u00fcms\\x1B]0;x\\x07]", count),
            (["dump", "--format", "csv", midi], 0, ",line\\nbreak\\r\\x9B\n", count + 1),
            (["dump", "-n", "--channel-only", midi], 0, "data2 = 0x1B(\\x1B)", len(control) + 8),
        ]
        for args, status, holds, lines in cases:
            with self.subTest(args=args[:2]):
                result = run_raw(*args)
                self.assertEqual(result.returncode, status, result.stderr)
                out, err = shown(result.stdout), shown(result.stderr)
                self.assertIn(holds, out)
                if lines is not None:
                    self.assertEqual(len(out.splitlines()), lines, out)
        # Messages name the style as it is shown.
        missing = shown(run_raw("show", self.bank, "Nope\x1b]0;title\x07").stderr)
        self.assertIn("Style 'Nope\\x1B]0;title\\x07' not found", missing)
        # JSON stays exact and valid.
        listed = json.loads(shown(run_raw("list", "--json", self.bank).stdout))
        self.assertEqual(listed["styles"][1]["name"], self.NAME.decode("latin-1"))
        dumped = json.loads(shown(run_raw("dump", "--format", "json", midi).stdout))
        self.assertIn("line\nbreak\r\x9b", [e.get("text") for t in dumped["tracks"] for e in t["events"]])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--qdstyle", required=True)
    parser.add_argument("--demo", required=True)
    args, rest = parser.parse_known_args()
    qd.QDSTYLE = os.path.abspath(args.qdstyle)
    qd.DEMO_BANK = os.path.abspath(args.demo)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
