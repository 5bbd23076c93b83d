#!/usr/bin/env python3
"""bench/compare's reading of its figures, without a desktop: which figure it marks worse, the benchmark reports'
medians in ms, the sides taking turns, and the builds it accepts."""
import importlib.machinery
import importlib.util
import os
import stat
import sys
import tempfile
import types
import unittest

ROOT = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")


def load(name):
    loader = importlib.machinery.SourceFileLoader(name.replace("-", "_"), os.path.join(ROOT, "bench", name))
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
    loader.exec_module(module)
    return module


compare = load("compare")


def build(label, side):
    return types.SimpleNamespace(label=label, side=side, tavrine=f"/builds/{label}/tavrine/tavrine")


class TableTest(unittest.TestCase):
    def test_a_figure_is_worse_only_beyond_the_spread_of_either_side(self):
        # old samples, new samples, marked worse
        rows = [
            ([100, 110, 120], [150, 160, 170], True),    # 50 ms more against a spread of 20
            ([100, 110, 120], [115, 125, 130], False),   # 15 ms more, within old's spread
            ([100, 100, 100], [100, 104, 140], False),   # 4 ms more, within new's own spread of 40
            ([100, 110, 120], [60, 70, 80], False),      # better
            ([100], [101], True),                        # one round: no spread, any rise
            ([100], [100], False),
        ]
        for old, new, worse in rows:
            figures = compare.Figures()
            for value in old:
                figures.add("end_first", "old", value, load=2.0)
            for value in new:
                figures.add("end_first", "new", value, load=3.0)
            lines, marked = compare.table(figures, [build("old", "old"), build("new", "new")], len(old))
            row = next(line for line in lines if line.startswith("End -> recap, first"))
            self.assertEqual(marked == ["end_first"], worse, (old, new, row))
            self.assertEqual(row.endswith("worse"), worse, row)

    def test_a_row_shows_medians_ratio_spreads_and_load_and_only_figures_both_sides_have(self):
        figures = compare.Figures()
        for value, load in ((60.0, 1.0), (64.0, 5.0), (62.0, 3.0)):
            figures.add("dirty_sheet", "old", value, load)
        for value in (99.0, 101.0, 100.0):
            figures.add("dirty_sheet", "new", value, 4.0)
        figures.add("tray_empty", "new", 160)  # the old build never measured it
        lines, marked = compare.table(figures, [build("old", "old"), build("new", "new")], 3)
        row = next(line for line in lines if line.startswith("private dirty after a sheet's read"))
        self.assertEqual(row.split()[6:13], ["62.0", "MB", "100.0", "MB", "1.61x", "60.0-64.0", "99.0-101.0"])
        self.assertIn("4.00 (1.0-5.0)", row)
        self.assertFalse(any(line.startswith("first launch: tray") for line in lines))
        self.assertEqual(marked, ["dirty_sheet"])
        self.assertTrue(lines[-1].endswith("1 figure(s) worse by more than their spread: dirty_sheet"))

    def test_a_sample_that_was_not_taken_is_left_out(self):
        figures = compare.Figures()
        figures.add("end_later", "old", None)
        self.assertEqual(figures.samples, {})


class ReportTest(unittest.TestCase):
    def test_medians_are_read_in_ms_from_the_median_aggregates_only(self):
        def entry(name, aggregate, value, unit):
            return {"run_name": name, "aggregate_name": aggregate, "real_time": value, "cpu_time": value * 2,
                    "time_unit": unit}

        report = {"benchmarks": [
            {"run_name": "BM_FirstCapturePage/xterm", "real_time": 9e9, "time_unit": "ms"},  # a repetition
            entry("BM_FirstCapturePage/xterm", "mean", 500, "ms"),
            entry("BM_FirstCapturePage/xterm", "median", 400, "ms"),
            entry("BM_FirstCapturePage/thunar", "median", 250000, "us"),
            entry("BM_FirstCapturePage/calc", "median", 1.5, "s"),
            entry("BM_FirstCapturePage/calc", "stddev", 0.1, "s"),
            entry("BM_CaptureSheet", "median", 700e6, "ns"),
        ]}
        wall = compare.medians(report, "BM_FirstCapturePage/")
        self.assertEqual(wall, {"BM_FirstCapturePage/xterm": 400, "BM_FirstCapturePage/thunar": 250,
                                "BM_FirstCapturePage/calc": 1500})
        self.assertEqual(sum(compare.medians(report, "BM_FirstCapturePage/", "cpu_time").values()), 4300)
        self.assertEqual(compare.medians(report, "BM_CaptureSheet"), {"BM_CaptureSheet": 700})


class TurnsTest(unittest.TestCase):
    def test_the_sides_take_turns_and_every_other_round_the_new_goes_first(self):
        old, new = build("old", "old"), build("new", "new")
        self.assertEqual([[b.label for b in compare.turns(run, [old, new])] for run in range(3)],
                         [["old", "new"], ["new", "old"], ["old", "new"]])

    def test_session_figures_run_each_figure_for_both_programs_before_the_next_and_go_on_past_a_failure(self):
        sessions = compare.session_figures
        ran, reported = [], []
        real = sessions.session_figure

        def figure(kind, command, fake_api, args):
            ran.append((kind, command[0]))
            if len(ran) == 7:
                raise RuntimeError("the main window did not show")
            return {kind: 50.0 + len(ran)}

        sessions.session_figure = figure
        try:
            results = sessions.figure_runs([("old", ["a"]), ("new", ["b"])], ["sheet", "nudge"], "/api",
                                           types.SimpleNamespace(runs=2),
                                           lambda label, kind, result: reported.append((label, kind, result[kind])))
        finally:
            sessions.session_figure = real
        self.assertEqual(ran, [("sheet", "a"), ("sheet", "b"), ("nudge", "a"), ("nudge", "b"),
                               ("sheet", "b"), ("sheet", "a"), ("nudge", "b"), ("nudge", "a")])
        self.assertEqual([r["sheet"] for r in results["old"]["sheet"]], [51.0, 56.0])
        # A failed process costs its figure that sample only.
        self.assertEqual([r["nudge"] for r in results["new"]["nudge"]], [54.0])
        self.assertEqual([r["nudge"] for r in results["old"]["nudge"]], [53.0, 58.0])
        self.assertEqual(reported[:2], [("old", "sheet", 51.0), ("new", "sheet", 52.0)])
        self.assertTrue(all("load" in r for r in results["new"]["nudge"]))


class ShowingsTest(unittest.TestCase):
    def test_first_showings_processes_become_rows_of_the_table_each_with_its_load(self):
        def process(end_first, end_later, tray, load):
            return {"load": load, "first": {"end": end_first, "history": None}, "later": {"end": end_later},
                    "private_dirty_mb": {"idle": 60.0}, "tray_empty_ms": tray}

        report = {"programs": [
            {"label": "old", "processes": [process(300, 150, 160, 5.0), process(320, 140, 170, 6.0)]},
            {"label": "new", "processes": [process(160, 150, 0, 7.0), process(170, 145, None, 8.0)]}]}
        calls = []

        def run(command, **kwargs):
            calls.append(command)
            with open(command[command.index("--json") + 1], "w") as out:
                compare.json.dump(report, out)

        real = compare.subprocess.run
        compare.subprocess.run = run
        try:
            figures, raw = compare.Figures(), {}
            compare.showings([build("old", "old"), build("new", "new")], figures,
                             types.SimpleNamespace(runs=2, quick=True), "/rec", "/api", raw)
        finally:
            compare.subprocess.run = real
        self.assertEqual(calls[0][-2:], ["old=/builds/old/tavrine/tavrine", "new=/builds/new/tavrine/tavrine"])
        self.assertIn("end,tray", calls[0])
        self.assertEqual(raw["first_showings"], report)
        samples = figures.samples
        self.assertEqual(set(samples), {"end_first", "end_later", "tray_empty"})
        self.assertTrue(set(samples) <= {key for key, _, _ in compare.ROWS})
        self.assertEqual((samples["end_first"]["old"], samples["end_first"]["new"]), ([300, 320], [160, 170]))
        self.assertEqual(samples["tray_empty"]["new"], [0])
        self.assertEqual(samples["end_later"]["load"], [5.0, 6.0, 7.0, 8.0])


class BuildTest(unittest.TestCase):
    def test_a_build_folder_or_its_executable_names_the_same_build(self):
        with tempfile.TemporaryDirectory() as folder:
            for sub in ("tavrine", "bench"):
                os.makedirs(os.path.join(folder, sub))
            executable = os.path.join(folder, "tavrine", "tavrine")
            for path in (executable, os.path.join(folder, "bench", "ocr_bench")):
                open(path, "w").close()
                os.chmod(path, stat.S_IRWXU)
            for given in (folder, executable):
                found = compare.Build("old", given)
                self.assertEqual((found.folder, found.tavrine), (folder, executable))
                self.assertEqual(found.tool("bench", "ocr_bench"), os.path.join(folder, "bench", "ocr_bench"))
                self.assertIsNone(found.tool("bench", "stage_bench"))
            with self.assertRaises(SystemExit):
                compare.Build("old", os.path.join(folder, "bench"))


if __name__ == "__main__":
    unittest.main()
