#!/usr/bin/python3
"""The figures of a download through a Modbus TCP gateway: measured here, reported by measure.py.

usage: network_figures.py BUILD_DIR   (measures these figures alone and prints them)

The whole memory over the loopback from `zklog-sim --tcp`: zklog-cli against a bare libmodbus
TCP loop making the very same reads (zklog's own share of the time), from a gateway whose RS-485
line runs at 115200 and unpaced; against the pymodbus TCP client script a user would write; and
--fast against the standard download.
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
LINE_BAUD = 115200
PACED_REPS = 3
FAST_PACED_REPS = 2
REPS = 5
# The gateway's own answer for an address with no relay, and where the one relay is: a scan
# that moves straight on at 0x0B takes about 246 of these delays, against 246 timeouts on a line.
GATEWAY_DELAY_MS = 20
SCAN_RELAY_ADDRESS = 200
SCAN_ADDRESSES = 247
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


def _pairs(cli, loop, work, port, reads, records, reps, fast_reps):
    zklog, bare, fast = [], [], []
    for rep in range(reps):
        seconds, db = _zklog(cli, work, port)
        check_rows(db, records, "zklog-cli over TCP")
        zklog.append(seconds)
        bare.append(_loop(loop, work, port, reads))
        if rep < fast_reps:
            seconds, db = _zklog(cli, work, port, fast=True)
            check_rows(db, records, "zklog-cli --fast over TCP")
            fast.append(seconds)
    return {"zklog": zklog, "loop": bare, "fast": fast}


def measure_network(cli, sim_exe, loop, work, image, records):
    """Whole-memory downloads over the loopback, zklog and the loop in turn: from a gateway
    whose RS-485 line runs at 115200 (the simulator answering as late as that line would), and
    unpaced; then the pymodbus TCP script, unpaced."""
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
    # Untraced: writing the trace would add the same cost to both sides of the ratio.
    with Simulator(sim_exe, ["--image", image, "--tcp", 0, "--baud", LINE_BAUD],
                   work / "sim-tcp-paced.log") as sim:
        paced = _pairs(cli, loop, work, sim.pty, reads, records, PACED_REPS, FAST_PACED_REPS)
    with Simulator(sim_exe, ["--image", image, "--tcp", 0], work / "sim-tcp.log") as sim:
        unpaced = _pairs(cli, loop, work, sim.pty, reads, records, REPS, REPS)
        peer = []
        for _ in range(PEER_REPS):
            seconds, db = _peer(cli, work, sim.pty)
            check_rows(db, records, "the pymodbus TCP script")
            peer.append(seconds)
    return {"reads": len(reads), "paced": paced, "unpaced": unpaced, "peer": peer,
            "scan": measure_gateway_scan(cli, sim_exe, work)}


def measure_gateway_scan(cli, sim_exe, work):
    """scan 1 to 247 through a gateway that answers 0x0B GATEWAY_DELAY_MS after each request to
    an address with no relay, one relay behind it."""
    with Simulator(sim_exe, ["--edge-words", "--generate", 5, "--address", SCAN_RELAY_ADDRESS,
                             "--tcp", 0, "--gateway", "--gateway-delay-ms", GATEWAY_DELAY_MS],
                   work / "sim-tcp-scan.log") as sim:
        seconds, out = timed_run([cli, "scan", "--port", sim.pty])
    if not out.startswith(f"{SCAN_RELAY_ADDRESS} "):
        raise BenchError(f"the scan through the gateway did not find the relay: {out.strip()}")
    return seconds


def _share(pairs):
    return statistics.median([(z - l) / l for z, l in zip(pairs["zklog"], pairs["loop"])])


def report_network(report, tcp):
    mid = statistics.median
    paced, unpaced, peer = tcp["paced"], tcp["unpaced"], tcp["peer"]
    pz, pl, uz, ul = paced["zklog"], paced["loop"], unpaced["zklog"], unpaced["loop"]
    report.add("tcp_own_share", "6 TCP, gateway line 115200: (zklog - loop) / loop",
               _share(paced), "ratio", 0.10,
               [("zklog median", mid(pz), "s"), ("libmodbus loop median", mid(pl), "s"),
                ("zklog min", min(pz), "s"), ("loop min", min(pl), "s")],
               reads=tcp["reads"], repetitions=len(pz), line_baud=LINE_BAUD)
    # No target: with nothing to wait for, it measures the committed transaction per row.
    report.add_second("tcp_own_share", "unpaced", "6 TCP unpaced: (zklog - loop) / loop",
                      _share(unpaced), "ratio", None,
                      [("zklog median", mid(uz), "s"), ("libmodbus loop median", mid(ul), "s"),
                       ("zklog min", min(uz), "s"), ("loop min", min(ul), "s")])
    report.add_second("tcp_own_share", "peer", "6 TCP unpaced: zklog / pymodbus TCP script",
                      mid(uz) / mid(peer), "ratio", None,
                      [("zklog median", mid(uz), "s"), ("peer median", mid(peer), "s")])
    report.add_second("tcp_own_share", "fast", "6 TCP, gateway line 115200: --fast / standard",
                      mid(paced["fast"]) / mid(pz), "ratio", None,
                      [("--fast median", mid(paced["fast"]), "s"),
                       ("standard median", mid(pz), "s")])
    if "scan" in tcp:
        floor = (SCAN_ADDRESSES - 1) * GATEWAY_DELAY_MS / 1000
        report.add("tcp_scan", f"6 TCP scan 1-247 through a gateway, 0x0B after "
                   f"{GATEWAY_DELAY_MS} ms: / the gateway's own delays", tcp["scan"] / floor,
                   "ratio", 1.25, [("scan", tcp["scan"], "s"), ("gateway's delays", floor, "s")])
    report.add_second("tcp_own_share", "fast_unpaced", "6 TCP unpaced: --fast / standard",
                      mid(unpaced["fast"]) / mid(uz), "ratio", None,
                      [("--fast median", mid(unpaced["fast"]), "s"),
                       ("standard median", mid(uz), "s")])


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
