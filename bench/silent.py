"""A map viewer behind silent connections: the station and nginx each at the usual open-file limit,
one client holding connections open without a word, then a fresh GET timed until its whole answer.
Part of the full run; alone with `bash bench/run.sh --only-silent`, which updates only its section of
bench/results.md."""

import os
import socket
import time

from harness import HERE, fetch, free_port, ratio, start_nginx, start_station

# A map viewer behind silent connections: both servers at the usual open-file limit, this many
# connections opened and left silent by one client, then a fresh GET.
OPEN_FILES = 1024
SILENT = 2000
SILENT_HEADING = "## A map viewer behind silent connections"


def hold_silent(port, count):
    """`count` connections opened one after the other and left silent; also how many could not be opened."""
    held, failed = [], 0
    for _ in range(count):
        try:
            held.append(socket.create_connection(("127.0.0.1", port), timeout=5))
        except OSError:
            failed += 1
    return held, failed


def closed_by_server(sockets):
    """How many of `sockets` the server has closed (end-of-stream or reset waiting)."""
    closed = 0
    for s in sockets:
        s.setblocking(False)
        try:
            closed += 1 if s.recv(1, socket.MSG_PEEK) == b"" else 0
        except BlockingIOError:
            pass
        except OSError:
            closed += 1
    return closed


def map_behind_silent(port, document, limit=120.0):
    """Holds SILENT silent connections to the server on `port`, then times a fresh GET until its whole
    answer has arrived (at most `limit` seconds)."""
    held, failed = hold_silent(port, SILENT)
    time.sleep(1.0)
    start = time.perf_counter()
    try:
        response = fetch(port, timeout=limit)
    except OSError:
        response = b""
    seconds = time.perf_counter() - start
    complete = response.startswith(b"HTTP/") and b" 200 " in response.split(b"\r\n", 1)[0] \
        and response.split(b"\r\n\r\n", 1)[-1] == document
    closed = closed_by_server(held)
    for s in held:
        s.close()
    return {"seconds": seconds, "complete": complete, "held": len(held), "failed": failed, "closed": closed}


def silent_figures(binary):
    """The station and nginx (one worker, worker_connections 1024), both at OPEN_FILES soft and hard,
    each behind SILENT silent connections, one after the other in the same run."""
    figures = {}
    port = free_port()
    station, master = start_station(binary, port, open_files=OPEN_FILES)
    try:
        document = fetch(port).split(b"\r\n\r\n", 1)[1]
        figures["station"] = map_behind_silent(port, document)
    finally:
        station.stop()
        os.close(master)
    print_silent("station", figures["station"])
    time.sleep(1.0)
    nginx_port = free_port()
    nginx = start_nginx(nginx_port, document, worker_connections=1024, open_files=OPEN_FILES)
    try:
        figures["nginx"] = map_behind_silent(nginx_port, document)
    finally:
        nginx.stop()
    print_silent("nginx", figures["nginx"])
    return figures


def print_silent(name, r):
    print(f"{name:8s} behind {r['held']} silent connections: fresh GET answered after {r['seconds'] * 1000:.2f} ms"
          f" ({'whole document' if r['complete'] else 'NOT answered in full'}; {r['closed']} silent ones closed"
          f" by the server, {r['failed']} could not be opened)", flush=True)


def silent_section(figures, started, load, alone):
    ref = figures["nginx"]["seconds"]
    out = [SILENT_HEADING + "\n"]
    run = (f"Measured alone with `bash bench/run.sh --only-silent`, {started}, load average at the start"
           f" {load[0]:.2f} {load[1]:.2f} {load[2]:.2f}." if alone else "Measured at the end of the run.")
    out.append(f"{run} Both servers start with the open-file limit at {OPEN_FILES:,}"
               f" (soft and hard); nginx runs one worker with `worker_connections 1024`. One client opens"
               f" {SILENT:,} connections and sends nothing on them (a port scanner, a misbehaving client, browsers'"
               f" preconnects); a second later a fresh GET asks for the map. The figure is the time until its whole"
               f" answer has arrived (at most 120 s); the ratio is to nginx.\n")
    out.append("| server | fresh GET answered after | ratio | whole document | silent connections held |"
               " of them closed by the server |")
    out.append("|---|---:|---:|---|---:|---:|")
    for name in ("station", "nginx"):
        r = figures[name]
        out.append(f"| {name} | {r['seconds'] * 1000:.2f} ms | {ratio(r['seconds'], ref)} | {'yes' if r['complete'] else 'no'} |"
                   f" {r['held']:,} | {r['closed']:,} |")
    out.append("")
    out.append("Neither server has a descriptor left for the newcomer; each closes silent connections to take"
               " it: the station those open longest, as many as wait to be accepted, and nginx, when it runs short,"
               " its connections still waiting for a request (its reusable ones), oldest first. The station's time"
               " includes the 1 ms pause between header and body that every answer of its has, and its event"
               " loop's pass over a thousand open connections at each step. Before it made room this way, its"
               " fresh GET waited for the 60 s idle time-out.\n")
    return "\n".join(out)


def replace_section(text, section):
    """`text` (results.md) with the silent-connection section replaced, or put before the hand-kept
    notes when it is not there yet."""
    lines = text.split("\n")
    if SILENT_HEADING in lines:
        start = lines.index(SILENT_HEADING)
        end = next((i for i in range(start + 1, len(lines)) if lines[i].startswith("## ")), len(lines))
    else:
        start = end = next((i for i, line in enumerate(lines) if line.startswith("## Where the time goes")), len(lines))
    return "\n".join(lines[:start] + section.split("\n") + lines[end:])


def only_silent(binary):
    started = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())
    load = os.getloadavg()
    figures = silent_figures(binary)
    path = os.path.join(HERE, "results.md")
    with open(path) as f:
        text = f.read()
    with open(path, "w") as f:
        f.write(replace_section(text, silent_section(figures, started, load, alone=True)))
    print(f"\nupdated the silent-connection section of {path}")
    return 0 if figures["station"]["complete"] else 1
