"""zklog-view's figures: start to first paint of table and charts for a whole-memory
download, and for 100,000 rows with the most memory held (VmHWM); and the service report of
those 100,000 rows, zklog-view --report from start to exit.

The rows are the download's own: the whole-memory table is saved by zklog-cli from the
simulated relay, and the 100,000-row table repeats those saved rows, so every row was decoded
by the project's one record decoder."""
import json
import os
import sqlite3
import statistics
import subprocess
import time

from sim_process import BenchError
from timing import fresh_database

REPS = 5
BIG_ROWS = 100_000
FIRST_PAINT_TARGET_MS = 300
BIG_PAINT_TARGET_MS = 1500
BIG_MEMORY_TARGET_MB = 200
REPORT_TARGET_S = 3.0


def _download_whole(p, image):
    db = fresh_database(p.cli, p.work / "viewer.db")
    link = p.work / "viewer-COM"
    with p.simulator("viewer", "--image", image, "--link", link):
        result = subprocess.run([p.cli, "download", "--port", str(link), "--address", "1",
                                 "--whole", "--db", db], capture_output=True, text=True,
                                timeout=600)
    if result.returncode != 0:
        raise BenchError(f"zklog-cli download for the viewer exited {result.returncode}: "
                         f"{result.stderr.strip()}")
    return db


def _repeat_rows(source, target, rows):
    """`target`: the rows of `source` over and over, in saved order, `rows` in all."""
    for suffix in ("", "-wal", "-shm"):
        target.with_name(target.name + suffix).unlink(missing_ok=True)
    with sqlite3.connect(source) as src, sqlite3.connect(target) as dst:
        src.backup(dst)
    with sqlite3.connect(target) as db:
        saved = db.execute("SELECT count(*) FROM LOG").fetchone()[0]
        if saved == 0:
            raise BenchError("the whole-memory download saved no rows")
        while db.execute("SELECT count(*) FROM LOG").fetchone()[0] < rows:
            db.execute("INSERT INTO LOG SELECT * FROM LOG ORDER BY rowid LIMIT ?", (saved,))
        db.execute("DELETE FROM LOG WHERE rowid > ?", (rows,))
    with sqlite3.connect(target) as db:
        db.execute("PRAGMA wal_checkpoint(TRUNCATE)")
    return target


def _runs(harness, db):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    runs = []
    for _ in range(REPS):
        stamp = time.monotonic_ns()
        result = subprocess.run([harness, db, str(stamp)], capture_output=True, text=True,
                                env=env, timeout=120)
        if result.returncode != 0:
            raise BenchError(f"zklog-bench-viewer exited {result.returncode}: "
                             f"{result.stdout.strip()} {result.stderr.strip()}")
        runs.append(json.loads(result.stdout.strip().splitlines()[-1]))
    return runs


def report_runs(view, db, pdf):
    """Seconds each of REPS runs of zklog-view --report takes, process start to exit."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    runs = []
    for _ in range(REPS):
        pdf.unlink(missing_ok=True)
        start = time.monotonic()
        result = subprocess.run([view, "--report", pdf, db], capture_output=True, text=True,
                                env=env, timeout=120)
        runs.append(time.monotonic() - start)
        if result.returncode != 0 or not pdf.exists():
            raise BenchError(f"zklog-view --report exited {result.returncode}: "
                             f"{result.stderr.strip()}")
    return runs


def measure_viewer(p, image):
    harness = p.build / "bench" / "zklog-bench-viewer"
    whole = _download_whole(p, image)
    big = _repeat_rows(whole, p.work / "viewer-100k.db", BIG_ROWS)
    return {"whole": _runs(harness, whole), "big": _runs(harness, big), "files": (whole, big),
            "report": report_runs(p.build / "zklog-view", big, p.work / "report-100k.pdf")}


def report_viewer(report, runs):
    whole = runs["whole"]
    big = runs["big"]
    paint = statistics.median(r["first_paint_ms"] for r in whole)
    report.add("viewer_first_paint", "zklog-view first paint, whole-memory download", paint,
               "ms", FIRST_PAINT_TARGET_MS,
               [("first paint, median of 5", paint, "ms")],
               runs=[r["first_paint_ms"] for r in whole], rows=whole[0]["records"])
    big_paint = statistics.median(r["first_paint_ms"] for r in big)
    report.add("viewer_100k", "zklog-view first paint, 100,000 rows", big_paint, "ms",
               BIG_PAINT_TARGET_MS,
               [("first paint, median of 5", big_paint, "ms")],
               runs=[r["first_paint_ms"] for r in big], rows=big[0]["records"],
               table_rows_loaded=big[0]["table_rows_loaded"])
    report_s = statistics.median(runs["report"])
    report.add("report_100k", "zklog-view --report, 100,000 rows", report_s, "s",
               REPORT_TARGET_S, [("start to exit, median of 5", report_s, "s")],
               runs=runs["report"], rows=big[0]["records"])
    hwm = max(r["hwm_kb"] for r in big) / 1024
    report.add_second("viewer_100k", "memory", "zklog-view VmHWM, 100,000 rows", hwm, "MB",
                      BIG_MEMORY_TARGET_MB, [("VmHWM, most of 5", hwm, "MB")])


WINE_RATIO_TARGET = 2.0


def measure_viewer_wine(harness_exe, runs, work):
    """The same harness built for Windows, under Wine on the offscreen platform, on the same two
    files. Its times run from the process's creation as Windows records it: Wine's own start
    before that is not counted, as a Windows desktop has no such start."""
    from windows_figures import WinePrefix

    prefix = WinePrefix(harness_exe.parent.parent / "wine", work / "COM1")
    env = dict(prefix.env, WINEQT_QPA_PLATFORM="offscreen")
    measured = {}
    try:
        for name, db in zip(("whole", "big"), runs["files"]):
            measured[name] = []
            for _ in range(REPS):
                result = subprocess.run(["wine", harness_exe, "Z:" + str(db)],
                                        capture_output=True, text=True, env=env, timeout=300)
                if result.returncode != 0:
                    raise BenchError(f"zklog-bench-viewer.exe exited {result.returncode}: "
                                     f"{result.stdout.strip()} {result.stderr.strip()}")
                measured[name].append(json.loads(result.stdout.strip().splitlines()[-1]))
    finally:
        prefix.stop()
    return measured


def report_viewer_wine(report, linux, wine):
    for name, key, title in (("viewer_wine_first_paint", "whole",
                              "zklog-view.exe under Wine / Linux, first paint, whole memory"),
                             ("viewer_wine_100k", "big",
                              "zklog-view.exe under Wine / Linux, first paint, 100,000 rows")):
        on_wine = statistics.median(r["first_paint_ms"] for r in wine[key])
        on_linux = statistics.median(r["first_paint_ms"] for r in linux[key])
        # The loader's part: Wine loads and starts each of the forty-odd system DLLs that the
        # static Qt imports (Direct3D, DirectWrite, the shell, ...) itself, where Windows maps
        # them from memory.
        wine_main = statistics.median(r["main_ms"] for r in wine[key])
        linux_main = statistics.median(r["main_ms"] for r in linux[key])
        from_main = statistics.median(r["first_paint_ms"] - r["main_ms"] for r in wine[key]) / \
            statistics.median(r["first_paint_ms"] - r["main_ms"] for r in linux[key])
        report.add(name, title, on_wine / on_linux, "ratio", WINE_RATIO_TARGET,
                   [("wine median", on_wine, "ms"), ("linux median", on_linux, "ms"),
                    ("wine, process start to main()", wine_main, "ms"),
                    ("linux, process start to main()", linux_main, "ms"),
                    ("wine / linux from main() on", from_main, "ratio")],
                   runs=[r["first_paint_ms"] for r in wine[key]])
