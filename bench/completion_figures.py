#!/usr/bin/python3
"""How often a download completes on a bad line: measured here, reported by measure.py.

usage: completion_figures.py BUILD_DIR [SEEDS]   (measures these figures alone and prints them)

Each seed of zklog-sim's random line (`--chaos SEED --chaos-percent P --late-ms 700`: replies
late by up to 700 ms, twice, after noise, with a bad CRC, cut short or not at all) serves a
600-record log; `zklog-cli download` reads it at the default 500 ms timeout, record by record and
`--fast`. The figure is the share of seeds whose download completes. The downloads go on side by
side, each with its own simulator and file: they spend nearly all their time waiting out
timeouts.
"""
import concurrent.futures
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

from report import Report
from sim_process import BenchError, Simulator
from timing import check_rows, fresh_database

RECORDS = 600
LATE_MS = 700
SEEDS = 100
SIDE_BY_SIDE = 40
PERCENTS = (1, 3)
TARGETS = {1: 0.99, 3: 0.90}
COMPLETED = "Dados gravados com sucesso"
READ_FAILED = "Erro ao ler o LOG"


def download_once(cli, sim_exe, work, percent, seed, fast):
    """True when the download of the seed's line completed with every row."""
    name = f"{'fast' if fast else 'standard'}-{percent}pct-{seed}"
    db = fresh_database(cli, work / f"{name}.db")
    with Simulator(sim_exe, ["--generate", RECORDS, "--chaos", seed, "--chaos-percent", percent,
                             "--late-ms", LATE_MS], work / f"sim-{name}.log") as sim:
        cmd = [str(cli), "download", "--port", sim.pty, "--address", "1", "--db", str(db)]
        result = subprocess.run(cmd + (["--fast"] if fast else []), capture_output=True,
                                text=True, timeout=1800)
    if COMPLETED in result.stdout and result.returncode == 0:
        check_rows(db, RECORDS, f"zklog-cli {name}")
        completed = True
    elif READ_FAILED in result.stdout and result.returncode == 1:
        completed = False
    else:
        raise BenchError(f"zklog-cli {name} exited {result.returncode}: "
                         f"{result.stdout.strip()} {result.stderr.strip()}")
    for path in work.glob(f"{name}.db*"):
        path.unlink()
    return completed


def measure_completion(cli, sim_exe, work, seeds=SEEDS):
    """{(percent, fast): [completed, ...] by seed} and the seconds the whole took."""
    jobs = [(percent, fast, seed) for percent in sorted(PERCENTS, reverse=True)
            for fast in (False, True) for seed in range(1, seeds + 1)]
    started = time.perf_counter()
    with concurrent.futures.ThreadPoolExecutor(SIDE_BY_SIDE) as pool:
        futures = {job: pool.submit(download_once, cli, sim_exe, work, job[0], job[2], job[1])
                   for job in jobs}
        outcomes = {}
        for (percent, fast, seed), future in futures.items():
            outcomes.setdefault((percent, fast), []).append(future.result())
    return outcomes, time.perf_counter() - started


def report_completion(report, completion):
    outcomes, seconds = completion
    for percent in PERCENTS:
        standard, fast = outcomes[(percent, False)], outcomes[(percent, True)]
        share = sum(standard) / len(standard)
        report.add(f"completion_{percent}pct",
                   f"7 downloads completed, {percent} % of requests spoilt", share, "ratio",
                   TARGETS[percent], [("seeds", len(standard), ""), ("all seeds", seconds, "s")],
                   at_least=True, records=RECORDS, late_ms=LATE_MS, timeout_ms=500,
                   completed=sum(standard))
        report.add_second(f"completion_{percent}pct", "fast",
                          f"7 --fast completed, {percent} % of requests spoilt",
                          sum(fast) / len(fast), "ratio", TARGETS[percent],
                          [("seeds", len(fast), ""), ("completed", sum(fast), "")],
                          at_least=True)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip().splitlines()[2])
    build = pathlib.Path(sys.argv[1]).resolve()
    seeds = int(sys.argv[2]) if len(sys.argv) == 3 else SEEDS
    work = pathlib.Path(tempfile.mkdtemp(prefix="zklog-completion-bench-"))
    try:
        completion = measure_completion(build / "zklog-cli", build / "zklog-sim", work, seeds)
    except (BenchError, subprocess.TimeoutExpired, OSError) as error:
        print(f"bench: {error}\nbench: files kept in {work}", file=sys.stderr)
        return 1
    report = Report()
    report_completion(report, completion)
    print(report.table())
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
