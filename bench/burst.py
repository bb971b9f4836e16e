#!/usr/bin/python3
"""Memory after a burst of connections: the headless station's resident memory (VmRSS) before, at the
peak of (VmHWM) and 5 s after a burst of N simultaneous connections to its website port, and nginx's
the same way in the same run. N is the open-file limit less a reserve for the client's and the server's
own files, at most 20,000; with fewer than 5,000 the run refuses. Each connection is opened and held
until all N are open, then each asks for the map and reads its whole answer; then all are closed.
Prints the figures and writes bench/burst.md (kept as a section of bench/results.md).

    python3 bench/burst.py build-release/src/tarnvale-webserver
"""

import os
import resource
import selectors
import socket
import sys
import time

from harness import WORK, fetch, free_port, start_nginx, start_station
import sections

HERE = os.path.dirname(os.path.abspath(__file__))
REPORT = os.path.join(HERE, "burst.md")
MOST = 20000
LEAST = 5000
# Descriptors the client (Python, its modules, the pipes to the servers) and the server (its listening
# socket, log, serial line, the station's own reserve of 16) hold besides the connections.
RESERVE = 200
SETTLE_S = 5.0
# Answers not complete by then are left: the figure is memory, not speed.
ASK_LIMIT_S = 60.0
# The station's aim: within this share of the figure before the burst, 5 s after the last close.
WITHIN = 0.10
REQUEST = b"GET / HTTP/1.0\r\n\r\n"


def status_kib(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return -1


def raise_open_files():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if hard != resource.RLIM_INFINITY and soft < hard:
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    soft, _ = resource.getrlimit(resource.RLIMIT_NOFILE)
    return MOST + RESERVE if soft == resource.RLIM_INFINITY else soft


def open_all(port, count):
    """`count` connections, opened without waiting on each; the ones that could not be opened counted."""
    held, failed = [], 0
    sel = selectors.DefaultSelector()
    for _ in range(count):
        s = socket.socket()
        s.setblocking(False)
        try:
            s.connect(("127.0.0.1", port))
        except BlockingIOError:
            pass
        except OSError:
            s.close()
            failed += 1
            continue
        held.append(s)
        sel.register(s, selectors.EVENT_WRITE)
    connecting = len(held)
    deadline = time.monotonic() + 60
    while connecting and time.monotonic() < deadline:
        for key, _ in sel.select(1.0):
            sel.unregister(key.fileobj)
            connecting -= 1
    sel.close()
    return held, failed


def ask_all(held, limit=120.0):
    """Each connection asks for the map and reads until the server closes; how many answers were whole
    (status 200 and a body), and the seconds it took."""
    sel = selectors.DefaultSelector()
    answers = {}
    for s in held:
        try:
            s.send(REQUEST)
            answers[s] = bytearray()
            sel.register(s, selectors.EVENT_READ)
        except OSError:
            pass
    start = time.monotonic()
    whole = 0
    while answers and time.monotonic() - start < limit:
        for key, _ in sel.select(1.0):
            s = key.fileobj
            try:
                data = s.recv(65536)
            except BlockingIOError:
                continue
            except OSError:
                data = b""
            if data:
                answers[s] += data
                continue
            sel.unregister(s)
            answer = answers.pop(s)
            head, _, body = bytes(answer).partition(b"\r\n\r\n")
            whole += 1 if b" 200 " in head.split(b"\r\n", 1)[0] and body else 0
    sel.close()
    return whole, time.monotonic() - start


def serving_pid(process):
    """The process that holds the connections: nginx's one worker, or the station itself."""
    try:
        with open(f"/proc/{process.pid}/task/{process.pid}/children") as f:
            children = f.read().split()
    except OSError:
        children = []
    return int(children[0]) if process.name == "nginx" and children else process.pid


def descriptors(pid):
    return len(os.listdir(f"/proc/{pid}/fd"))


def let_go(pid, held_before, limit=120.0):
    """Waits until the server holds no more descriptors than before the burst; the seconds it took."""
    start = time.monotonic()
    while descriptors(pid) > held_before and time.monotonic() - start < limit:
        time.sleep(0.05)
    return time.monotonic() - start


def burst(name, process, port, count):
    """One burst against `process` listening on `port`."""
    pid = serving_pid(process)
    for _ in range(20):
        fetch(port)  # warmed up: what serving one map costs is in the figure before
    time.sleep(1.0)
    before = status_kib(pid, "VmRSS")
    files = descriptors(pid)
    held, failed = open_all(port, count)
    time.sleep(1.0)
    while_held = status_kib(pid, "VmRSS")
    whole, seconds = ask_all(held, ASK_LIMIT_S)
    peak = status_kib(pid, "VmHWM")
    for s in held:
        s.close()
    released = let_go(pid, files)
    time.sleep(SETTLE_S)
    after = status_kib(pid, "VmRSS")
    r = {"name": name, "before": before, "held_kib": while_held, "peak": peak, "after": after,
         "held": len(held), "failed": failed, "whole": whole, "seconds": seconds, "released": released}
    print(f"{name:8s} {len(held)} connections ({failed} not opened), {whole} whole answers in {seconds:.1f} s,"
          f" all let go {released:.1f} s after the client closed them; VmRSS before {before} KiB, all held"
          f" {while_held} KiB, peak (VmHWM) {peak} KiB, {SETTLE_S:g} s later {after} KiB"
          f" ({(after - before) / before * 100:+.1f} %)", flush=True)
    return r


def report(figures, count, limit, started, load, binary):
    out = ["# Memory after a burst of connections\n"]
    out.append(f"`python3 bench/burst.py` (run by `bash bench/run.sh`, or alone with `bash bench/run.sh --only-burst`),"
               f" {started}, on `{os.path.relpath(binary, os.path.dirname(HERE))}`, load average at the start {load}. The open-file limit was {limit:,} (soft and hard);"
               f" one client opened N = {count:,} connections to each server, held them all, then asked for the map"
               f" on each and read its answer (for at most {ASK_LIMIT_S:g} s), then closed them all. Resident memory"
               f" (VmRSS from /proc; nginx's worker process) before the burst (after 20 single requests), with all"
               f" connections held, at the peak (VmHWM), and {SETTLE_S:g} s after the server had let go of every"
               f" connection of the burst (its descriptors back to the figure before). The headless station and"
               f" nginx (one worker, `worker_connections` above N) in the same run.\n")
    out.append("| server | connections | whole answers | let go after | before | all held | peak | after |"
               " after against before |")
    out.append("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for r in figures:
        out.append(f"| {r['name']} | {r['held']:,} | {r['whole']:,} | {r['released']:.1f} s | {r['before'] / 1024:.1f} MiB |"
                   f" {r['held_kib'] / 1024:.1f} MiB | {r['peak'] / 1024:.1f} MiB | {r['after'] / 1024:.1f} MiB |"
                   f" {(r['after'] - r['before']) / r['before'] * 100:+.1f} % |")
    out.append("")
    ours = figures[0]
    kept = (ours["after"] - ours["before"]) * 1024 / ours["held"]
    out.append(f"The station's channels stay after the burst (the design never removes one); what it still holds"
               f" beyond the figure before comes to {kept:,.0f} bytes for each of the {ours['held']:,} channels the"
               f" burst made: a free socket element and a free channel are an empty place each (a pointer), a"
               f" pacing timer an 8-byte record, and the rest is heap pages these keep resident among the freed"
               f" ones; the connections themselves were served through one readiness queue, so no table of the"
               f" event loop grew with them. The aim is within"
               f" {WITHIN * 100:.0f} % of the figure before.\n")
    return "\n".join(out) + "\n"


def main():
    binary = sys.argv[1]
    os.makedirs(WORK, exist_ok=True)
    limit = raise_open_files()
    count = min(limit - RESERVE, MOST)
    if count < LEAST:
        print(f"The burst needs {LEAST + RESERVE} open files (ulimit -n); this process may have {limit}.",
              file=sys.stderr)
        return 1
    started = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())
    load = " ".join(f"{x:.2f}" for x in os.getloadavg())

    figures = []
    port = free_port()
    station, master = start_station(binary, port)
    try:
        figures.append(burst("station", station, port, count))
        document = fetch(port).split(b"\r\n\r\n", 1)[1]
    finally:
        station.stop()
        os.close(master)
    time.sleep(1.0)
    nginx_port = free_port()
    nginx = start_nginx(nginx_port, document, worker_connections=count + RESERVE, open_files=limit)
    try:
        figures.append(burst("nginx", nginx, nginx_port, count))
    finally:
        nginx.stop()

    with open(REPORT, "w") as f:
        f.write(report(figures, count, limit, started, load, binary))
    sections.update("burst.md")
    print(f"\nwrote {REPORT} and its section of {sections.RESULTS}")
    ours = figures[0]
    kept = ours["after"] <= ours["before"] * (1 + WITHIN)
    return 0 if kept and ours["whole"] == ours["held"] else 1


if __name__ == "__main__":
    sys.exit(main())
