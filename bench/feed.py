#!/usr/bin/python3
"""From a bearing's CR to the live map's readers: the headless station with --web-map on free loopback
ports and a pseudo-terminal as its DF unit on COM1, N readers of the Server-Sent Events on /live, and
200 bearings written to the pseudo-terminal at a steady pace (every 50 ms and every 250 ms with one
reader, every 300 ms with 1,000). For each bearing and each reader, the time from the write of the bearing's CR to that
reader receiving the first event that carries the bearing. The readers are one process reading every
socket as it becomes readable, so a figure includes the time this process takes to come to that reader:
with 1,000 readers an upper bound on the station's part. A bearing a reader never receives (a polling
feed that sends only the newest of several) counts as missed, not as a time.

Prints p50/p99/max per reader count and writes bench/feed.md (kept as a section of bench/results.md).
With --before, the same measurement of another build (main's, say) first, in the same run.

    python3 bench/feed.py build-release/src/tarnvale-webserver [--before OTHER/tarnvale-webserver [--before-label NAME]]

Everything runs on loopback, on free ports, bounded in count and time; every process it starts is
stopped at the end.
"""

import argparse
import os
import re
import resource
import selectors
import socket
import time

import sections
from harness import HERE, free_port, percentile, start_station, wait_for

REPORT = "feed.md"
BEARINGS = 200
# (readers, pace between bearings in ms). One reader twice: at 50 ms a feed that polls five times a
# second misses most bearings, at 250 ms it shows what a bearing waits for its poll.
RUNS = ((1, 50), (1, 250), (1000, 300))
# Readers are connected in groups this size: the map's port holds at most 256 connections that have
# not yet become streams.
GROUP = 100
# After the last bearing, stragglers are waited for this long.
SETTLE_S = 2.0
BEARING = re.compile(rb'"bearing":(\d+|null)')
REQUEST = b"GET /live HTTP/1.1\r\nHost: bench\r\nAccept: text/event-stream\r\n\r\n"


def raise_open_files(wanted):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if hard != resource.RLIM_INFINITY and soft < hard:
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    soft, _ = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft != resource.RLIM_INFINITY and soft < wanted:
        raise SystemExit(f"the bench needs {wanted} open files; this process may have {soft}")


class Reader:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.sock.sendall(REQUEST)
        self.sock.setblocking(False)
        self.buffer = b""
        self.events = 0
        self.received = {}  # bearing -> monotonic time first received

    def read(self, now):
        try:
            data = self.sock.recv(262144)
        except (BlockingIOError, InterruptedError):
            return True
        except OSError:
            return False
        if not data:
            return False
        self.buffer += data
        while b"\n\n" in self.buffer:
            block, self.buffer = self.buffer.split(b"\n\n", 1)
            for line in block.split(b"\n"):
                if not line.startswith(b"data: "):
                    continue
                self.events += 1
                match = BEARING.search(line)
                if match and match.group(1) != b"null":
                    self.received.setdefault(int(match.group(1)), now)
        return True


def pump(selector, until):
    """Reads whatever arrives until the monotonic time `until`; the readers whose stream ended."""
    ended = 0
    while True:
        left = until - time.monotonic()
        if left <= 0:
            return ended
        for key, _ in selector.select(left):
            if not key.data.read(time.monotonic()):
                selector.unregister(key.fileobj)
                ended += 1


def measure(binary, readers, pace_ms):
    port, map_port = free_port(), free_port()
    while map_port == port:
        map_port = free_port()
    station, master = start_station(binary, port, extra=("--web-map", str(map_port)))
    selector = selectors.DefaultSelector()
    held = []
    try:
        if not wait_for(lambda: _answers(map_port), 10):
            raise SystemExit("the live map did not start serving")
        for start in range(0, readers, GROUP):
            group = [Reader(map_port) for _ in range(min(GROUP, readers - start))]
            for reader in group:
                selector.register(reader.sock, selectors.EVENT_READ, reader)
            held += group
            deadline = time.monotonic() + 10
            while any(r.events == 0 for r in group) and time.monotonic() < deadline:
                pump(selector, time.monotonic() + 0.05)
            if any(r.events == 0 for r in group):
                raise SystemExit(f"only {sum(r.events > 0 for r in held)} of {readers} readers got the status")
        written = {}
        next_at = time.monotonic() + 0.2
        for i in range(BEARINGS):
            pump(selector, next_at)
            # Each different from all the others: 37 is prime to 360.
            bearing = (37 * (i + 1)) % 360
            os.write(master, b"%%%03d\r" % bearing)
            written[bearing] = time.monotonic()
            next_at += pace_ms / 1000.0
        ended = pump(selector, time.monotonic() + SETTLE_S)
        latencies, missed = [], 0
        for reader in held:
            for bearing, at in written.items():
                got = reader.received.get(bearing)
                if got is None:
                    missed += 1
                else:
                    latencies.append((got - at) * 1000.0)
        return {"readers": readers, "pace": pace_ms, "latencies": latencies, "missed": missed,
                "expected": readers * BEARINGS, "ended": ended}
    finally:
        for reader in held:
            reader.sock.close()
        selector.close()
        os.close(master)
        station.stop()


def _answers(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1) as s:
            s.sendall(b"GET /status.json HTTP/1.0\r\n\r\n")
            return s.recv(16).startswith(b"HTTP/")
    except OSError:
        return False


def figures(result):
    values = result["latencies"]
    if not values:
        return "-", "-", "-"
    return tuple(f"{v:.1f}" for v in (percentile(values, 50), percentile(values, 99), max(values)))


def row(name, result):
    p50, p99, top = figures(result)
    received = len(result["latencies"])
    return (f"| {name} | {result['readers']} | {result['pace']} | {received} of {result['expected']} | {p50} | {p99} "
            f"| {top} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("binary")
    parser.add_argument("--before", help="another build of the station, measured first the same way")
    parser.add_argument("--before-label", default="before", help="its name in the table")
    args = parser.parse_args()
    raise_open_files(max(r for r, _ in RUNS) + 500)

    builds = ([(args.before_label, args.before)] if args.before else []) + [("this build", args.binary)]
    rows = []
    started = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())
    for name, binary in builds:
        for readers, pace in RUNS:
            result = measure(os.path.abspath(binary), readers, pace)
            p50, p99, top = figures(result)
            print(f"{name}: {readers} reader(s), a bearing every {pace} ms: p50 {p50} ms, p99 {p99} ms, max {top} ms; "
                  f"{result['missed']} of {result['expected']} never received", flush=True)
            rows.append(row(name, result))

    load = ", ".join(f"{v:.2f}" for v in os.getloadavg())
    lines = [
        "# From a bearing's CR to the live map's event stream",
        "",
        f"Measured {started} by bench/feed.py: the headless station with --web-map, {BEARINGS} bearings written to"
        " its COM1 (a pseudo-terminal) at the pace given, and for each bearing and each reader of /live the time"
        " from the write of its CR to that reader receiving the first event carrying it (ms). The readers are"
        " one Python process, so with 1,000 of them a figure includes its own turn-around. Received: bearings"
        " that reached a reader, of those written times the readers. Aims: p99 at most 5 ms with one reader;"
        " p99 at most 100 ms and none over 250 ms with 1,000. Load average at the end of the run (1, 5, 15 min):"
        f" {load} on {os.cpu_count()} cores.",
        "",
        "| build | readers | a bearing every (ms) | received | p50 (ms) | p99 (ms) | max (ms) |",
        "|---|---|---|---|---|---|---|",
    ] + rows
    with open(os.path.join(HERE, REPORT), "w") as f:
        f.write("\n".join(lines) + "\n")
    sections.update(REPORT)


if __name__ == "__main__":
    main()
