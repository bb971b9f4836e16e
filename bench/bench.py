#!/usr/bin/python3
"""One bench run of the headless station's map server and bearing path, with nginx and Python's
http.server serving the same document bytes as references, loaded by wrk (the headline figures) and by
ab, and the station behind nginx as a one-second cache (bench/cache.py). Started by bench/run.sh, which
installs and builds what it needs; prints the figures and writes them to bench/results.md.

Everything runs on loopback, on free ports, bounded in requests and time; every process it starts is
stopped at the end.
"""

import argparse
import os
import platform
import re
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import time
import tty
import types

import cache
import sections

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
WORK = os.path.join(HERE, "work")
DEFAULT_SETTINGS = [" 1 ", " 1 ", " 0 ", " 0 ", " 0 ", " 0 ", " 0 ", " 0 ", " 0 ", "3", "4", "2", "5", "1", "1",
                    "1", "1", "1", "9", "4", "4", "5", "0", "0", "N", "W"]
LEVELS = (1, 10, 50)
# "bare Qt" (bench/bare-qt) sends the station's answer with the same 1 ms pause on Qt's own sockets and
# timers and does nothing else: what Qt and this machine cost, without the station's machinery.
SERVERS = ("station", "bare Qt", "nginx", "python")
# wrk figures are the median of this many runs per server and client count, the servers taking turns.
WRK_RUNS = 3
# The station's pause between header and body, which bounds its rate with few clients.
PAUSE_MS = 1.0
# A map viewer behind silent connections: both servers at the usual open-file limit, this many
# connections opened and left silent by one client, then a fresh GET.
OPEN_FILES = 1024
SILENT = 2000
SILENT_HEADING = "## A map viewer behind silent connections"
END_POINT = re.compile(rb"<coordinates>[^<]* ([^< ]+)</coordinates>")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, seconds, step=0.02):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(step)
    return False


def fetch(port, timeout=5.0):
    """One map request, HTTP/1.0, the whole response until the server closes."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(b"GET / HTTP/1.0\r\n\r\n")
        chunks = []
        while True:
            data = s.recv(65536)
            if not data:
                return b"".join(chunks)
            chunks.append(data)


def answers(port):
    try:
        return fetch(port, 1.0).startswith(b"HTTP/")
    except OSError:
        return False


class Process:
    """A server process and what /proc says about it."""

    def __init__(self, name, argv, env=None, open_files=None):
        self.name = name
        # With open_files, the soft and hard open-file limits the process starts with.
        limit = (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (open_files, open_files))) if open_files else None
        self.proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                     preexec_fn=limit)

    @property
    def pid(self):
        return self.proc.pid

    def rss_kib(self):
        with open(f"/proc/{self.pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return -1

    def cpu_seconds(self):
        with open(f"/proc/{self.pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def holds(self, path):
        """Whether the process has `path` open."""
        target = os.path.realpath(path)
        for fd in os.listdir(f"/proc/{self.pid}/fd"):
            try:
                if os.readlink(f"/proc/{self.pid}/fd/{fd}") == target:
                    return True
            except OSError:
                pass
        return False

    def stop(self, sig=15):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        return self.proc.returncode


def start_station(binary, port, open_files=None, windowed=False, extra=()):
    """The headless station (or with `windowed`, the windowed one on the offscreen platform) on `port`,
    a pseudo-terminal as its DF unit on COM1, `extra` options after the others; returns (process, pty
    master)."""
    config = os.path.join(WORK, "config")
    folder = os.path.join(config, "Tarnvale")
    shutil.rmtree(config, ignore_errors=True)
    os.makedirs(folder)
    lines = list(DEFAULT_SETTINGS)
    for i, digit in enumerate(f"{port:05d}"):
        lines[1 + i] = f" {digit} "
    with open(os.path.join(folder, "Tarnvale_Demo.ini"), "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("ascii"))
    master, slave = os.openpty()
    tty.setraw(slave)  # CR must reach the station as CR
    slave_path = os.ttyname(slave)
    os.symlink(slave_path, os.path.join(folder, "COM1"))
    env = dict(os.environ, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="offscreen",
               XDG_RUNTIME_DIR=os.path.join(WORK, "runtime"))
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    station = Process("station", ([binary] if windowed else [binary, "--headless"]) + list(extra), env, open_files)
    if not wait_for(lambda: answers(port), 20):
        raise SystemExit("the station did not start serving")
    station.slave = slave
    station.slave_path = slave_path
    return station, master


def start_nginx(port, document, worker_connections=4096, open_files=None, backlog=1024):
    root = os.path.join(WORK, "nginx")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(os.path.join(root, "www"))
    with open(os.path.join(root, "www", "map.kml"), "wb") as f:
        f.write(document)
    user = "user root;\n" if os.geteuid() == 0 else ""
    # One worker, like the station's one event thread; no keep-alive, like HTTP/1.0 with one response
    # per connection; every path answered with the one document, as the station does.
    conf = f"""worker_processes 1;
daemon off;
pid {root}/nginx.pid;
{user}events {{ worker_connections {worker_connections}; }}
http {{
    access_log off;
    keepalive_timeout 0;
    client_body_temp_path {root}/body;
    proxy_temp_path {root}/proxy;
    fastcgi_temp_path {root}/fastcgi;
    uwsgi_temp_path {root}/uwsgi;
    scgi_temp_path {root}/scgi;
    types {{ }}
    default_type "*/*";
    server {{
        listen 127.0.0.1:{port} backlog={backlog};
        root {root}/www;
        location / {{ try_files /map.kml =404; }}
    }}
}}
"""
    with open(os.path.join(root, "nginx.conf"), "w") as f:
        f.write(conf)
    nginx = Process("nginx", ["nginx", "-p", root, "-c", os.path.join(root, "nginx.conf"), "-e",
                              os.path.join(root, "error.log")], open_files=open_files)
    if not wait_for(lambda: answers(port), 10):
        raise SystemExit("nginx did not start serving")
    return nginx


def start_python(port, document):
    path = os.path.join(WORK, "map.kml")
    with open(path, "wb") as f:
        f.write(document)
    server = Process("python", ["/usr/bin/python3", os.path.join(HERE, "pyserver.py"), str(port), path])
    if not wait_for(lambda: answers(port), 10):
        raise SystemExit("Python's http.server did not start serving")
    return server


def start_bare(binary, port, response):
    path = os.path.join(WORK, "response")
    with open(path, "wb") as f:
        f.write(response)
    server = Process("bare Qt", [binary, str(port), path])
    if not wait_for(lambda: answers(port), 10):
        raise SystemExit("the bare Qt server did not start serving")
    return server


def ab(port, clients, seconds, requests=1000000):
    """ab: HTTP/1.0, one request per connection. Returns requests/s, median and 99th percentile in ms."""
    csv = os.path.join(WORK, "ab.csv")
    out = subprocess.run(["ab", "-q", "-r", "-s", "10", "-t", str(seconds), "-n", str(requests), "-c", str(clients),
                          "-e", csv, f"http://127.0.0.1:{port}/"],
                         capture_output=True, text=True, timeout=seconds + 120).stdout
    rate = float(re.search(r"Requests per second:\s+([\d.]+)", out).group(1))
    taken = float(re.search(r"Time taken for tests:\s+([\d.]+)", out).group(1))
    complete = int(re.search(r"Complete requests:\s+(\d+)", out).group(1))
    failed = int(re.search(r"Failed requests:\s+(\d+)", out).group(1))
    non2xx = re.search(r"Non-2xx responses:\s+(\d+)", out)
    percent = {}
    with open(csv) as f:
        next(f)
        for line in f:
            p, ms = line.strip().split(",")
            percent[int(p)] = float(ms)
    return {"rate": rate, "taken": taken, "median": percent[50], "p99": percent[99], "longest": percent[100],
            "complete": complete,
            "failed": failed + (int(non2xx.group(1)) if non2xx else 0)}


def wrk_ms(value, unit):
    return float(value) * {"us": 0.001, "ms": 1.0, "s": 1000.0}[unit]


def wrk(port, clients, seconds):
    """wrk: one thread, a new connection for every request ('Connection: close'), as ab does. Returns
    requests/s, median and 99th percentile in ms (from sending the request to the end of the answer)."""
    out = subprocess.run(["wrk", "-t1", f"-c{clients}", f"-d{seconds}s", "--latency", "--timeout", "10s",
                          "-H", "Connection: close", f"http://127.0.0.1:{port}/"],
                         capture_output=True, text=True, timeout=seconds + 120).stdout
    rate = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
    complete = int(re.search(r"(\d+) requests in", out).group(1))
    errors = re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)", out)
    non2xx = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
    failed = (sum(int(n) for n in errors.groups()) if errors else 0) + (int(non2xx.group(1)) if non2xx else 0)
    p50 = re.search(r"^\s+50%\s+([\d.]+)(us|ms|s)\s*$", out, re.M)
    p99 = re.search(r"^\s+99%\s+([\d.]+)(us|ms|s)\s*$", out, re.M)
    return {"rate": rate, "median": wrk_ms(*p50.groups()), "p99": wrk_ms(*p99.groups()), "complete": complete,
            "failed": failed}


def median_of(runs):
    """One figure from several runs: the median of each measure, the requests and failures added up."""
    return {"rate": statistics.median(r["rate"] for r in runs),
            "median": statistics.median(r["median"] for r in runs),
            "p99": statistics.median(r["p99"] for r in runs),
            "complete": sum(r["complete"] for r in runs),
            "failed": sum(r["failed"] for r in runs),
            "rates": [r["rate"] for r in runs]}


def bearing_latency(port, master, sentences):
    """From the write of a sentence (its CR last) to the end of the first response, asked for after
    that write, whose line ends at the new end point. Bearings step by 7 degrees, so each sentence
    moves the end point."""
    latencies = []
    previous = END_POINT.search(fetch(port)).group(1)
    timeouts = 0
    for i in range(sentences):
        bearing = (7 * (i + 1)) % 360
        sentence = b"%%%03d\r" % bearing
        start = time.perf_counter()
        os.write(master, sentence)
        while True:
            match = END_POINT.search(fetch(port))
            now = time.perf_counter()
            if match and match.group(1) != previous:
                latencies.append((now - start) * 1000.0)
                previous = match.group(1)
                break
            if now - start > 2.0:
                timeouts += 1
                break
        time.sleep(0.01)
    return latencies, timeouts


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


def idle_connections(port, count):
    sockets = []
    for _ in range(count):
        sockets.append(socket.create_connection(("127.0.0.1", port), timeout=5))
    return sockets


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


def resident_after_start(binary):
    """Resident memory a second after start of the headless station and of the windowed one (offscreen),
    each alone; None for one that does not start."""
    figures = {}
    for name, windowed in (("headless", False), ("windowed", True)):
        port = free_port()
        try:
            station, master = start_station(binary, port, windowed=windowed)
        except SystemExit:
            figures[name] = None
            continue
        try:
            time.sleep(1.0)
            figures[name] = station.rss_kib()
        finally:
            station.stop()
            os.close(master)
    return figures


def callgrind_per_request(binary, port, requests):
    """Instructions the station executes per request, counted by callgrind over `requests` requests
    after a warm-up (start-up not counted)."""
    station, master = None, None
    out = os.path.join(WORK, "callgrind.out")
    for f in os.listdir(WORK):
        if f.startswith("callgrind.out"):
            os.remove(os.path.join(WORK, f))
    config = os.path.join(WORK, "config")
    env = dict(os.environ, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="offscreen",
               XDG_RUNTIME_DIR=os.path.join(WORK, "runtime"))
    station = Process("station-callgrind", ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", binary,
                                            "--headless"], env)
    try:
        if not wait_for(lambda: answers(port), 60):
            return None
        subprocess.run(["ab", "-q", "-n", "200", "-c", "1", f"http://127.0.0.1:{port}/"], capture_output=True)
        subprocess.run(["callgrind_control", "-z", str(station.pid)], capture_output=True)
        subprocess.run(["ab", "-q", "-n", str(requests), "-c", "1", f"http://127.0.0.1:{port}/"], capture_output=True)
        subprocess.run(["callgrind_control", "-d", str(station.pid)], capture_output=True)
    finally:
        station.stop()
    dumps = sorted(f for f in os.listdir(WORK) if f.startswith("callgrind.out.") or f == "callgrind.out.1")
    for name in dumps:
        with open(os.path.join(WORK, name)) as f:
            text = f.read()
        if "Trigger: Program termination" in text:
            continue
        m = re.search(r"^summary:\s+(\d+)", text, re.M) or re.search(r"^totals:\s+(\d+)", text, re.M)
        if m:
            return int(m.group(1)) / requests
    return None


def machine():
    def first(path, key):
        try:
            with open(path) as f:
                for line in f:
                    if line.startswith(key):
                        return line.split(":", 1)[1].strip()
        except OSError:
            pass
        return "?"

    def version(package):
        r = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True, text=True)
        return r.stdout or "?"

    with open("/etc/debian_version") as f:
        debian = f.read().strip()
    return {
        "cpu": first("/proc/cpuinfo", "model name"),
        "cores": os.cpu_count(),
        "memory": first("/proc/meminfo", "MemTotal"),
        "kernel": platform.release(),
        "debian": debian,
        "qt": version("libqt6core6"),
        "nginx": version("nginx-light"),
        "python": platform.python_version(),
        "ab": version("apache2-utils"),
        "wrk": version("wrk"),
        "load": os.getloadavg(),
    }


def ratio(value, reference):
    return f"{value / reference:.2f}" if reference else "-"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--bare", help="the bare Qt server (bench/bare-qt), needed for the full run")
    parser.add_argument("--seconds", type=int, default=6, help="length of each ab run")
    parser.add_argument("--sentences", type=int, default=250)
    parser.add_argument("--idle", type=int, default=30, help="seconds of idle CPU measurement")
    parser.add_argument("--only-silent", action="store_true",
                        help="measure only a map viewer behind silent connections; update that section of results.md")
    parser.add_argument("--only-cache", action="store_true",
                        help="measure only the station alone and behind the nginx cache; update that section")
    args = parser.parse_args()
    os.makedirs(WORK, exist_ok=True)
    if args.only_silent:
        return only_silent(args.binary)
    if args.only_cache:
        return only_cache(args)
    if not args.bare:
        parser.error("the full run needs --bare")
    started = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())
    before = machine()

    port = free_port()
    processes = []
    try:
        station, master = start_station(args.binary, port)
        processes.append(station)
        time.sleep(1.0)
        memory = {"start": station.rss_kib()}
        df_open = station.holds(station.slave_path)
        print(f"station on port {port}, pid {station.pid}, DF input {'open' if df_open else 'NOT open'};"
              f" resident after start {memory['start']} KiB", flush=True)

        run = ab(port, 10, 120, requests=100000)
        memory["after100k"] = station.rss_kib()
        memory["served100k"] = run["complete"]
        print(f"after {run['complete']} requests: {memory['after100k']} KiB", flush=True)

        held = idle_connections(port, 1000)
        time.sleep(2.0)
        memory["idle1000"] = station.rss_kib()
        still = answers(port)
        print(f"with 1000 idle connections open: {memory['idle1000']} KiB (serving meanwhile: {still})", flush=True)
        for s in held:
            s.close()
        time.sleep(2.0)

        cpu0 = station.cpu_seconds()
        time.sleep(args.idle)
        idle_cpu = station.cpu_seconds() - cpu0
        print(f"idle {args.idle} s with DF input on, test mode off: {idle_cpu * 1000:.0f} ms CPU", flush=True)

        response = fetch(port)
        document = response.split(b"\r\n\r\n", 1)[1]
        memory["document"] = len(document)
        bare_port, nginx_port, python_port = free_port(), free_port(), free_port()
        processes.append(start_bare(args.bare, bare_port, response))
        processes.append(start_nginx(nginx_port, document))
        processes.append(start_python(python_port, document))
        servers = (("station", port), ("bare Qt", bare_port), ("nginx", nginx_port), ("python", python_port))

        throughput = {}
        for clients in LEVELS:
            for name, p in servers:
                ab(p, clients, 1)  # warm-up
                throughput[(name, clients)] = r = ab(p, clients, args.seconds)
                print(f"ab  {name:8s} c={clients:<3d} {r['rate']:9.0f} req/s  median {r['median']:.3f} ms"
                      f"  p99 {r['p99']:.3f} ms  ({r['complete']} requests, {r['failed']} failed)", flush=True)

        loaded = {}
        for clients in LEVELS:
            runs = {name: [] for name, _ in servers}
            for run in range(WRK_RUNS):
                for name, p in servers:
                    if run == 0:
                        wrk(p, clients, 1)  # warm-up
                    runs[name].append(r := wrk(p, clients, args.seconds))
                    print(f"wrk {name:8s} c={clients:<3d} run {run + 1}: {r['rate']:9.0f} req/s  median {r['median']:.3f} ms"
                          f"  p99 {r['p99']:.3f} ms  ({r['complete']} requests, {r['failed']} errors)", flush=True)
            for name, _ in servers:
                loaded[(name, clients)] = median_of(runs[name])

        behind_cache = cache.measure(TOOLS, WORK, port, args.seconds)

        latencies, timeouts = bearing_latency(port, master, args.sentences)
        print(f"bearing latency over {len(latencies)} sentences: median {statistics.median(latencies):.3f} ms,"
              f" p99 {percentile(latencies, 99):.3f} ms ({timeouts} not seen within 2 s)", flush=True)
    finally:
        for p in reversed(processes):
            p.stop()

    # Uses the settings the station above was started with.
    instructions = callgrind_per_request(args.binary, port, 2000) if shutil.which("valgrind") else None
    if instructions:
        print(f"callgrind: {instructions:,.0f} instructions per request (c=1, 2000 requests)", flush=True)

    at_start = resident_after_start(args.binary)
    print(f"resident after start: headless {at_start['headless']} KiB, windowed {at_start['windowed']} KiB", flush=True)

    silent = silent_figures(args.binary)

    after = machine()
    write_results(started, before, after, args, port, throughput, loaded, memory, at_start, idle_cpu, df_open,
                  latencies, timeouts, instructions, silent, behind_cache)
    failed = sum(r["failed"] for r in throughput.values()) + sum(r["failed"] for r in loaded.values())
    failed += behind_cache["alone"]["failed"] + behind_cache["cached"]["failed"]
    return 1 if failed or timeouts or not df_open or not silent["station"]["complete"] else 0


def only_cache(args):
    """The station alone and behind the cache, in one run; only that section of results.md changes."""
    started = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())
    load = " ".join(f"{x:.2f}" for x in os.getloadavg())
    port = free_port()
    station, _master = start_station(args.binary, port)
    try:
        time.sleep(1.0)
        result = cache.measure(TOOLS, WORK, port, args.seconds)
    finally:
        station.stop()
    path = os.path.join(HERE, "results.md")
    cache.write_section(path, cache.section(result, f"Measured alone with `bash bench/run.sh --only-cache`, {started}",
                                            load))
    print(f"\nupdated the cache section of {path}")
    return 1 if result["alone"]["failed"] or result["cached"]["failed"] else 0


def write_results(started, before, after, args, port, throughput, loaded, memory, at_start, idle_cpu, df_open,
                  latencies, timeouts, instructions, silent, behind_cache):
    m = before
    out = []
    out.append("# Bench results\n")
    out.append(f"One run of `bash bench/run.sh`, {started}. Generated by the bench, except \"Where the time goes per"
               " request\", kept by hand in `bench/where-time-goes.md`; the DF watchdog and the soak run come from their"
               " own scripts"
               " (`bench/watchdog.sh`, `bench/soak.sh`).\n")
    out.append("## Machine\n")
    out.append(f"- CPU: {m['cpu']}, {m['cores']} cores; memory {m['memory']}")
    out.append(f"- Debian {m['debian']}, kernel {m['kernel']}; Qt {m['qt']}, nginx-light {m['nginx']},"
               f" Python {m['python']}, wrk {m['wrk']}, ab (apache2-utils) {m['ab']}")
    out.append(f"- Load average (1, 5, 15 min) at the start {before['load'][0]:.2f} {before['load'][1]:.2f}"
               f" {before['load'][2]:.2f}, at the end {after['load'][0]:.2f} {after['load'][1]:.2f}"
               f" {after['load'][2]:.2f}\n")
    out.append("## Map requests\n")
    out.append(f"The headless station (`tarnvale-webserver --headless`), a bare Qt server, nginx with one worker and"
               f" Python's http.server on loopback, all in this run, all serving the same document bytes (the"
               f" station's own map, {memory['document']} bytes), one request per connection (no keep-alive). The"
               f" bare Qt server (`bench/bare-qt`) sends the station's whole answer, header and body with the same"
               f" {PAUSE_MS:g} ms pause between them, from a `QTcpSocket` per connection and a precise single-shot"
               f" timer per answer, and does nothing else: what Qt and this machine cost without the station's own"
               f" machinery.\n")
    out.append(f"### wrk\n")
    out.append(f"wrk with one thread and `Connection: close`, so a new connection for every request, {args.seconds} s"
               f" per run after a 1 s warm-up; each figure is the median of {WRK_RUNS} runs, the servers taking turns"
               " (the rates of the single runs are listed). Latency is from sending the request to the end of the"
               " answer. Ratios of requests/s are to nginx, to Python's http.server and to the bare Qt server.\n")
    out.append("| clients | server | requests/s | ratio to nginx | ratio to python | ratio to bare Qt | runs (requests/s) |"
               " median ms | 99th pct ms | requests | errors |")
    out.append("|---:|---|---:|---:|---:|---:|---|---:|---:|---:|---:|")
    for clients in LEVELS:
        nginx, python = loaded[("nginx", clients)], loaded[("python", clients)]
        bare = loaded[("bare Qt", clients)]
        for name in SERVERS:
            r = loaded[(name, clients)]
            out.append(f"| {clients} | {name} | {r['rate']:.0f} | {ratio(r['rate'], nginx['rate'])} |"
                       f" {ratio(r['rate'], python['rate'])} | {ratio(r['rate'], bare['rate'])} |"
                       f" {' / '.join(f'{x:.0f}' for x in r['rates'])} |"
                       f" {r['median']:.3f} | {r['p99']:.3f} | {r['complete']} | {r['failed']} |")
    out.append("")
    one, ten = loaded[("station", 1)], loaded[("station", 10)]
    bare_one, bare_ten = loaded[("bare Qt", 1)], loaded[("bare Qt", 10)]
    bound = 10 / (one["median"] / 1000.0)
    bare_bound = 10 / (bare_one["median"] / 1000.0)
    out.append(f"The station waits {PAUSE_MS:g} ms between header and body of every answer. With one client its median"
               f" latency is {one['median']:.3f} ms, {one['median'] - PAUSE_MS:+.3f} ms from that pause and"
               f" {one['median'] - bare_one['median']:+.3f} ms from the bare Qt server's {bare_one['median']:.3f} ms."
               f" Ten clients can at most reach 10 divided by that latency, {bound:.0f} requests/s; the station"
               f" reaches {ten['rate']:.0f}, {ten['rate'] / bound:.2f} of it (the bare Qt server {bare_ten['rate']:.0f},"
               f" {bare_ten['rate'] / bare_bound:.2f} of its own bound).\n")
    out.append("### ab\n")
    out.append(f"ab, HTTP/1.0, one request per connection, {args.seconds} s per figure after a 1 s warm-up, one run."
               " ab is single-threaded and caps the rate it can ask for (near nginx's figure here), so its ratios"
               " flatter the slower servers. Ratios are to nginx.\n")
    out.append("| clients | server | requests/s | ratio | median ms | ratio | 99th pct ms | ratio | requests | failed |")
    out.append("|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for clients in LEVELS:
        ref = throughput[("nginx", clients)]
        for name in SERVERS:
            r = throughput[(name, clients)]
            out.append(f"| {clients} | {name} | {r['rate']:.0f} | {ratio(r['rate'], ref['rate'])} | {r['median']:.3f} |"
                       f" {ratio(r['median'], ref['median'])} | {r['p99']:.3f} | {ratio(r['p99'], ref['p99'])} |"
                       f" {r['complete']} | {r['failed']} |")
    out.append("")
    out.append("## Bearing latency\n")
    out.append(f"From the write of a sentence (\"%ddd\" and CR, the CR last) to the pseudo-terminal that is the"
               f" station's COM1, to the end of the first response, asked for after that write, whose line ends at"
               f" the new end point; {len(latencies)} sentences, 7 degrees apart, 10 ms between them. Each"
               f" response includes the station's 1 ms pause between header and body.\n")
    out.append("| sentences | median ms | 99th pct ms | min ms | max ms | not seen within 2 s |")
    out.append("|---:|---:|---:|---:|---:|---:|")
    out.append(f"| {len(latencies)} | {statistics.median(latencies):.3f} | {percentile(latencies, 99):.3f} |"
               f" {min(latencies):.3f} | {max(latencies):.3f} | {timeouts} |")
    out.append("")
    out.append("## Memory and idle CPU (the headless station)\n")
    out.append("| | resident (VmRSS) |")
    out.append("|---|---:|")
    out.append(f"| after start | {memory['start'] / 1024:.1f} MiB |")
    out.append(f"| after {memory['served100k']:,} requests (ab, 10 clients) | {memory['after100k'] / 1024:.1f} MiB |")
    out.append(f"| with 1000 idle connections open | {memory['idle1000'] / 1024:.1f} MiB |")
    out.append("")
    out.append("Right after start, each alone (a second after it was started), the headless station and the windowed"
               " one (`tarnvale-webserver` without `--headless`, on Qt's offscreen platform, which becomes the"
               " windowed executable):\n")
    out.append("| | headless | windowed |")
    out.append("|---|---:|---:|")
    out.append("| resident after start | " + " | ".join(
        f"{at_start[k] / 1024:.1f} MiB" if at_start.get(k) else "did not start" for k in ("headless", "windowed")) + " |")
    out.append("")
    out.append(f"CPU (user + system, from /proc) over {args.idle} idle seconds with DF input on"
               f" (serial device {'open' if df_open else 'NOT open'}, no sentences) and test mode off:"
               f" {idle_cpu * 1000:.0f} ms, {idle_cpu / args.idle * 100:.2f} % of one core (the kernel counts it in"
               f" {1000 // os.sysconf('SC_CLK_TCK')} ms ticks).\n")
    if instructions:
        out.append(f"Instructions per map request, counted by callgrind (one client, 2000 requests after a warm-up,"
                   f" start-up not counted): {instructions:,.0f}.\n")
    out.append(silent_section(silent, started, before["load"], alone=False))
    out.extend(cache.section(behind_cache, "Measured in this run", " ".join(f"{x:.2f}" for x in before["load"])))
    notes = os.path.join(HERE, "where-time-goes.md")
    if os.path.exists(notes):
        with open(notes) as f:
            out.append(f.read().rstrip() + "\n")
    text = "\n".join(out)
    with open(os.path.join(HERE, "results.md"), "w") as f:
        f.write(text)
    sections.update_all()
    print(f"\nwrote {os.path.join(HERE, 'results.md')}")


# What bench/cache.py uses of this file.
TOOLS = types.SimpleNamespace(ab=ab, Process=Process, free_port=free_port, wait_for=wait_for, answers=answers)


if __name__ == "__main__":
    sys.exit(main())
