"""zklog-sim as a child process for the length of a `with` block."""
import select
import signal
import subprocess


class BenchError(RuntimeError):
    """A part of the benchmark could not be measured: `make bench` fails on it."""


class Simulator:
    """Starts zklog-sim with `args`; `pty` is the port it serves, from its first line."""

    def __init__(self, exe, args, log_path):
        self.log_path = log_path
        self._log = open(log_path, "w")
        self.proc = subprocess.Popen([str(exe), *map(str, args)], stdout=subprocess.PIPE,
                                     stderr=self._log, text=True)
        ready, _, _ = select.select([self.proc.stdout], [], [], 10)
        line = self.proc.stdout.readline().strip() if ready else ""
        if not line:
            self.stop()
            raise BenchError(f"zklog-sim {' '.join(map(str, args))} gave no pty: "
                             f"{open(log_path).read().strip()}")
        self.pty = line

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self._log.close()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()


class Trace:
    """The request trace one simulator appends to; reads are taken run by run."""

    def __init__(self, path):
        self.path = path
        self._seen = 0

    def next_reads(self):
        """The (slave, function, first register, count) of every request since the last call."""
        try:
            with open(self.path) as lines:
                entries = [tuple(map(int, line.split()[1:])) for line in lines if line.strip()]
        except FileNotFoundError:
            entries = []
        reads, self._seen = entries[self._seen:], len(entries)
        return reads
