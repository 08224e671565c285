"""The command line of morva-campaign: run, status, report and (for Slurm's
array tasks) run-flight."""
import os
import signal
import sys
import time
from dataclasses import dataclass, field

from morva_cli import outputs

from . import (accuracy_step, claims, command_line, flight_run, flights, html_report, local_engine, progress as progress_mod, protected,
               settings, slurm_engine, status_table)
from .children import Children
from .command_line import Options

PROGRAM = command_line.PROGRAM
HELP = """\
usage: morva-campaign run DIR [--jobs N] [--engine local|slurm] [--force] [--only PATTERN] [OPTIONS]
       morva-campaign status DIR [--csv FILE] [--only PATTERN] [OPTIONS]
       morva-campaign report DIR [--output FILE.html] [--limits QL0|QL1|QL2|QL3] [--resolution M]
       morva-campaign run-flight JOB_FILE FIRST   (what each Slurm array task runs)

A campaign is a folder whose subfolders, at any depth, each hold a run.in: one
flight each, processed as `morva < run.in` in its own folder (console report in
morva.log, standard error in morva.err; from a morva that takes --metadata
its record of the run in morva.metadata.json, where the table's figures come
from). A flight is done when its record, morva.done.json, written last and
only after morva exits 0 and every export succeeded, says so and it read the
configured run control, which, every input and output it names, the files its
exports made, the morva version and the settings that shape its outputs all
still match; when only the exports changed (or a file they made), only the
exports run again. A flight that failed is recorded with the last line of its
report and tried again by the next run; one whose outputs lie outside its folder or collide with another
flight's files fails without running. A lock per flight (morva.lock, with its
owner's host and pid and the children it started) keeps two runners from
processing one flight; a lock whose owner and children are all gone (same
host) or that is older than a week is taken over. The runner's children end
with it, even when it is killed outright.

run      processes every flight that is not done; ends with the summary line;
         status 0 when every flight is done, else 1. Ctrl-C (or SIGTERM) stops
         the flights under way, removes what a stopped export began, and
         counts them, and those not begun, as stopped; then, when campaign.toml
         names check points, morva-accuracy --json accuracy.json over the done
         flights (again only when they or the check points changed)
report   the survey report a client signs, one self-contained HTML page
         (DIR/campaign-report.html) that prints to PDF: project and client,
         flight dates, coordinate systems, software; verdicts and a place to
         sign; every flight's state, figures, run control and angles as used;
         the calibration (morva-boresight's --json: angles with standard
         deviations, fit before and after); the strip overlaps (morva-overlap),
         before and after a calibration, a pair without smooth cells "not
         tested"; the absolute accuracy and density at the check points
         (morva-accuracy); the terrain model's hillshade with the flight lines
         and check points; quick-looks; and, in words, what was not done
status   the table of every flight: done, failed, stopped, stale (something
         changed since its record), to do, running, with the run control and
         misalignment angles it was processed with; status 0 when every flight
         is done

report --output and status --csv never replace a campaign's file (campaign.toml,
a run control, an input or output it names, a runner's record or log, an export's
product), a folder, a device or a pipe; they appear only when complete (a link
to a file writes that file).

  --jobs N             flights at once with the local engine [number of cores]
  --engine local|slurm local cores, or one Slurm array job (run waits for it)
  --no-wait            slurm: print the job id and return at once
  --force              run every flight again, done or not
  --only PATTERN       only the flights whose path matches (shell pattern)
  --rehash             read every file again instead of trusting an unchanged
                       size and modification time
  --csv FILE           status: the table as CSV too
  --morva PATH         the morva program [beside this program, or on PATH]
  --geodesy flat|ellipsoid   passed to morva (and to exports as {geodesy})
  --export COMMAND     a command run in the flight's folder after a successful
                       run (repeatable; replaces the exports of campaign.toml);
                       {run_control}, {flight}, {bin}, {geodesy}, {metadata}
                       (--metadata morva.metadata.json, when morva writes one)
                       and {point_source_id} (the flight's place among all the
                       campaign's flights in path order, from 1: morva-las
                       --source-id {point_source_id} keeps merged flights apart)
                       are filled in (each quoted for the shell), and morva's folder and the
                       companions' (morva-quicklook, morva-las ...) come first
                       on PATH; the files an export makes in the flight's folder
                       are recorded, and a missing or changed one makes the
                       flight stale
  --partition P, --time T, --mem M, --throttle N, --cpus-per-task N
                       slurm: sbatch's partition, time limit, memory, array
                       throttle (%N) and cores of each flight
  --help, --version

campaign.toml at the campaign's top holds the same settings, options winning:
  morva, runinfo, engine, jobs, geodesy, run_control, exports = [...], project,
  client, checkpoints (a check-point CSV), boresight (morva-boresight's JSON,
  default boresight.json), limits (QL0 to QL3), and under [slurm]
  partition, time, mem, throttle, cpus_per_task, sbatch_args = [...]

Exit status:
  0  every flight selected is done
  1  a flight is not done (failed, stale, to do, running), or a stop
  2  a wrong command line, campaign folder or setting
  128+N  run stopped by signal N (the flights under way get their records)
"""


@dataclass
class Build:
    version: str
    commit: str
    script_dir: str
    morva: str
    runinfo: str
    tool_dirs: list[str] = field(default_factory=list)


def build_tool_dirs(here: str, build_here: str, build_tools: str) -> list[str]:
    """The build tree's companion folders when this script runs from the build
    tree (none when installed: the companions are beside it)."""
    if os.path.realpath(here) != os.path.realpath(build_here) or not os.path.isdir(build_tools):
        return [here]
    subs = sorted(os.path.join(build_tools, d) for d in os.listdir(build_tools))
    return [here] + [d for d in subs if os.path.isdir(d) and d != build_here]


def _merge(s: settings.Settings, options: Options) -> settings.Settings:
    """The options over the settings of campaign.toml."""
    for name, attr in (("--morva", "morva"), ("--engine", "engine"), ("--jobs", "jobs"), ("--geodesy", "geodesy")):
        if name in options:
            setattr(s, attr, settings.program_path(options[name], os.getcwd()) if attr == "morva" else options[name])
    if options["--export"]:
        s.exports = list(options["--export"])
    for name in ("--partition", "--time", "--mem", "--throttle", "--cpus-per-task"):
        if name in options:
            setattr(s.slurm, name[2:].replace("-", "_"), options[name])
    return s


def _err(message: str) -> None:
    print(f"{PROGRAM}: {message}", file=sys.stderr)


def _say(text: str) -> None:
    """A line on standard output. A reader that went away (`| head`) does not
    stop the campaign: the flights under way still get their records."""
    try:
        print(text, flush=True)
    except BrokenPipeError:
        sys.stdout = open(os.devnull, "w")


def _announce(outcome: flight_run.Outcome) -> None:
    f = outcome.flight
    if outcome.result == "done":
        _say(f"done     {f.rel} ({outcome.wall_s:.2f} s)")
    elif outcome.result in ("failed", "busy", "stopped"):
        _say(f"{outcome.result:8s} {f.rel}: {outcome.detail}")


def _run_on_slurm(campaign: str, todo: list[flights.Flight], job: flight_run.Job, s: settings.Settings,
                  options: Options, children: Children, progress: progress_mod.Progress,
                  build: Build) -> tuple[int | None, set[str]]:
    """Submits the flights to do as an array job and waits for it. Returns
    (exit status to end with now or None, flights the job ran)."""
    try:
        job_file = slurm_engine.write_job_file(campaign, todo, job)
        since = time.time() - 1.0
        rels = [f.rel for f in todo]
        poll = lambda: progress.update(*slurm_engine.finished_since(campaign, rels, since))  # noqa: E731
        ids = slurm_engine.submit(os.path.join(build.script_dir, PROGRAM), job_file, len(todo), s.slurm,
                                  wait=not options.get("--no-wait"), progress_poll=poll,
                                  stopped=lambda: children.stopping)
    except (slurm_engine.SlurmError, OSError) as e:
        _err(str(e))
        return 1, set()
    if options.get("--no-wait"):
        _say(" ".join(ids))
        return 0, set()
    progress.clear()
    if children.stopping:
        _say(f"slurm job {' '.join(ids)} goes on without this runner; "
             f"morva-campaign status {campaign} shows its flights")
    else:
        _say(f"slurm job {' '.join(ids)} ended")
    return None, slurm_engine.recorded_since(campaign, rels, since)


def _source_ids(campaign: str) -> dict[str, int]:
    """Each flight's point source ID: its place, from 1, among all the
    campaign's flights in path order (whatever --only selects)."""
    return {f.rel: i + 1 for i, f in enumerate(flights.find(campaign))}


def _found(campaign: str, options: Options) -> list[flights.Flight] | None:
    """The flights selected, or None after saying that there are none."""
    found = flights.find(campaign, options.get("--only"))
    if found:
        return found
    if "--only" in options and flights.find(campaign):
        _err(f"no flight below {campaign} matches --only '{options['--only']}'")
    else:
        _err(f"no flight (a folder holding {flights.RUN_CONTROL}) below {campaign}")
    return None


def _refuse_collisions(campaign: str, todo: list[flights.Flight], job: flight_run.Job,
                       just_refused: set[str]) -> list[flights.Flight]:
    """Records as failed the flights to run whose files collide with another
    flight's; returns the flights left to run."""
    def info_of(f: flights.Flight) -> flight_run.Info | None:
        if f.rel not in to_run:
            known = claims.recorded_files(flights.read_record(f))
            if known:
                return known
        return flight_run.runinfo(f, job)
    to_run = {f.rel for f in todo}
    found = claims.collisions(flights.find(campaign), to_run, info_of)
    left = []
    for f in todo:
        if f.rel in found:
            outcome = flight_run.refuse(f, job, found[f.rel], info_of(f))
            _announce(outcome)
            if outcome.result == "failed":
                just_refused.add(f.rel)
        else:
            left.append(f)
    return left


def _command_run(campaign: str, s: settings.Settings, options: Options, morva: settings.Morva,
                 build: Build) -> int:
    t0 = time.monotonic()
    found = _found(campaign, options)
    if not found:
        return 1
    job = flight_run.Job(morva, settings.morva_args(s), s.exports, force=bool(options.get("--force")),
                         rehash=bool(options.get("--rehash")), engine=s.engine, tool_dirs=build.tool_dirs,
                         source_ids=_source_ids(campaign))
    todo = []
    for f in found:
        state = None if job.force else flights.evaluate(f, job.identity(f), job.rehash)
        if state and state.name == "done":
            flight_run.keep_fresh(f, state)
        else:
            todo.append(f)
    skipped = len(found) - len(todo)
    # Flights this run has just recorded: their records are taken as they
    # are, without reading their outputs once more.
    just_run: set[str] = set()
    todo = _refuse_collisions(campaign, todo, job, just_run) if todo else todo
    children = Children()
    if todo:
        children.install()    # nothing to start, nothing to watch otherwise
    progress = progress_mod.Progress(len(todo))

    stopped: set[str] = set()
    if s.engine == "local":
        outcomes = local_engine.run(todo, job, s.jobs or os.cpu_count() or 1, children, _announce, progress)
        skipped += sum(1 for o in outcomes if o.result == "skipped")
        just_run |= {o.flight.rel for o in outcomes if o.result in ("done", "failed", "stopped")}
        stopped = {o.flight.rel for o in outcomes if o.result == "stopped" and o.detail == "runner stopped"}
    elif todo:
        status, ran = _run_on_slurm(campaign, todo, job, s, options, children, progress, build)
        if status is not None:
            return status
        just_run |= ran
    progress.clear()
    table = status_table.rows(found, job.identity, just_run=just_run, stopped=stopped)
    if s.engine == "slurm":
        for r in table:
            if r["state"] == "failed":
                _say(f"failed   {r['flight']}: {r['last line']}")
    accuracy_done = True
    if s.checkpoints and not children.stopping:
        accuracy_done = accuracy_step.run(campaign, s, build.script_dir, _say)
    _say(status_table.summary_line(table, f"; {skipped} skipped; wall time {time.monotonic() - t0:.2f} s"))
    if children.stopping:
        return 128 + children.stopping
    return 0 if status_table.all_done(table) and accuracy_done else 1


def _command_status(campaign: str, s: settings.Settings, options: Options, morva: settings.Morva) -> int:
    found = _found(campaign, options)
    if not found:
        return 1
    job = flight_run.Job(morva, settings.morva_args(s), s.exports, source_ids=_source_ids(campaign))
    csv_file = options.get("--csv")
    protected_files: list[outputs.Protected] = []
    if csv_file is not None:
        # Refused before anything is shown: a CSV over a flight's file would
        # lose it, whatever the table says.
        protected_files = protected.files(campaign, flights.find(campaign), lambda f: flight_run.runinfo(f, job), s)
        try:
            outputs.check([csv_file], protected_files)
        except outputs.Refused as e:
            _err(str(e))
            return 1
    table = status_table.rows(found, job.identity, bool(options.get("--rehash")))
    sys.stdout.write(status_table.format_table(table))
    accuracy_done = True
    if s.checkpoints:
        name, why = accuracy_step.state(campaign, s)
        accuracy_done = name == "done"
        print(f"accuracy at the check points ({s.checkpoints}): {name}" + (f": {why}" if why else ""))
    print(status_table.summary_line(table))
    if csv_file is not None:
        try:
            status_table.write_csv(table, csv_file, protected_files)
        except outputs.Refused as e:
            _err(str(e))
            return 1
    return 0 if status_table.all_done(table) and accuracy_done else 1


def _command_run_flight(options: Options) -> int:
    """One task of a Slurm array job: the flight at FIRST + SLURM_ARRAY_TASK_ID
    in the job file."""
    try:
        data = slurm_engine.read_job_file(options["job_file"])
        index = slurm_engine.task_index(options["first"])
        rel = data["flights"][index]
        flights.RUN_CONTROL = data.get("run_control", flights.RUN_CONTROL)
    except (OSError, ValueError, KeyError, IndexError, slurm_engine.SlurmError) as e:
        _err(f"run-flight: {e}")
        return 1
    morva = settings.Morva(**data["morva"])
    job = flight_run.Job(morva, data["morva_args"], data["exports"], threads=slurm_engine.threads_of_task(),
                         force=data["force"], rehash=data["rehash"], engine="slurm",
                         tool_dirs=data.get("tool_dirs", []), source_ids=data.get("source_ids", {}))
    children = Children()
    children.install()
    outcome = flight_run.process(flights.Flight(rel, os.path.join(data["campaign"], rel)), job, children)
    _announce(outcome)
    return 0 if outcome.result in ("done", "skipped") else 1


def main(args: list[str], build: Build) -> int:
    try:
        return _main(args, build)
    except KeyboardInterrupt:
        # Ctrl-C outside a run (a report, a status): whatever was being
        # written is gone; no traceback.
        sys.stdout.flush()
        return 128 + signal.SIGINT


def _main(args: list[str], build: Build) -> int:
    try:
        command, options = command_line.parse(args, HELP, build.version, build.commit)
    except SystemExit as e:
        return int(e.code or 0)
    if command == "run-flight":
        return _command_run_flight(options)
    folder = options["DIR"]
    if not os.path.isdir(folder):
        _err(f"{folder}: no such campaign folder")
        return 2
    campaign = os.path.abspath(folder)
    try:
        s = _merge(settings.read_file(campaign), options)
        flights.RUN_CONTROL = s.run_control  # a flight is a folder holding it
        morva = settings.find_morva(s, build)
    except settings.SettingsError as e:
        _err(str(e))
        return 2
    if command == "report":
        return html_report.report(campaign, s, options, build, morva.runinfo)
    if command == "run":
        return _command_run(campaign, s, options, morva, build)
    return _command_status(campaign, s, options, morva)
