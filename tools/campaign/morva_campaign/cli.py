"""The command line of morva-campaign: run, status and (for Slurm's array
tasks) run-flight."""
import os
import sys
import time
from dataclasses import dataclass

from . import html_report, flight_run, flights, local_engine, progress as progress_mod, settings, slurm_engine, status_table

PROGRAM = "morva-campaign"
USAGE = "morva-campaign run|status DIR [OPTIONS]"
HELP = """\
usage: morva-campaign run DIR [--jobs N] [--engine local|slurm] [--force] [--only PATTERN] [OPTIONS]
       morva-campaign status DIR [--csv FILE] [--only PATTERN] [OPTIONS]
       morva-campaign report DIR [--output FILE.html] [--limits QL0|QL1|QL2|QL3] [--resolution M]
       morva-campaign run-flight JOB_FILE FIRST   (what each Slurm array task runs)

A campaign is a folder whose subfolders, at any depth, each hold a run.in: one
flight each, processed as `morva < run.in` in its own folder (console report in
morva.log, standard error in morva.err). A flight is done when its record,
morva.done.json, written last and only after morva exits 0 and every export
succeeded, says so and its run.in, every input and output it names, the morva
version and the settings that shape its outputs all still match. A flight that
failed is recorded with the last line of its report and tried again by the
next run. A lock per flight (morva.lock, with its owner's host and pid) keeps
two runners from processing one flight; a lock whose owner process is gone
(same host) or that is older than a week is taken over.

run      processes every flight that is not done; ends with the summary line;
         status 0 when every flight is done, else 1
report   one self-contained HTML page (DIR/campaign-report.html): every flight's
         state, figures, quick-look, geodesy and version, the strip overlaps
         (morva-overlap) with verdicts and picture, warnings where flights were
         processed differently
status   the table of every flight: done, failed, stale (something changed since
         its record), to do, running; status 0 when every flight is done

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
                       {run_control}, {flight}, {bin} and {geodesy} are filled in,
                       and the programs beside morva come first on PATH
  --partition P, --time T, --mem M, --throttle N, --cpus-per-task N
                       slurm: sbatch's partition, time limit, memory, array
                       throttle (%N) and cores of each flight
  --help, --version

campaign.toml at the campaign's top holds the same settings, options winning:
  morva, runinfo, engine, jobs, geodesy, exports = [...], and under [slurm]
  partition, time, mem, throttle, cpus_per_task, sbatch_args = [...]
"""


@dataclass
class Build:
    version: str
    commit: str
    script_dir: str
    morva: str
    runinfo: str

    def version_line(self):
        return f"{PROGRAM} {self.version}" + (f" (commit {self.commit})" if self.commit else "")


class UsageError(Exception):
    pass


VALUE_OPTIONS = {"--jobs", "--engine", "--only", "--csv", "--morva", "--geodesy", "--export", "--partition",
                 "--time", "--mem", "--throttle", "--cpus-per-task"}
FLAG_OPTIONS = {"--force", "--no-wait", "--rehash"}
COMMAND_OPTIONS = {"run": VALUE_OPTIONS - {"--csv"} | FLAG_OPTIONS,
                   "status": {"--only", "--csv", "--morva", "--geodesy", "--export", "--rehash"}}


def _whole(option, text):
    try:
        value = int(text)
    except ValueError:
        value = 0
    if value < 1:
        raise UsageError(f"{option} needs a whole number above 0, not '{text}'")
    return value


def parse(args):
    """(command, campaign folder, options) from the arguments."""
    if not args:
        raise UsageError("no command given")
    command, rest = args[0], args[1:]
    if command not in COMMAND_OPTIONS:
        raise UsageError(f"unknown command '{command}'")
    folder, options = None, {"--export": []}
    i = 0
    while i < len(rest):
        a = rest[i]
        name, eq, inline = a.partition("=") if a.startswith("--") else (a, "", "")
        if a.startswith("-") and a != "-":
            if name not in COMMAND_OPTIONS[command]:
                raise UsageError(f"unknown option '{a}' for {command}")
            if name in FLAG_OPTIONS:
                if eq:
                    raise UsageError(f"{name} takes no value")
                options[name] = True
            else:
                if not eq:
                    i += 1
                    if i == len(rest):
                        raise UsageError(f"{name} needs a value")
                    inline = rest[i]
                if name == "--export":
                    options[name].append(inline)
                else:
                    options[name] = inline
        elif folder is None:
            folder = a
        else:
            raise UsageError(f"more than one campaign folder given ('{folder}', '{a}')")
        i += 1
    if folder is None:
        raise UsageError("no campaign folder given")
    for name in ("--jobs", "--throttle", "--cpus-per-task"):
        if name in options:
            options[name] = _whole(name, options[name])
    for name, choices in (("--engine", settings.ENGINES), ("--geodesy", settings.GEODESIES)):
        if name in options and options[name] not in choices:
            raise UsageError(f"{name} must be one of {', '.join(choices)}, not '{options[name]}'")
    return command, folder, options


def _merge(s, options):
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


def _err(message):
    print(f"{PROGRAM}: {message}", file=sys.stderr)


def _say(text):
    """A line on standard output. A reader that went away (`| head`) does not
    stop the campaign: the flights under way still get their records."""
    try:
        print(text, flush=True)
    except BrokenPipeError:
        sys.stdout = open(os.devnull, "w")


def _announce(outcome):
    f = outcome.flight
    if outcome.result == "done":
        _say(f"done     {f.rel} ({outcome.wall_s:.2f} s)")
    elif outcome.result == "failed":
        _say(f"failed   {f.rel}: {outcome.detail}")
    elif outcome.result in ("busy", "stopped"):
        _say(f"{outcome.result:8s} {f.rel}: {outcome.detail}")


def _run_on_slurm(campaign, todo, job, s, options, children, progress, build):
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


def _command_run(campaign, s, options, morva, build):
    t0 = time.monotonic()
    found = flights.find(campaign, options.get("--only"))
    if not found:
        _err(f"no flight (a folder holding {flights.RUN_CONTROL}) below {campaign}")
        return 1
    job = flight_run.Job(morva, settings.morva_args(s), s.exports, force=bool(options.get("--force")),
                         rehash=bool(options.get("--rehash")), engine=s.engine)
    identity = job.identity()
    todo = []
    for f in found:
        state = None if job.force else flights.evaluate(f, identity, job.rehash)
        if state and state.name == "done":
            flight_run.keep_fresh(f, state)
        else:
            todo.append(f)
    skipped = len(found) - len(todo)
    children = flight_run.Children()
    children.install()
    progress = progress_mod.Progress(len(todo))

    # Flights this run has just recorded: their records are taken as they
    # are, without reading their outputs once more.
    just_run = set()
    if s.engine == "local":
        outcomes = local_engine.run(todo, job, s.jobs or os.cpu_count() or 1, children, _announce, progress)
        skipped += sum(1 for o in outcomes if o.result == "skipped")
        just_run = {o.flight.rel for o in outcomes if o.result in ("done", "failed")}
    elif todo:
        status, just_run = _run_on_slurm(campaign, todo, job, s, options, children, progress, build)
        if status is not None:
            return status
    progress.clear()
    table = status_table.rows(found, identity, just_run=just_run)
    if s.engine == "slurm":
        for r in table:
            if r["state"] == "failed":
                _say(f"failed   {r['flight']}: {r['last line']}")
    _say(status_table.summary_line(table, f"; {skipped} skipped; wall time {time.monotonic() - t0:.2f} s"))
    if children.stopping:
        return 128 + children.stopping
    return 0 if status_table.all_done(table) else 1


def _command_status(campaign, s, options, morva):
    found = flights.find(campaign, options.get("--only"))
    if not found:
        _err(f"no flight (a folder holding {flights.RUN_CONTROL}) below {campaign}")
        return 1
    job = flight_run.Job(morva, settings.morva_args(s), s.exports)
    table = status_table.rows(found, job.identity(), bool(options.get("--rehash")))
    sys.stdout.write(status_table.format_table(table))
    print(status_table.summary_line(table))
    if "--csv" in options:
        try:
            status_table.write_csv(table, options["--csv"])
        except OSError as e:
            _err(f"cannot write {options['--csv']}: {e.strerror}")
            return 1
    return 0 if status_table.all_done(table) else 1


def _command_run_flight(args):
    """One task of a Slurm array job: the flight at FIRST + SLURM_ARRAY_TASK_ID
    in the job file."""
    if len(args) != 2:
        raise UsageError("run-flight needs JOB_FILE FIRST")
    try:
        data = slurm_engine.read_job_file(args[0])
        index = slurm_engine.task_index(int(args[1]))
        rel = data["flights"][index]
    except (OSError, ValueError, KeyError, IndexError, slurm_engine.SlurmError) as e:
        _err(f"run-flight: {e}")
        return 1
    morva = settings.Morva(**data["morva"])
    job = flight_run.Job(morva, data["morva_args"], data["exports"], threads=slurm_engine.threads_of_task(),
                         force=data["force"], rehash=data["rehash"], engine="slurm")
    children = flight_run.Children()
    children.install()
    outcome = flight_run.process(flights.Flight(rel, os.path.join(data["campaign"], rel)), job, children)
    _announce(outcome)
    return 0 if outcome.result in ("done", "skipped") else 1


def main(args, build):
    if "--help" in args or "-h" in args:
        sys.stdout.write(HELP)
        return 0
    if "--version" in args:
        print(build.version_line())
        return 0
    if args and args[0] == "report":
        return html_report.main(args[1:], build)
    try:
        if args and args[0] == "run-flight":
            return _command_run_flight(args[1:])
        command, folder, options = parse(args)
    except UsageError as e:
        print(f"{PROGRAM}: {e}; usage: {USAGE} ({PROGRAM} --help)", file=sys.stderr)
        return 2
    if not os.path.isdir(folder):
        _err(f"{folder}: no such campaign folder")
        return 2
    campaign = os.path.abspath(folder)
    try:
        s = _merge(settings.read_file(campaign), options)
        morva = settings.find_morva(s, build)
    except settings.SettingsError as e:
        _err(str(e))
        return 2
    if command == "run":
        return _command_run(campaign, s, options, morva, build)
    return _command_status(campaign, s, options, morva)
