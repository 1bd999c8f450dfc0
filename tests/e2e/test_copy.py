#!/usr/bin/env python3
"""End-to-end tests of 'qdstyle copy' where an element cannot keep what is
copied into it: the chord variations left out are named, the copy is
written, and the exit status is 3.

    test_copy.py --qdstyle PATH --demo PATH [unittest arguments]
"""

import argparse
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_qdstyle as qd  # noqa: E402  (the helpers and the full bank)


class LeftOutTest(qd.ScriptCase):
    def test_chord_variations_an_element_cannot_keep(self):
        # Variation 2 of the full bank's first style without its first two
        # chord variations: nothing of it fits into an Ending.
        late = self.path("late.sty")
        self.assertOk(qd.run("delete-cv", self.full, "1", "v2cv1", "-o", late))
        self.assertOk(qd.run("delete-cv", late, "1", "v2cv2", "-o", late))
        cases = [  # SRC_BANK, SRC, the left-out line, the chord variations of Ending 1 written
            (self.full, "1:v1", "left out: v1cv3, v1cv4, v1cv5, v1cv6 (Ending 1 holds 2)", ["e1cv1", "e1cv2"]),
            (late, "1:v2", "left out: v2cv3, v2cv4, v2cv5, v2cv6 (Ending 1 holds 2)", []),
        ]
        for source_bank, source, line, written in cases:
            with self.subTest(source=source):
                out = self.path("out.sty")
                dry = qd.run("copy", source_bank, source, self.full, "1:e1", "--dry-run")
                self.assertWarned(dry, line)
                self.assertFalse(os.path.exists(out))
                result = self.assertWarned(qd.run("copy", source_bank, source, self.full, "1:e1", "-o", out), line)
                self.assertEqual(result.stdout, dry.stdout)
                self.assertEqual(result.stdout.splitlines()[-1], line)
                shown = qd.run("show", out, "1").stdout
                self.assertIn("Ending 1", shown)
                self.assertEqual([name for name in qd.chord_vars(shown) if name.startswith("e1")], written)
                # Read back clean; the other styles as they were.
                self.assertEqual(self.assertOk(qd.run("check", out)).stderr, "")
                before = self.export_style(self.full, 2, "before")
                self.assertEqual(self.export_style(out, 2, "after"), before)
                os.remove(out)


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
