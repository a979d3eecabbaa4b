"""zklog-cli.exe under Wine against the Linux zklog-cli: a whole memory at 115200 baud.

The .exe measured is the one the zip ships (stripped), not the build's own with its debug
sections, which Wine maps and relocates at every start and a technician never runs.

usage: windows_figures.py BUILD_DIR WINDOWS_BUILD_DIR   (measures this figure alone and prints it)

Both read the same relay, served by zklog-sim paced as a 115200 line would be; the .exe reaches
it as COM1 of a Wine prefix of its own whose registry maps COM1 to the simulator's link. Wine's
server is kept running for the whole measurement, as it would be on a desktop, so that each run
pays for starting the program, not for starting Wine.
"""
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import zipfile

from report import Report
from sim_process import BenchError, Simulator
from timing import check_rows, fresh_database, timed_run

BAUD = 115200
WINE_REPS = 5
COMPLETED = "Dados gravados com sucesso"


class WinePrefix:
    """A private Wine prefix with COM1 mapped to `link`, its server running until stop()."""

    def __init__(self, prefix, link):
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self._quiet("wineserver", "-k")
        self._quiet("wine", "reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/t",
                    "REG_SZ", "/d", str(link), "/f")
        # The mapping is read when the server starts.
        self._quiet("wineserver", "-k")
        self._quiet("wineserver", "-w")
        self._quiet("wineserver", "-p")
        self._quiet("wine", "cmd", "/c", "exit")

    def _quiet(self, *cmd):
        subprocess.run(cmd, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)

    def stop(self):
        self._quiet("wineserver", "-k")


def shipped_exe(windows_build, name, work):
    """`name` as the zip of `windows_build` holds it, taken out into `work`."""
    archive = windows_build / "zklog-windows-x64.zip"
    if not archive.exists():
        raise BenchError(f"{archive} is missing (make windows)")
    with zipfile.ZipFile(archive) as zipped:
        return pathlib.Path(zipped.extract(name, work / "shipped"))


def measure_wine(cli, sim_exe, exe, work, image, records, wine_prefix):
    """Whole-memory downloads, the Linux build and the .exe in turn, on one paced simulator."""
    link = work / "COM1"
    prefix = WinePrefix(wine_prefix, link)
    linux, wine = [], []
    try:
        with Simulator(sim_exe, ["--image", image, "--baud", BAUD, "--link", link],
                       work / "sim-wine.log"):
            for _ in range(WINE_REPS):
                db = fresh_database(cli, work / "linux.db")
                seconds, out = timed_run([cli, "download", "--port", link, "--address", "1",
                                          "--db", db, "--baud", BAUD, "--whole"])
                if COMPLETED not in out:
                    raise BenchError(f"zklog-cli did not complete: {out.strip()}")
                check_rows(db, records, "zklog-cli")
                linux.append(seconds)
                db = fresh_database(cli, work / "wine.db")
                seconds, out = timed_run(["wine", exe, "download", "--port", "1", "--address",
                                          "1", "--db", db, "--baud", BAUD, "--whole"],
                                         env=prefix.env)
                if COMPLETED not in out:
                    raise BenchError(f"zklog-cli.exe did not complete: {out.strip()}")
                check_rows(db, records, "zklog-cli.exe under Wine")
                wine.append(seconds)
    finally:
        prefix.stop()
    return {"linux": linux, "wine": wine}


def report_wine(report, times):
    linux, wine = times["linux"], times["wine"]
    ratio = statistics.median([w / n for w, n in zip(wine, linux)])
    report.add("windows_wine", "6 zklog-cli.exe under Wine / Linux, 115200", ratio, "ratio",
               1.05,
               [("wine median", statistics.median(wine), "s"),
                ("linux median", statistics.median(linux), "s"),
                ("wine min", min(wine), "s"), ("linux min", min(linux), "s")],
               repetitions=WINE_REPS)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[2])
    build = pathlib.Path(sys.argv[1]).resolve()
    windows = pathlib.Path(sys.argv[2]).resolve()
    work = pathlib.Path(tempfile.mkdtemp(prefix="zklog-bench-wine-"))
    try:
        exe = shipped_exe(windows, "zklog-cli.exe", work)
        image = work / "whole-memory.img"
        result = subprocess.run([build / "zklog-sim", "--generate", "100000", "--seed", "1",
                                 "--write-image", image, "--no-serve"],
                                capture_output=True, text=True)
        words = result.stderr.split()
        if result.returncode != 0 or "generated" not in words:
            raise BenchError(f"zklog-sim could not make the image: {result.stderr.strip()}")
        records = int(words[words.index("generated") + 1])
        times = measure_wine(build / "zklog-cli", build / "zklog-sim", exe, work, image, records,
                             windows / "wine")
    except (BenchError, subprocess.TimeoutExpired, OSError) as error:
        print(f"bench: {error}\nbench: files kept in {work}", file=sys.stderr)
        return 1
    report = Report()
    report_wine(report, times)
    print(report.table())
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
