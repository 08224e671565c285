"""The entry point of morva-quicklook installed with pip: the version is the
package's, and morva-runinfo is found beside the script, else on PATH (the
CMake launcher passes the build's own instead)."""

import os
import shutil
import sys

import morva_cli

from .main import main as quicklook_main


def main() -> int:
    runinfo = [os.path.join(morva_cli.script_dir(), "morva-runinfo"), shutil.which("morva-runinfo") or ""]
    return int(quicklook_main(sys.argv[1:], morva_cli.installed_version(), "", runinfo))
