"""The load clients and counters the steps measure with: ab and wrk, each new connection per request,
the median of several wrk runs, and callgrind's count of the station's instructions per request."""

import os
import re
import statistics
import subprocess

from harness import WORK, Process, answers, wait_for


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


def wrk_in_turns(servers, clients, seconds, runs, show):
    """wrk against each (name, port) of `servers`, `runs` times, the servers taking turns, each after a
    1 s warm-up; `show(name, run, figures)` is told of every run. Returns the median figures per name."""
    results = {name: [] for name, _ in servers}
    for run in range(runs):
        for name, port in servers:
            if run == 0:
                wrk(port, clients, 1)  # warm-up
            results[name].append(r := wrk(port, clients, seconds))
            show(name, run, r)
    return {name: median_of(r) for name, r in results.items()}

def callgrind_per_request(binary, port, requests):
    """Instructions the station executes per request, counted by callgrind over `requests` requests
    after a warm-up (start-up not counted)."""
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
