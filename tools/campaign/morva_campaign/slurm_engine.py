"""The Slurm engine: one `sbatch --array` job for the flights to do (at most
MAX_ARRAY tasks per job, throttled with %), each array task processing one
flight through the same code as the local engine (`morva-campaign run-flight
JOB_FILE`). The flights' states come from their own records afterwards, not
from Slurm's accounting."""
import json
import os
import shlex
import subprocess
import time
from typing import Any, Callable, Iterator

from . import flights

# Slurm's default MaxArraySize is 1001 (indices 0 to 1000).
MAX_ARRAY = 1000
JOB_FOLDER = os.path.join(".morva-campaign", "slurm")


class SlurmError(Exception):
    pass


def write_job_file(campaign_dir: str, todo: list[flights.Flight], job: Any) -> str:
    """The flights and everything each task needs, in the campaign's folder,
    which a cluster's nodes share."""
    folder = os.path.join(campaign_dir, JOB_FOLDER)
    os.makedirs(folder, exist_ok=True)
    stamp = time.strftime("%Y%m%d-%H%M%S")
    path = os.path.join(folder, f"{stamp}-{os.getpid()}.json")
    data = {"campaign": campaign_dir, "flights": [f.rel for f in todo],
            "morva": vars(job.morva), "morva_args": job.morva_args, "exports": job.exports,
            "tool_dirs": job.tool_dirs, "force": job.force, "rehash": job.rehash,
            "run_control": flights.RUN_CONTROL, "source_ids": job.source_ids}
    with open(path, "w", encoding="utf-8") as f:
        json.dump(data, f, indent=1)
    return path


def read_job_file(path: str) -> dict[str, Any]:
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def _sbatch_command(script: str, job_file: str, first: int, count: int, slurm: Any, wait: bool) -> list[str]:
    folder = os.path.dirname(job_file)
    command = ["sbatch", "--parsable", "--job-name=morva-campaign",
               f"--output={os.path.join(folder, '%A_%a.out')}", f"--chdir={folder}",
               f"--array=0-{count - 1}" + (f"%{slurm.throttle}" if slurm.throttle else "")]
    for option, value in (("--partition", slurm.partition), ("--time", slurm.time), ("--mem", slurm.mem),
                          ("--cpus-per-task", slurm.cpus_per_task)):
        if value:
            command.append(f"{option}={value}")
    command += slurm.sbatch_args
    if wait:
        command.append("--wait")
    command += ["--wrap", f"exec {shlex.quote(script)} run-flight {shlex.quote(job_file)} {first}"]
    return command


def submit(script: str, job_file: str, count: int, slurm: Any, wait: bool, progress_poll: Callable[[], None],
           stopped: Callable[[], Any]) -> list[str]:
    """Submits the array job(s) of count flights; with wait, returns when they
    have all ended, or when the runner is stopped (the jobs go on). Returns
    the job ids."""
    procs, ids = [], []
    for first in range(0, count, MAX_ARRAY):
        n = min(MAX_ARRAY, count - first)
        command = _sbatch_command(script, job_file, first, n, slurm, wait)
        try:
            proc = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, text=True)
        except OSError as e:
            raise SlurmError(f"cannot run sbatch: {e.strerror}") from None
        # --parsable prints the job id (";cluster" on a federation) as soon as
        # the job is queued, --wait then waits for its end.
        assert proc.stdout is not None and proc.stderr is not None
        line = proc.stdout.readline().strip()
        if not line:
            proc.wait()
            message = proc.stderr.read().strip().splitlines()
            raise SlurmError(f"sbatch failed: {message[-1] if message else 'exit ' + str(proc.returncode)}")
        ids.append(line.split(";")[0])
        procs.append(proc)
    while any(p.poll() is None for p in procs) and not stopped():
        progress_poll()
        time.sleep(1.0)
    for p in procs:
        if p.poll() is None:
            p.terminate()
        p.communicate()
    return ids


def _fresh_records(campaign_dir: str, rels: list[str], since: float) -> Iterator[tuple[str, flights.Record]]:
    """The records of the flights written since the job began."""
    for rel in rels:
        flight = flights.Flight(rel, os.path.join(campaign_dir, rel))
        try:
            fresh = os.stat(os.path.join(flight.path, flights.RECORD)).st_mtime >= since
        except OSError:
            continue
        record = flights.read_record(flight) if fresh else None
        if record:
            yield rel, record


def finished_since(campaign_dir: str, rels: list[str], since: float) -> tuple[int, int]:
    """How many of the flights have a record written since the job began, and
    how many of those failed."""
    records = [r for _, r in _fresh_records(campaign_dir, rels, since)]
    return len(records), sum(1 for r in records if r.get("state") != "done")


def recorded_since(campaign_dir: str, rels: list[str], since: float) -> set[str]:
    return {rel for rel, _ in _fresh_records(campaign_dir, rels, since)}


def task_index(first: int) -> int:
    task = os.environ.get("SLURM_ARRAY_TASK_ID")
    if task is None:
        raise SlurmError("run-flight runs as a task of a Slurm array job (SLURM_ARRAY_TASK_ID is not set)")
    return first + int(task)


def threads_of_task() -> int:
    """The cores Slurm gave this task: --cpus-per-task when set, else one."""
    try:
        return max(1, int(os.environ.get("SLURM_CPUS_PER_TASK", "1")))
    except ValueError:
        return 1
