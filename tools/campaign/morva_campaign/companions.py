"""Where the runner finds a companion program (morva-overlap, morva-grid,
morva-accuracy ...): beside itself when installed, in the build tree's
folder of its own, or on PATH."""
import os
import shutil
from typing import Optional


def find(script_dir: str, name: str, subdir: str) -> Optional[str]:
    for candidate in (os.path.join(script_dir, name), os.path.join(script_dir, os.pardir, subdir, name)):
        if os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return candidate
    return shutil.which(name)
