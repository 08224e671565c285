#!/usr/bin/python3
"""morva --help and the README agree: every option the help lists is in the
README's option table and the other way round, and the documents the help
points to exist.

usage: help_test.py MORVA SOURCE_FOLDER
"""

import os
import re
import subprocess
import sys

morva, top = sys.argv[1], sys.argv[2]
help_text = subprocess.run([morva, "--help"], check=True, capture_output=True, text=True).stdout
readme = open(os.path.join(top, "README.md"), encoding="utf-8").read()

section = readme.split("## Command line", 1)[1].split("\n## ", 1)[0]
in_readme = set(re.findall(r"^\| `(--[a-z-]+)[^`]*` \|", section, re.M)) | {"--help", "--version"}
in_help = set(re.findall(r"^  (?:-[a-z], )?(--[a-z-]+)", help_text, re.M))

failures = []
if in_help != in_readme:
    failures.append("options only in the help: %s; only in the README: %s"
                    % (sorted(in_help - in_readme), sorted(in_readme - in_help)))
for name in ("--help", "--version"):
    if "`morva %s`" % name not in section:
        failures.append("the README's command line does not mention morva %s" % name)
for document in ("README.md", "docs/formats.md"):
    if document not in help_text:
        failures.append("the help does not point to " + document)
    if not os.path.exists(os.path.join(top, document)):
        failures.append(document + " does not exist")
if "docs/formats.md" not in readme:
    failures.append("the README does not link docs/formats.md")

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
