"""Running one program to completion and timing it from outside, as its user would wait."""
import sqlite3
import subprocess
import time

from sim_process import BenchError


def timed_run(cmd, env=None):
    """(seconds from start to exit, stdout); a non-zero exit is an error."""
    cmd = [str(part) for part in cmd]
    started = time.perf_counter()
    result = subprocess.run(cmd, capture_output=True, text=True, env=env, timeout=600)
    seconds = time.perf_counter() - started
    if result.returncode != 0:
        raise BenchError(f"{' '.join(cmd)} exited {result.returncode}: "
                         f"{result.stdout.strip()} {result.stderr.strip()}")
    return seconds, result.stdout


def fresh_database(cli, path):
    """An empty LOG database at `path`, as zklog-cli init-db makes it; replaces an old one."""
    for suffix in ("", "-wal", "-shm"):
        path.with_name(path.name + suffix).unlink(missing_ok=True)
    timed_run([cli, "init-db", path])
    return path


def row_count(path):
    with sqlite3.connect(path) as db:
        return db.execute("SELECT count(*) FROM LOG").fetchone()[0]


def check_rows(path, expected, who):
    rows = row_count(path)
    if rows != expected:
        raise BenchError(f"{who} saved {rows} rows, not {expected}")
