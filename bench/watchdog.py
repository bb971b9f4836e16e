#!/usr/bin/python3
"""How long after the last sentence the headless station withdraws the bearing: for each trial one
sentence on the pseudo-terminal that is its COM1, then silence, timed from the write of the CR to the
station's "DF status: DF = SILENT" line on standard error. The watchdog's interval is 1000 ms; no
trial may come in under it. Prints the distribution and writes bench/watchdog.md.

    python3 bench/watchdog.py build-release/src/tarnvale-webserver [trials]
"""

import os
import select
import shutil
import statistics
import subprocess
import sys
import time
import tty

from harness import DEFAULT_SETTINGS, HERE, WORK, free_port, wait_for, fetch
import sections


def main():
    binary = sys.argv[1]
    trials = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    folder = os.path.join(WORK, "watchdog", "Tarnvale")
    shutil.rmtree(os.path.dirname(folder), ignore_errors=True)
    os.makedirs(folder)
    port = free_port()
    lines = list(DEFAULT_SETTINGS)
    for i, digit in enumerate(f"{port:05d}"):
        lines[1 + i] = digit
    with open(os.path.join(folder, "Tarnvale_Demo.ini"), "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("ascii"))
    master, slave = os.openpty()
    tty.setraw(slave)
    os.symlink(os.ttyname(slave), os.path.join(folder, "COM1"))
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "QT_QPA_PLATFORM")}
    station = subprocess.Popen([binary, "--headless", "--settings-dir", folder], env=env, stderr=subprocess.PIPE)
    err = station.stderr.fileno()
    os.set_blocking(err, False)
    pending = b""

    def wait_line(text, seconds):
        nonlocal pending
        deadline = time.perf_counter() + seconds
        while True:
            if text in pending:
                at = time.perf_counter()
                pending = pending[pending.index(text) + len(text):]
                return at
            left = deadline - time.perf_counter()
            if left <= 0 or not select.select([err], [], [], left)[0]:
                return None
            pending += os.read(err, 65536)

    try:
        if not wait_for(lambda: fetch_ok(port), 20):
            raise SystemExit("the station did not start serving")
        wait_line(b"DF status: DF = SILENT", 3)
        delays = []
        for i in range(trials):
            os.write(master, b"%%%03d" % (i * 7 % 360))
            os.write(master, b"\r")
            sent = time.perf_counter()
            if wait_line(b"DF status: DF = DETECTED", 2) is None:
                raise SystemExit(f"trial {i}: the sentence was not seen")
            silent = wait_line(b"DF status: DF = SILENT", 3)
            if silent is None:
                raise SystemExit(f"trial {i}: no silence reported")
            delays.append((silent - sent) * 1000.0)
    finally:
        station.terminate()
        station.wait(10)
        os.close(master)
        os.close(slave)

    early = sum(d < 1000 for d in delays)
    summary = (f"{len(delays)} trials: min {min(delays):.1f} ms, median {statistics.median(delays):.1f} ms,"
               f" max {max(delays):.1f} ms; {early} under 1000 ms")
    print(summary)
    with open(os.path.join(HERE, "watchdog.md"), "w") as f:
        f.write("# DF watchdog\n\n"
                f"`bash bench/watchdog.sh`, {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}. From the write"
                " of a sentence's CR to the pseudo-terminal that is the headless station's COM1 to its"
                " \"DF status: DF = SILENT\" line, one sentence a trial, then silence (the watchdog's interval is"
                " 1000 ms).\n\n"
                "| trials | min ms | median ms | max ms | under 1000 ms |\n|---:|---:|---:|---:|---:|\n"
                f"| {len(delays)} | {min(delays):.1f} | {statistics.median(delays):.1f} | {max(delays):.1f} | {early} |\n")
    sections.update("watchdog.md")
    return 1 if early else 0


def fetch_ok(port):
    try:
        return fetch(port, 1.0).startswith(b"HTTP/1.0 200 OK")
    except OSError:
        return False


if __name__ == "__main__":
    sys.exit(main())
