#!/usr/bin/env python3
"""Reproducible builds, checked at the cost of a link:

    reproducible.py NINJA BUILD_DIR SOURCE_DIR IMAGE...

Each IMAGE of the build is linked once more from the same objects, with the
build's own command and time-stamp step, in a fresh folder elsewhere; the two
files must be the same byte for byte. Neither may hold the path of the
sources, of the build or of that folder (as bytes or as UTF-16), so that two
clones built in different folders give the same files: the compiler records
paths relative to them (-ffile-prefix-map) and rejects __DATE__ and __TIME__.
"""

import os
import shlex
import shutil
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tools"))
from pe_stamp import stamp  # noqa: E402


def link_command(ninja: str, build: str, image: str) -> str:
    """The link of image alone: CMake runs ': && LINK && POST-BUILD... && :'."""
    out = subprocess.run([ninja, "-C", build, "-t", "commands", image], check=True, capture_output=True, text=True)
    command = out.stdout.strip().splitlines()[-1]
    return command.removeprefix(": && ").split(" && ")[0]


def main() -> int:
    ninja, build, source, images = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    failures = []
    with tempfile.TemporaryDirectory(prefix="qm-relink-") as other:
        for image in images:
            command = link_command(ninja, build, image)
            # The inputs at the same places relative to the folder the link runs in.
            for word in shlex.split(command):
                if word.endswith((".obj", ".res", ".a")) and os.path.isfile(os.path.join(build, word)):
                    os.makedirs(os.path.join(other, os.path.dirname(word)), exist_ok=True)
                    shutil.copyfile(os.path.join(build, word), os.path.join(other, word))
            subprocess.run(command, shell=True, cwd=other, check=True)
            stamp(os.path.join(other, image))
            with open(os.path.join(build, image), "rb") as f:
                built = f.read()
            with open(os.path.join(other, image), "rb") as f:
                again = f.read()
            if built != again:
                at = next((i for i, (a, b) in enumerate(zip(built, again)) if a != b), min(len(built), len(again)))
                failures.append(f"{image}: linked again in another folder it differs, first at byte {at:#x}")
            for data, folders in ((built, (build, source)), (again, (other,))):
                for folder in {os.path.realpath(p) for p in folders}:
                    if folder.encode() in data or folder.encode("utf-16-le") in data:
                        failures.append(f"{image}: holds the path {folder}")
    for failure in failures:
        print("reproducible: " + failure)
    if not failures:
        print(f"reproducible: {', '.join(images)} the same when linked again elsewhere, no build path in them")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
