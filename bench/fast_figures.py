"""The figures of `download --fast` and `scan`: measured here, reported by measure.py.

usage: fast_figures.py BUILD_DIR   (measures these figures alone and prints them)
"""
import pathlib
import shutil
import statistics
import sys
import tempfile

from report import Report
from sim_process import BenchError, Simulator, Trace
from timing import check_rows, fresh_database, timed_run
from wire_time import wire_seconds

SLOW_BAUD = 9600
TURNAROUND_MS = 10
# A standard whole memory at 9600 takes near two minutes on the wire alone: both downloads of
# the 9600 figures read the same shorter log, up to its pointer.
SLOW_RECORDS = 120
FAST_PACED_REPS = 2
SCAN_RELAY_ADDRESS = 17
COMPLETED = "Dados gravados com sucesso"


def download(cli, work, pty, baud, fast, whole):
    db = fresh_database(cli, work / "fast-bench.db")
    cmd = [cli, "download", "--port", pty, "--address", "1", "--db", db, "--baud", baud]
    cmd += (["--fast"] if fast else []) + (["--whole"] if whole else [])
    seconds, out = timed_run(cmd)
    if COMPLETED not in out:
        raise BenchError(f"zklog-cli {'--fast ' if fast else ''}did not complete: {out.strip()}")
    return seconds, db


def measure_slow_line(cli, sim_exe, work):
    """Standard and --fast on the same short log at 9600 with a 10 ms relay turnaround, in turn."""
    trace = Trace(work / "trace-fast-9600.txt")
    with Simulator(sim_exe, ["--edge-words", "--generate", SLOW_RECORDS, "--seed", 1, "--baud", SLOW_BAUD,
                             "--turnaround-ms", TURNAROUND_MS, "--trace", trace.path],
                   work / "sim-fast-9600.log") as sim:
        standard, db = download(cli, work, sim.pty, SLOW_BAUD, fast=False, whole=False)
        check_rows(db, SLOW_RECORDS, "zklog-cli (9600)")
        standard_reads = trace.next_reads()
        fast, db = download(cli, work, sim.pty, SLOW_BAUD, fast=True, whole=False)
        check_rows(db, SLOW_RECORDS, "zklog-cli --fast (9600)")
        fast_reads = trace.next_reads()
    return {"standard": standard, "fast": fast, "standard_reads": standard_reads,
            "fast_reads": fast_reads}


def measure_fast_paced(cli, sim_exe, work, image, records, baud):
    """--fast whole memory on a simulator answering as late as a `baud` line would."""
    times = []
    trace = Trace(work / "trace-fast-paced.txt")
    with Simulator(sim_exe, ["--image", image, "--baud", baud, "--trace", trace.path],
                   work / "sim-fast-paced.log") as sim:
        for _ in range(FAST_PACED_REPS):
            seconds, db = download(cli, work, sim.pty, baud, fast=True, whole=True)
            check_rows(db, records, "zklog-cli --fast")
            times.append(seconds)
            reads = trace.next_reads()
    return times, reads


def measure_scan(cli, sim_exe, work):
    """scan 1 to 247 at the default timeout, one relay on the line."""
    with Simulator(sim_exe, ["--edge-words", "--generate", 5, "--address", SCAN_RELAY_ADDRESS],
                   work / "sim-scan.log") as sim:
        seconds, out = timed_run([cli, "scan", "--port", sim.pty])
    if not out.startswith(f"{SCAN_RELAY_ADDRESS} "):
        raise BenchError(f"the scan did not find the relay: {out.strip()}")
    return seconds


def read_wire(reads, baud, turnaround_s=0.0):
    """The frames at `baud`, their silences, and the relay's turnaround: the line is as busy as
    that whatever the software."""
    return wire_seconds(reads, baud) + turnaround_s * len(reads)


def report_slow_line_and_scan(report, slow, scan):
    turnaround = TURNAROUND_MS / 1000
    report.add("fast_9600", f"1 --fast / standard at 9600 ({SLOW_RECORDS} records)",
               slow["fast"] / slow["standard"], "ratio", 0.40,
               [("fast", slow["fast"], "s"), ("standard", slow["standard"], "s")],
               fast_reads=len(slow["fast_reads"]), standard_reads=len(slow["standard_reads"]),
               records=SLOW_RECORDS, turnaround_ms=TURNAROUND_MS)
    wire = read_wire(slow["fast_reads"], SLOW_BAUD, turnaround)
    report.add("fast_wire", "2 --fast / its wire time at 9600", slow["fast"] / wire, "ratio",
               1.05, [("fast", slow["fast"], "s"), ("wire and turnaround", wire, "s")],
               reads=len(slow["fast_reads"]))
    report.add("scan", "6 scan 1-247, one relay, 100 ms", scan, "s", 30, [("scan", scan, "s")])


def report_fast_peer(report, fast_paced, peer_paced_median):
    """Needs the peer figure in the report already: it is its second target."""
    times, reads = fast_paced
    report.add_second("peer", "fast", "4 --fast / peer script, 115200",
                      statistics.median(times) / peer_paced_median, "ratio", 0.35,
                      [("fast median", statistics.median(times), "s"),
                       ("peer median", peer_paced_median, "s"), ("reads", len(reads), "")])


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[2])
    build = pathlib.Path(sys.argv[1]).resolve()
    work = pathlib.Path(tempfile.mkdtemp(prefix="zklog-fast-bench-"))
    cli, sim_exe = build / "zklog-cli", build / "zklog-sim"
    try:
        slow = measure_slow_line(cli, sim_exe, work)
        scan = measure_scan(cli, sim_exe, work)
    except BenchError as error:
        print(f"bench: {error}", file=sys.stderr)
        return 1
    report = Report()
    report_slow_line_and_scan(report, slow, scan)
    print(report.table())
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
