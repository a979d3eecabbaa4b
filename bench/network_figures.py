#!/usr/bin/python3
"""The figures of a download through a Modbus TCP gateway: measured here, reported by measure.py.

usage: network_figures.py BUILD_DIR   (measures these figures alone and prints them)

The whole memory over the loopback from `zklog-sim --tcp`: zklog-cli against a bare libmodbus
TCP loop making the very same reads (zklog's own share of the time), against the pymodbus TCP
client script a user would write, and --fast against the standard download.
"""
import pathlib
import shutil
import statistics
import subprocess
import sys
import tempfile

from report import Report
from sim_process import BenchError, Simulator, Trace
from timing import check_rows, fresh_database, timed_run

HERE = pathlib.Path(__file__).resolve().parent
PYTHON = "/usr/bin/python3"
REPS = 7
PEER_REPS = 3
COMPLETED = "Dados gravados com sucesso"


def _zklog(cli, work, port, fast=False):
    db = fresh_database(cli, work / "tcp-zklog.db")
    cmd = [cli, "download", "--port", port, "--address", "1", "--db", db, "--whole"]
    seconds, out = timed_run(cmd + (["--fast"] if fast else []))
    if COMPLETED not in out:
        raise BenchError(f"zklog-cli over TCP did not complete: {out.strip()}")
    return seconds, db


def _loop(loop, work, port, reads):
    plan = work / "tcp-reads.txt"
    plan.write_text("".join(f"{n} {' '.join(map(str, read))}\n"
                            for n, read in enumerate(reads, 1)))
    return timed_run([loop, port, plan])[0]


def _peer(cli, work, port):
    db = fresh_database(cli, work / "tcp-peer.db")
    seconds, _ = timed_run([PYTHON, HERE / "peer_download.py", "--port", port, "--address", "1",
                            "--db", db, "--whole"])
    return seconds, db


def measure_network(cli, sim_exe, loop, work, image, records):
    """Whole-memory downloads over the loopback: zklog and the loop in turn, then the peer
    script, then --fast."""
    trace = Trace(work / "trace-tcp.txt")
    with Simulator(sim_exe, ["--image", image, "--tcp", 0, "--trace", trace.path],
                   work / "sim-tcp-traced.log") as sim:
        _, db = _zklog(cli, work, sim.pty)
        check_rows(db, records, "zklog-cli over TCP")
        reads = trace.next_reads()
        _, db = _peer(cli, work, sim.pty)
        check_rows(db, records, "the pymodbus TCP script")
        if trace.next_reads() != reads:
            raise BenchError("the pymodbus TCP script did not make zklog's reads")
    zklog, bare, peer, fast = [], [], [], []
    # Untraced: writing the trace would add the same cost to both sides of the ratio.
    with Simulator(sim_exe, ["--image", image, "--tcp", 0], work / "sim-tcp.log") as sim:
        for _ in range(REPS):
            seconds, db = _zklog(cli, work, sim.pty)
            check_rows(db, records, "zklog-cli over TCP")
            zklog.append(seconds)
            bare.append(_loop(loop, work, sim.pty, reads))
            seconds, db = _zklog(cli, work, sim.pty, fast=True)
            check_rows(db, records, "zklog-cli --fast over TCP")
            fast.append(seconds)
        for _ in range(PEER_REPS):
            seconds, db = _peer(cli, work, sim.pty)
            check_rows(db, records, "the pymodbus TCP script")
            peer.append(seconds)
    return {"reads": len(reads), "zklog": zklog, "loop": bare, "peer": peer, "fast": fast}


def report_network(report, tcp):
    zk, loop, peer, fast = tcp["zklog"], tcp["loop"], tcp["peer"], tcp["fast"]
    mid = statistics.median
    share = mid([(z - l) / l for z, l in zip(zk, loop)])
    report.add("tcp_own_share", "6 TCP: zklog's own share over a libmodbus loop", share, "ratio",
               0.10,
               [("zklog median", mid(zk), "s"), ("libmodbus loop median", mid(loop), "s"),
                ("zklog min", min(zk), "s"), ("loop min", min(loop), "s")],
               reads=tcp["reads"], repetitions=len(zk))
    report.add_second("tcp_own_share", "peer", "6 TCP: zklog / pymodbus TCP script",
                      mid(zk) / mid(peer), "ratio", None,
                      [("zklog median", mid(zk), "s"), ("peer median", mid(peer), "s")])
    report.add_second("tcp_own_share", "fast", "6 TCP: --fast / standard",
                      mid([f / z for f, z in zip(fast, zk)]), "ratio", None,
                      [("--fast median", mid(fast), "s"), ("standard median", mid(zk), "s")])


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[2])
    build = pathlib.Path(sys.argv[1]).resolve()
    work = pathlib.Path(tempfile.mkdtemp(prefix="zklog-bench-tcp-"))
    try:
        image = work / "whole-memory.img"
        result = subprocess.run([build / "zklog-sim", "--edge-words", "--generate", "100000",
                                 "--seed", "1", "--write-image", image, "--no-serve"],
                                capture_output=True, text=True)
        words = result.stderr.split()
        if result.returncode != 0 or "generated" not in words:
            raise BenchError(f"zklog-sim could not make the image: {result.stderr.strip()}")
        records = int(words[words.index("generated") + 1])
        tcp = measure_network(build / "zklog-cli", build / "zklog-sim",
                              build / "bench" / "zklog-bench-modbus-loop", work, image, records)
    except (BenchError, subprocess.TimeoutExpired, OSError) as error:
        print(f"bench: {error}\nbench: files kept in {work}", file=sys.stderr)
        return 1
    report = Report()
    report_network(report, tcp)
    print(report.table())
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
