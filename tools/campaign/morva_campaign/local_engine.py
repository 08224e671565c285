"""The local engine: up to N flights at once on this machine, each given its
share of the cores when morva takes --threads."""
import concurrent.futures
import os

from typing import Callable

from . import flight_run, flights
from .children import Children
from .progress import Progress


def run(todo: list[flights.Flight], job: flight_run.Job, jobs: int, children: Children,
        announce: Callable[[flight_run.Outcome], None], progress: Progress) -> list[flight_run.Outcome]:
    """Processes the flights of todo, at most `jobs` at a time; announce(outcome)
    is called as each one ends. Returns the outcomes in flight order."""
    if not todo:
        return []
    workers = min(jobs, len(todo))
    if job.morva.takes_threads and job.threads is None:
        job.threads = max(1, (os.cpu_count() or 1) // workers)
    outcomes = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=workers) as pool:
        futures = {pool.submit(flight_run.process, f, job, children): f for f in todo}
        for future in concurrent.futures.as_completed(futures):
            outcome = future.result()
            outcomes[futures[future].rel] = outcome
            progress.clear()
            announce(outcome)
            progress.add(outcome.result == "failed")
    return [outcomes[f.rel] for f in todo]
