#!/usr/bin/env python3
"""Checks that no C++ file includes a header of a higher layer.

  check-layers.py [SOURCE_DIR]       (default: the checkout holding this script)

The core's layers and what each links come from src/CMakeLists.txt: a .cpp
file belongs to the qd_layer() that lists it, a header to the layer of the
.cpp of the same name in its folder, or else to its entry in CORE_HEADERS
below. The layers above the core and the folders outside src/ are placed by
the tables below. A file may include headers of its own layer and of the
layers its layer uses, directly or through others; besides that, src/
includes no Qt or other third-party header, and only tests/ and fuzz/
include tests/ files.

A file that cannot be placed (a new .cpp missing from src/CMakeLists.txt, a
new header without a .cpp of its name, a new folder) fails the check, so
that every new file gets its layer. Prints every finding as
`file:line: ...` and exits 1; prints one summary line and exits 0 when clean.
"""

import os
import re
import sys

# Headers of src/ without a .cpp of the same name in their folder.
CORE_HEADERS = {
    "Base/QdTypes.h": "base",
    "compression/COCompFormat.h": "container",
    "compression/COCompMatchFinder.h": "container",
    "Kernel/SeqBase/SmfForm.h": "coders",
    "MakeMarker/MakeMarkNav.h": "bank",
    "NlzdStyle/NlzdStyle.h": "style",
    "BankDoc/QdDocPrompt.h": "doc",
    "BankDoc/QdDocText.h": "doc",
    "BankDoc/QdCommandGuard.h": "doc",
    "BankDoc/QdBankLayout.h": "doc",
}

# Layers above the core and the layers each uses, as their CMakeLists.txt
# link them (app/, app/player/, tools/, json/, cli/). bench/ and fuzz/ are programs
# over the whole core; the benchmarks also use the demo bank, and the window's
# start benchmark the desktop application.
# "app-tests": the window tests drive the application over the demo bank.
UPPER_LAYERS = {
    "player": ["doc"],
    "demo": ["doc"],
    "json": ["doc"],
    "app": ["doc", "player"],
    "cli": ["doc", "json", "player"],  # render plays through FluidSynth
    "bench": ["doc", "demo"],
    "bench-app": ["app", "bench", "demo"],  # the window: its start, the roll's painting
    "fuzz": ["doc"],
    "app-tests": ["app", "demo"],
}

# Folders outside src/ and their layer; the longest matching folder wins.
# A test folder named after a core layer (tests/coders, ...) holds that
# layer's tests and is that layer.
FOLDERS = {
    "app": "app",
    "app/player": "player",
    "cli": "cli",
    "json": "json",
    "tools": "demo",
    "bench": "bench",
    "fuzz": "fuzz",
    "tests/app": "app-tests",
    "tests/player": "player",
    "tests/e2e": "demo",
    "tests/tools": "coders",  # smf_probe links the coders only
}

# Single files outside src/ placed apart from their folder.
FILES = {
    "bench/RollPaintBench.cpp": "bench-app",
    "bench/WindowBench.cpp": "bench-app",
}

# Shared test helpers, each at the lowest layer whose tests may use it.
TEST_SUPPORT = {
    "ReportCapture.h": "base",
    "TestEventLists.h": "kernel",
    "PropStreams.h": "coders",
    "SmfEventText.h": "coders",
    "DecPropVariants.h": "coders",
    "PoolDiscipline.cpp": "coders",
    "StyleBuilder.h": "bank",
    "StyleBuilder.cpp": "bank",
    "COCompReference.h": "container",
    "COCompReference.cpp": "container",
}

# Folders searched for a quoted include after the including file's own
# folder: every include directory the CMake targets declare.
INCLUDE_ROOTS = ["src", "app", "app/player", "tools", "json", "tests/support"]

# Third-party headers the core must not include: Qt, and the libraries of
# the front ends (JSON among them), tests and benchmarks.
CORE_FORBIDDEN = re.compile(r"^(Q[A-Za-z]|Qt[A-Za-z]*/|fluidsynth|CLI/|nlohmann/|gtest/|gmock/|benchmark/|lzo/)")

SOURCE_EXTS = (".cpp", ".cc", ".cxx", ".h", ".hpp", ".inl")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


class Checker:
    def __init__(self, root):
        self.root = root
        self.findings = []
        self.uses = {}      # layer -> layers it links directly
        self.layer_of = {}  # path relative to root -> layer

    def fail(self, where, message):
        self.findings.append("%s: %s" % (where, message))

    # -- the core's layers from src/CMakeLists.txt --------------------------

    def read_core_layers(self):
        path = os.path.join(self.root, "src", "CMakeLists.txt")
        with open(path, encoding="utf-8") as f:
            text = re.sub(r"#[^\n]*", "", f.read())
        for name, body in re.findall(r"\bqd_layer\(\s*(\w+)([^)]*)\)", text):
            layer = name.removeprefix("qd_")
            self.uses[layer] = []
            for source in body.split():
                self.layer_of["src/" + source] = layer
        for name, body in re.findall(r"\btarget_link_libraries\(\s*(qd_\w+)([^)]*)\)", text):
            layer = name.removeprefix("qd_")
            if layer in self.uses:
                self.uses[layer] += [lib.removeprefix("qd_") for lib in body.split()
                                     if lib.startswith("qd_")]
        if not self.uses:
            sys.exit("check-layers: no qd_layer() found in %s" % path)
        self.core_layers = list(self.uses)
        for layer, below in UPPER_LAYERS.items():
            self.uses[layer] = list(below)
        for layer, below in self.uses.items():
            for other in below:
                if other not in self.uses:
                    self.fail("scripts/check-layers.py", "layer %s uses unknown layer %s" % (layer, other))

    def reachable(self, layer):
        seen, todo = {layer}, [layer]
        while todo:
            for below in self.uses.get(todo.pop(), []):
                if below not in seen:
                    seen.add(below)
                    todo.append(below)
        return seen

    # -- placing every file -------------------------------------------------

    def walk(self):
        files = []
        for top in sorted(os.listdir(self.root)):
            if top.startswith((".", "build")) or not os.path.isdir(os.path.join(self.root, top)):
                continue
            for folder, dirs, names in os.walk(os.path.join(self.root, top)):
                # A build tree inside the checkout (any name) holds generated sources.
                if "CMakeCache.txt" in names:
                    dirs.clear()
                    continue
                dirs.sort()
                for name in sorted(names):
                    if name.endswith(SOURCE_EXTS):
                        files.append(os.path.relpath(os.path.join(folder, name), self.root))
        return files

    def place(self, path):
        folder, name = os.path.split(path)
        if path.startswith("src/"):
            if path in self.layer_of:
                return self.layer_of[path]
            if name.endswith(".cpp"):
                return None  # not built: missing from src/CMakeLists.txt
            twin = os.path.splitext(path)[0] + ".cpp"
            if twin in self.layer_of:
                return self.layer_of[twin]
            return CORE_HEADERS.get(path[len("src/"):])
        if path in FILES:
            return FILES[path]
        if folder == "tests/support":
            return TEST_SUPPORT.get(name)
        parts = folder.split("/")
        if len(parts) >= 2 and parts[0] == "tests" and parts[1] in self.core_layers:
            return parts[1]
        for depth in range(len(parts), 0, -1):
            layer = FOLDERS.get("/".join(parts[:depth]))
            if layer:
                return layer
        return None

    def place_all(self, files):
        placed = {}
        for path in files:
            layer = self.place(path)
            if layer is None:
                if path.startswith("src/") and path.endswith(".cpp"):
                    where = "list it in a qd_layer() of src/CMakeLists.txt"
                elif path.startswith("src/"):
                    where = "no .cpp of its name: place it in CORE_HEADERS of scripts/check-layers.py"
                elif path.startswith("tests/support/"):
                    where = "place it in TEST_SUPPORT of scripts/check-layers.py"
                else:
                    where = "place its folder in FOLDERS of scripts/check-layers.py"
                self.fail(path, "no layer: " + where)
            else:
                placed[path] = layer
        for header in CORE_HEADERS:
            if not os.path.isfile(os.path.join(self.root, "src", header)):
                self.fail("scripts/check-layers.py", "CORE_HEADERS names src/%s, which does not exist" % header)
        for path in FILES:
            if not os.path.isfile(os.path.join(self.root, path)):
                self.fail("scripts/check-layers.py", "FILES names %s, which does not exist" % path)
        for name in TEST_SUPPORT:
            if not os.path.isfile(os.path.join(self.root, "tests", "support", name)):
                self.fail("scripts/check-layers.py", "TEST_SUPPORT names tests/support/%s, which does not exist" % name)
        return placed

    # -- the includes -------------------------------------------------------

    def resolve(self, path, quoted, target):
        """The included file relative to root, "" for a header from outside
        the project, None for a quoted include found nowhere, or a list of
        candidates when more than one include root holds it."""
        if quoted:
            own = os.path.normpath(os.path.join(os.path.dirname(path), target))
            if os.path.isfile(os.path.join(self.root, own)):
                return own
        found = [os.path.normpath(os.path.join(top, target)) for top in INCLUDE_ROOTS
                 if os.path.isfile(os.path.join(self.root, top, target))]
        if len(found) > 1:
            return found
        if found:
            return found[0]
        # A header CMake writes into the build folder from src/<name>.in
        # (the version) holds definitions only: any layer may include it.
        if os.path.isfile(os.path.join(self.root, "src", target + ".in")):
            return ""
        return None if quoted else ""

    def check_file(self, path, layer, placed):
        allowed = self.reachable(layer)
        with open(os.path.join(self.root, path), encoding="utf-8", errors="replace") as f:
            lines = f.readlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            quoted, target = match.group(1) == '"', match.group(2)
            where = "%s:%d" % (path, number)
            if path.startswith("src/") and not quoted and CORE_FORBIDDEN.match(target):
                self.fail(where, "includes <%s>: the core uses the standard library only" % target)
                continue
            found = self.resolve(path, quoted, target)
            if found == "":
                continue
            if found is None:
                if not target.endswith(".moc"):  # written by Qt's moc into the build folder
                    self.fail(where, "includes %s, found in no include folder of the project" % target)
                continue
            if isinstance(found, list):
                self.fail(where, "includes %s, ambiguous: %s" % (target, ", ".join(found)))
                continue
            if found.startswith("tests/") and not path.startswith(("tests/", "fuzz/")):
                self.fail(where, "includes %s from outside the tests" % found)
                continue
            if path.startswith("src/") and not found.startswith("src/"):
                self.fail(where, "includes %s from outside the core" % found)
                continue
            other = placed.get(found)
            if other is None:
                continue  # already reported as unplaced
            if other not in allowed:
                self.fail(where, "includes %s (layer %s) from layer %s" % (target, other, layer))

    def run(self):
        self.read_core_layers()
        placed = self.place_all(self.walk())
        for path, layer in placed.items():
            self.check_file(path, layer, placed)
        if self.findings:
            for finding in self.findings:
                print(finding)
            print("layer check: %d finding(s)" % len(self.findings))
            return 1
        counts = {}
        for layer in placed.values():
            counts[layer] = counts.get(layer, 0) + 1
        order = self.core_layers + list(UPPER_LAYERS)
        print("layer check: %d files clean (%s)" % (
            len(placed), ", ".join("%s %d" % (layer, counts[layer]) for layer in order if layer in counts)))
        return 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(here)
    return Checker(os.path.abspath(root)).run()


if __name__ == "__main__":
    sys.exit(main())
