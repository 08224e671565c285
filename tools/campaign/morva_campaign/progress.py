"""Progress of a running campaign on standard error, only when it is a
terminal: flights finished and to do, and the time left at the pace so far."""
import sys
import threading
import time


def _duration(seconds: float) -> str:
    seconds = int(seconds + 0.5)
    if seconds < 60:
        return f"{seconds} s"
    if seconds < 3600:
        return f"{seconds // 60} min {seconds % 60:02d} s"
    return f"{seconds // 3600} h {seconds % 3600 // 60:02d} min"


class Progress:
    def __init__(self, total: int) -> None:
        self.total = total
        self.finished = 0
        self.failed = 0
        self.stream = sys.stderr
        self.enabled = total > 0 and self.stream.isatty()
        self.t0 = time.monotonic()
        self._lock = threading.Lock()

    def line(self) -> str:
        elapsed = time.monotonic() - self.t0
        left = self.total - self.finished
        text = f"{self.finished} of {self.total} flights finished ({self.failed} failed), {left} to do"
        if self.finished and left:
            text += f", about {_duration(elapsed / self.finished * left)} left"
        return text

    def update(self, finished: int, failed: int) -> None:
        with self._lock:
            self.finished, self.failed = finished, failed
            if self.enabled:
                self.stream.write("\r\033[K" + self.line())
                self.stream.flush()

    def add(self, failed: bool) -> None:
        with self._lock:
            finished, failures = self.finished + 1, self.failed + (1 if failed else 0)
        self.update(finished, failures)

    def clear(self) -> None:
        """Wipes the progress line before other output goes to the terminal."""
        if self.enabled:
            with self._lock:
                self.stream.write("\r\033[K")
                self.stream.flush()
