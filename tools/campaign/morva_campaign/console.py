"""The entry point of morva-campaign installed with pip: the version is the
package's, and morva and morva-runinfo are found beside the script, else on
PATH (the CMake launcher passes the build's own instead)."""

import sys

import morva_cli

from . import cli


def main() -> int:
    build = cli.Build(morva_cli.installed_version(), "", morva_cli.script_dir(), "", "")
    return int(cli.main(sys.argv[1:], build))
