#!/usr/bin/python3
"""The figures of `make bench`, measured in one run: prints a table, writes bench.json.

usage: measure.py BUILD_DIR [WINDOWS_BUILD_DIR]   (the programs must be built: bench/run does that
       first; with WINDOWS_BUILD_DIR, zklog-cli.exe under Wine is measured too)

Each figure is a ratio (or a cost) with the absolute times it comes from. Times are of whole
processes, start to exit, as a user waits for them. The machine is shared and small, so every
time is taken several times, the two sides of a ratio in turn, and the median makes the figure;
the minimum is kept beside it.
"""
import errno
import fcntl
import json
import os
import pathlib
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import termios
import time

from completion_figures import measure_completion, report_completion
from fast_figures import (measure_fast_paced, measure_scan, measure_slow_line,
                          report_fast_peer, report_slow_line_and_scan)
from report import Report
from sim_process import BenchError, Simulator, Trace
from timing import check_rows, fresh_database, timed_run
from export_figures import measure_xlsx, report_xlsx
from network_figures import measure_network, report_network
from viewer_figures import measure_viewer, measure_viewer_wine, report_viewer, report_viewer_wine
from windows_figures import measure_wine, report_wine, shipped_exe
from wire_time import wire_seconds

HERE = pathlib.Path(__file__).resolve().parent
PYTHON = "/usr/bin/python3"  # the one Debian's python3-pymodbus installs into

BAUD = 115200
UNPACED_REPS = 11
PACED_REPS = 3
LOOP_PACED_REPS = 2
PEER_REPS = 3
PEER_PACED_REPS = 2
WINDOW_REPS = 3
COM_NUMBER = 9  # the window takes one digit; <build>/bench/COM9 is the harness's own
COMPLETED = "Dados gravados com sucesso"


class Programs:
    """The programs under test and the scratch folder their files go to."""

    def __init__(self, build, work):
        self.build = build
        self.work = work
        self.cli = build / "zklog-cli"
        self.sim_exe = build / "zklog-sim"
        self.loop = build / "bench" / "zklog-bench-modbus-loop"
        self.save_row = build / "bench" / "zklog-bench-save-row"
        self.window = build / "bench" / "zklog-bench-window"
        for exe in (self.cli, self.sim_exe, self.loop, self.save_row, self.window):
            if not exe.exists():
                raise BenchError(f"{exe} is missing: bench/run builds it")

    def simulator(self, name, *args):
        return Simulator(self.sim_exe, args, self.work / f"sim-{name}.log")

    def zklog(self, pty, baud, whole=True):
        db = fresh_database(self.cli, self.work / "zklog.db")
        cmd = [self.cli, "download", "--port", pty, "--address", "1", "--db", db, "--baud", baud]
        seconds, out = timed_run(cmd + (["--whole"] if whole else []))
        if COMPLETED not in out:
            raise BenchError(f"zklog-cli did not complete: {out.strip()}")
        return seconds, db

    def bare_loop(self, pty, reads, baud):
        plan = self.work / "reads.txt"
        plan.write_text("".join(f"{n} {' '.join(map(str, read))}\n"
                                for n, read in enumerate(reads, 1)))
        seconds, _ = timed_run([self.loop, pty, plan, baud])
        return seconds

    def peer(self, pty, baud, whole=True):
        db = fresh_database(self.cli, self.work / "peer.db")
        cmd = [PYTHON, HERE / "peer_download.py", "--port", pty, "--address", "1", "--db", db,
               "--baud", baud]
        seconds, _ = timed_run(cmd + (["--whole"] if whole else []))
        return seconds, db


def same_reads(made, expected, who):
    if made != expected:
        raise BenchError(f"{who} made {len(made)} reads, not the {len(expected)} zklog made")


def measure_unpaced(p, image, records):
    """Whole-memory downloads on an unpaced simulator: zklog, the bare loop, the peer."""
    trace = Trace(p.work / "trace-unpaced.txt")
    with p.simulator("traced", "--image", image, "--trace", trace.path) as sim:
        _, db = p.zklog(sim.pty, BAUD)
        check_rows(db, records, "zklog-cli")
        reads = trace.next_reads()
        _, db = p.peer(sim.pty, BAUD)
        check_rows(db, records, "the peer script")
        same_reads(trace.next_reads(), reads, "the peer script")
    zklog, loop, peer = [], [], []
    # Untraced: writing the trace would add the same cost to both sides of the ratio.
    with p.simulator("unpaced", "--image", image) as sim:
        for _ in range(UNPACED_REPS):
            seconds, db = p.zklog(sim.pty, BAUD)
            check_rows(db, records, "zklog-cli")
            zklog.append(seconds)
            loop.append(p.bare_loop(sim.pty, reads, BAUD))
        for _ in range(PEER_REPS):
            peer.append(p.peer(sim.pty, BAUD)[0])
    return reads, {"zklog": zklog, "loop": loop, "peer": peer}


def measure_paced(p, image, records, reads):
    """The same downloads on a simulator that answers as late as a 115200 line would."""
    trace = Trace(p.work / "trace-paced.txt")
    zklog, loop, peer = [], [], []
    with p.simulator("paced", "--image", image, "--baud", BAUD, "--trace", trace.path) as sim:
        for rep in range(PACED_REPS):
            seconds, db = p.zklog(sim.pty, BAUD)
            check_rows(db, records, "zklog-cli")
            same_reads(trace.next_reads(), reads, "zklog-cli (paced)")
            zklog.append(seconds)
            if rep < LOOP_PACED_REPS:
                loop.append(p.bare_loop(sim.pty, reads, BAUD))
                trace.next_reads()
        for _ in range(PEER_PACED_REPS):
            seconds, db = p.peer(sim.pty, BAUD)
            check_rows(db, records, "the peer script")
            same_reads(trace.next_reads(), reads, "the peer script (paced)")
            peer.append(seconds)
    return {"zklog": zklog, "loop": loop, "peer": peer}


def measure_save_row(p):
    """Microseconds per saved row: (min, median) over the benchmark's repetitions, and the rows
    each repetition saved."""
    _, out = timed_run([p.save_row, "--benchmark_format=json"])
    stats = {b["aggregate_name"]: b for b in json.loads(out)["benchmarks"]
             if b.get("run_type") == "aggregate"}
    for name in ("min", "median"):
        if stats.get(name, {}).get("time_unit") != "us":
            raise BenchError(f"zklog-bench-save-row gave no {name} in microseconds")
    rows = re.search(r"iterations:(\d+)", stats["median"]["run_name"])
    return (stats["min"]["real_time"], stats["median"]["real_time"],
            int(rows.group(1)) if rows else 0)


def measure_window(p, image, records):
    """The window harness, offscreen: first paint after process start, memory after a download."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    runs = []
    with p.simulator("window", "--image", image, "--link", p.window.parent / f"COM{COM_NUMBER}"):
        for _ in range(WINDOW_REPS):
            db = fresh_database(p.cli, p.work / "window.db")
            cmd = [str(p.window), str(db), str(COM_NUMBER)]
            stamp = time.monotonic_ns()
            result = subprocess.run(cmd + [str(stamp)], capture_output=True, text=True, env=env,
                                    timeout=300)
            if result.returncode != 0:
                raise BenchError(f"zklog-bench-window exited {result.returncode}: "
                                 f"{result.stdout.strip()} {result.stderr.strip()}")
            run = json.loads(result.stdout.strip().splitlines()[-1])
            if run["messages"] != [COMPLETED]:
                raise BenchError(f"the window's download said {run['messages']}")
            check_rows(db, records, "the window")
            runs.append(run)
    return runs


def low_latency_on_pty():
    """What the port's low-latency request meets on a pty: the serial settings it changes."""
    master, slave = os.openpty()
    try:
        fcntl.ioctl(slave, termios.TIOCGSERIAL, bytearray(128))
        return "accepted"
    except OSError as error:
        return f"refused ({errno.errorcode.get(error.errno, error.errno)})"
    finally:
        os.close(master)
        os.close(slave)


def generate_image(p):
    path = p.work / "whole-memory.img"
    result = subprocess.run([p.sim_exe, "--edge-words", "--generate", "100000", "--seed", "1",
                             "--write-image", path, "--no-serve"],
                            capture_output=True, text=True)
    words = result.stderr.split()
    if result.returncode != 0 or "generated" not in words:
        raise BenchError(f"zklog-sim could not make the image: {result.stderr.strip()}")
    return path, int(words[words.index("generated") + 1])


def least(times):
    return min(times)


def middle(times):
    return statistics.median(times)


def paired_ratio(numerators, denominators):
    """The median of the ratios of runs made one right after the other, under the same load."""
    return middle([n / d for n, d in zip(numerators, denominators)])


def report_figures(report, records, reads, unpaced, paced, fast, save_row, window):
    zk, loop, peer = unpaced["zklog"], unpaced["loop"], unpaced["peer"]
    # No target: it measures the committed transaction per row, which the design keeps.
    report.add("software_overhead", "software overhead, unpaced", paired_ratio(zk, loop),
               "ratio", None,
               [("zklog median", middle(zk), "s"), ("libmodbus loop median", middle(loop), "s"),
                ("zklog min", least(zk), "s"), ("loop min", least(loop), "s")],
               reads=len(reads), records=records, repetitions=UNPACED_REPS)

    wire = wire_seconds(reads, BAUD)
    pz, ploop = paced["zklog"], paced["loop"]
    report.add("own_share", "3 zklog's own share at 115200", (middle(pz) - middle(ploop)) / wire,
               "ratio", 0.02,
               [("zklog median", middle(pz), "s"), ("wire", wire, "s"),
                ("libmodbus loop median", middle(ploop), "s"), ("zklog min", least(pz), "s")],
               zklog_over_wire=round(middle(pz) / wire, 4),
               simulator_floor=round(middle(ploop) / wire, 4), reads=len(reads),
               repetitions=PACED_REPS)

    report.add("peer", "4 zklog / peer script, 115200", middle(pz) / middle(paced["peer"]),
               "ratio", 0.62,
               [("zklog median", middle(pz), "s"), ("peer median", middle(paced["peer"]), "s")],
               repetitions=PEER_PACED_REPS)
    report.add_second("peer", "unpaced", "5 zklog / peer script, unpaced",
                      middle(zk) / middle(peer), "ratio", 0.05,
                      [("zklog median", middle(zk), "s"), ("peer median", middle(peer), "s")])
    report_fast_peer(report, fast["paced"], middle(paced["peer"]))
    report_slow_line_and_scan(report, fast["slow"], fast["scan"])

    row_min, row_median, rows = save_row
    report.add("save_row", "5 saving one row", row_median, "us", 60,
               [("min", row_min, "us"), ("rows per repetition", rows, "")])

    paint = [run["first_paint_ms"] for run in window]
    rss = max(run["vmrss_kb"] for run in window) / 1024
    download = [run["download_s"] for run in window]
    report.add("window", "5 window: start to first paint", middle(paint), "ms", 150,
               [("min", least(paint), "ms"),
                ("by kernel start stamp", middle([r["first_paint_kernel_ms"] for r in window]),
                 "ms"),
                ("first frame whole", middle([r["frame_done_ms"] for r in window]), "ms")],
               repetitions=WINDOW_REPS)
    report.add_second("window", "memory", "5 window: VmRSS after a download", rss, "MB", 60,
                      [("VmHWM", max(r["vmhwm_kb"] for r in window) / 1024, "MB"),
                       ("download", middle(download), "s")])


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip().splitlines()[2])
    build = pathlib.Path(sys.argv[1]).resolve()
    windows = pathlib.Path(sys.argv[2]).resolve() if len(sys.argv) == 3 else None
    work = pathlib.Path(tempfile.mkdtemp(prefix="zklog-bench-"))
    try:
        p = Programs(build, work)
        image, records = generate_image(p)
        print(f"bench: {records} records fill the memory; measuring (a few minutes)...",
              flush=True)
        reads, unpaced = measure_unpaced(p, image, records)
        print("bench: unpaced done", flush=True)
        paced = measure_paced(p, image, records, reads)
        print("bench: 115200 done", flush=True)
        fast = {"paced": measure_fast_paced(p.cli, p.sim_exe, work, image, records, BAUD),
                "slow": measure_slow_line(p.cli, p.sim_exe, work)}
        print("bench: --fast done", flush=True)
        fast["scan"] = measure_scan(p.cli, p.sim_exe, work)
        print("bench: scan done", flush=True)
        tcp = measure_network(p.cli, p.sim_exe, p.loop, work, image, records)
        print("bench: Modbus TCP done", flush=True)
        completion = measure_completion(p.cli, p.sim_exe, work)
        print("bench: completion on a bad line done", flush=True)
        save_row = measure_save_row(p)
        window = measure_window(p, image, records)
        viewer = measure_viewer(p, image)
        xlsx = measure_xlsx(p.cli, viewer["files"][1], work)
        wine = None
        if windows is not None:
            wine = measure_wine(p.cli, p.sim_exe, shipped_exe(windows, "zklog-cli.exe", work),
                                work, image, records, windows / "wine")
            viewer_wine = measure_viewer_wine(windows / "bench" / "zklog-bench-viewer.exe",
                                              viewer, work)
            print("bench: Wine done", flush=True)
    except (BenchError, subprocess.TimeoutExpired, OSError) as error:
        print(f"bench: {error}\nbench: files kept in {work}", file=sys.stderr)
        return 1
    report = Report()
    report_figures(report, records, reads, unpaced, paced, fast, save_row, window)
    report_network(report, tcp)
    report_completion(report, completion)
    report_viewer(report, viewer)
    report_xlsx(report, xlsx)
    if wine is not None:
        report_wine(report, wine)
        report_viewer_wine(report, viewer, viewer_wine)
    print()
    print(report.table())
    print(f"\nlow-latency request on a pty: TIOCGSERIAL {low_latency_on_pty()}, so it changes "
          "nothing there")
    report.write_json(build / "bench.json")
    print(f"written {build / 'bench.json'}")
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
