"""Unit checks of the quick-look's parts that the end-to-end cases reach only
with large or unusual files: the index recovered across chunk boundaries,
fixed-field parsing, the colour span, the histogram's bins, the report's
asterisks and the outputs written under a temporary name."""

import os

import numpy as np
import pytest

from morva_quicklook import outputs, records, report, summary


def scans(n_scans: int, nmeas: int) -> records.Points:
    """Points of scans that sweep west to east, the index's low byte only."""
    index = np.tile(np.arange(1, nmeas + 1), n_scans)
    scan = np.repeat(np.arange(n_scans), nmeas)
    lon = 5.0 + index * 1e-5
    lat = 52.0 + scan * 1e-5
    return records.Points(scan * 1e-4, lat, lon, np.full(len(index), 10_000), index & 255, 0)


def chunked(p: records.Points, cuts: list[int]) -> list[records.Points]:
    edges = [0, *cuts, len(p.h_mm)]
    return [records.Points(p.thr[a:b], p.lat[a:b], p.lon[a:b], p.h_mm[a:b], p.index[a:b], 0)
            for a, b in zip(edges, edges[1:])]


# The full index (up to 600 here) comes back whatever the chunks, cut within a
# wrap of the low byte, at a scan's start, and one point before it.
@pytest.mark.parametrize("cuts", [[], [256], [255, 257], [600], [599, 601, 602], list(range(1, 1800, 97))])
def test_index_recovered_across_chunks(cuts: list[int]) -> None:
    p = scans(3, 600)
    s = summary.summarise(chunked(p, cuts), len(p.h_mm), 10, True, None)
    bands = summary.per_index(s)
    assert list(bands["index"]) == list(range(1, 601)) and set(bands["count"]) == {3}


@pytest.mark.parametrize("text, decimals, value, ok", [
    (b"  52.123456", 6, 52123456, True),
    (b" -0.500000", 6, -500000, True),
    (b" -0.500000 ", 6, None, False),              # the point out of its column
    (b"   -12.25", 2, -1225, True),
    (b"***********", 6, None, False),
    (b"  52,123456", 6, None, False),
    (b"      NaN  ", 2, None, False),
])
def test_fixed_fields(text: bytes, decimals: int, value: int | None, ok: bool) -> None:
    rows = np.frombuffer(text, np.uint8).reshape(1, -1)
    got, valid = records.parse_fixed(rows, 0, len(text), decimals)
    assert bool(valid[0]) == ok and (not ok or int(got[0]) == value)


@pytest.mark.parametrize("heights_mm, limits", [
    ([10_000] * 50, [9.995, 10.005]),              # flat ground: 1 cm about its height
    ([9_999, 10_001] * 25, [9.995, 10.005]),
    (list(range(0, 5_001, 100)), [0.1, 4.9]),      # wide enough: the percentiles themselves
])
def test_colour_span(heights_mm: list[int], limits: list[float]) -> None:
    assert summary.height_limits(np.array(heights_mm)) == pytest.approx(limits)


def test_histogram_bins_centred_on_the_text_steps() -> None:
    h = np.array([10_000, 10_010, 10_020, 9_990] * 10)
    hist = summary.histogram(h, [9.99, 10.02], 10)
    assert hist is not None
    centres = (hist["edges"][:-1] + hist["edges"][1:]) / 2
    mm = np.round(centres[hist["counts"] > 0] * 1000)
    assert list(mm) == [9_990, 10_000, 10_010, 10_020] and hist["below"] == hist["above"] == 0


def test_report_asterisks_and_an_empty_fit() -> None:
    text = (" ** time gap scan   1234 250***********, seconds     0.500\n"
            "   no of points used in regression:        0 , parameters:  3\n"
            " bias:   0.00 m, slope (roll0):  0.00 degrees\n")
    info = report.parse_report(text)
    assert info["gaps"] == [{"scan": 1234, "index": 250, "thr": None, "seconds": 0.5}]
    assert report.regression_curve(info["regression"], 250, np.arange(1, 251)) is None


def test_outputs_appear_only_when_complete(tmp_path: os.PathLike[str]) -> None:
    final = os.path.join(tmp_path, "q.json")
    with pytest.raises(RuntimeError):
        with outputs.Staged() as staged:
            open(staged.add(final), "w").write("half")
            raise RuntimeError("stopped")
    assert os.listdir(tmp_path) == []
    with outputs.Staged() as staged:
        open(staged.add(final), "w").write("whole")
        staged.commit()
    assert os.listdir(tmp_path) == ["q.json"] and open(final).read() == "whole"


# guards: outputs written one by one under fixed temporary names, a link output replaced by a file
def test_outputs_appear_together_and_through_links(tmp_path: os.PathLike[str]) -> None:
    real, link = os.path.join(tmp_path, "real.png"), os.path.join(tmp_path, "so.png")
    open(real, "w").write("old")
    os.symlink("real.png", link)
    with pytest.raises(OSError):   # the second output cannot be made: neither appears
        with outputs.Staged() as staged:
            open(staged.add(link), "w").write("new")
            staged.add(os.path.join(tmp_path, "missing", "q.json"))
            staged.commit()
    assert sorted(os.listdir(tmp_path)) == ["real.png", "so.png"] and open(real).read() == "old"
    with outputs.Staged() as staged:
        open(staged.add(link), "w").write("new")
        open(staged.add(os.path.join(tmp_path, "q.json")), "w").write("{}")
        staged.commit()
    assert os.readlink(link) == "real.png" and open(real).read() == "new"
    assert sorted(os.listdir(tmp_path)) == ["q.json", "real.png", "so.png"]


USAGE_TAIL = "; usage: morva-quicklook [options] RUN_CONTROL [OUTPUT.png] (morva-quicklook --help)\n"


# The command line: what it takes, and the one usage line with status 2 for what it does not.
@pytest.mark.parametrize("argv, taken, error", [
    (["run.in"], {"run_control": "run.in", "png": None, "max_drawn": 200_000, "svg": False}, None),
    (["--svg", "--small", "--max-drawn", "5", "run.in", "q.png"],
     {"svg": True, "small": True, "max_drawn": 5, "png": "q.png"}, None),
    (["--json=a.json", "--geojson", "-", "run.in"], {"json": "a.json", "geojson": "-"}, None),
    (["--max-drawn", "0", "run.in"], None, "option --max-drawn: 0 is out of range (1 to inf)"),
    (["--max-drawn", "many", "run.in"], None, "option --max-drawn: 'many' is not a number"),
    (["--report"], None, "option --report needs a value"),
    (["--svg=yes", "run.in"], None, "option --svg takes no value"),
    ([], None, "missing RUN_CONTROL"),
    (["a", "b", "c"], None, "unexpected argument 'c'"),
])
def test_command_line(argv: list[str], taken: dict[str, object] | None, error: str | None,
                      capsys: pytest.CaptureFixture[str]) -> None:
    from morva_quicklook import main
    if taken is not None:
        opts = vars(main.parser("1.2.3", "").parse_args(argv))
        assert {k: opts[k] for k in taken} == taken
    else:
        assert main.main(argv, "1.2.3", "", []) == 2
        assert capsys.readouterr().err == f"morva-quicklook: {error}{USAGE_TAIL}"
