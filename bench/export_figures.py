"""The Excel export's figure: `zklog-cli export -o FILE.xlsx` of the viewer's 100,000-row table
(the download's own rows, repeated), from the program's start to its exit."""
import statistics
import subprocess
import time

from sim_process import BenchError

REPS = 5
XLSX_TARGET_S = 3.0


def measure_xlsx(cli, database, work):
    workbook = work / "export-100k.xlsx"
    times = []
    for _ in range(REPS):
        workbook.unlink(missing_ok=True)
        started = time.monotonic()
        result = subprocess.run([cli, "export", "--db", database, "-o", workbook],
                                capture_output=True, text=True, timeout=120)
        times.append(time.monotonic() - started)
        if result.returncode != 0 or not workbook.exists():
            raise BenchError(f"zklog-cli export -o .xlsx exited {result.returncode}: "
                             f"{result.stderr.strip()}")
    return {"times": times, "bytes": workbook.stat().st_size}


def report_xlsx(report, runs):
    seconds = statistics.median(runs["times"])
    report.add("xlsx_100k", "zklog-cli export of 100,000 rows as an Excel workbook", seconds,
               "s", XLSX_TARGET_S, [("export, median of 5", seconds, "s")],
               runs=runs["times"], workbook_bytes=runs["bytes"])
