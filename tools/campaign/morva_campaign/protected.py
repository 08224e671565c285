"""The files of a campaign that no output of the runner (the report, the
status table's CSV) may replace: campaign.toml, and of every flight its run
controls, the inputs and outputs they name, the runner's own files and what
its exports made."""
import os
from typing import Any, Callable

from morva_cli import outputs

from . import accuracy_step, flight_run, flights, settings

# The run control of a flight as morva reads it (morva-runinfo), or None.
RunInfo = Callable[[flights.Flight], "dict[str, Any] | None"]


def _names(value: object) -> list[str]:
    return [v for v in value if isinstance(v, str)] if isinstance(value, list) else []


def _recorded(record: flights.Record | None, group: str) -> list[str]:
    entries = (record or {}).get(group)
    entries = entries if isinstance(entries, list) else [entries]
    return [e["name"] for e in entries if isinstance(e, dict) and isinstance(e.get("name"), str)]


def files(campaign: str, found: list[flights.Flight], runinfo: RunInfo,
          s: settings.Settings) -> list[outputs.Protected]:
    """Every such file with what it is, e.g. ("/c/a/scan.bin", "flight a's
    input"); names that do not exist yet are included (outputs to come).
    Also the files campaign.toml names and the accuracy figures with their
    record."""
    protected: list[outputs.Protected] = [(os.path.join(campaign, settings.SETTINGS_FILE), "the campaign's settings")]
    protected += [(os.path.join(campaign, name), role) for name, role in
                  ((s.checkpoints, "the campaign's check points"),
                   (s.boresight or "boresight.json", "the campaign's calibration report")) if name]
    protected += [(os.path.join(campaign, name), "the campaign's accuracy figures") for name in accuracy_step.FILES]
    for f in found:
        record = flights.read_record(f)
        info = runinfo(f) or {}
        whose = f"flight {f.rel}'s"
        groups = [
            ([flights.RUN_CONTROL, "run.in"] + _recorded(record, "run_control"), "run control"),
            (_names(info.get("inputs")) + _recorded(record, "inputs"), "input"),
            (_names(info.get("outputs")) + _recorded(record, "outputs"), "output"),
            (list(flight_run.RUNNER_FILES), "record of the campaign runner"),
            (_recorded(record, "products"), "export product"),
        ]
        for names, role in groups:
            for name in dict.fromkeys(names):
                protected.append((flights.resolve(f, name), f"{whose} {role}"))
    return protected
