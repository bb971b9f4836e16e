#!/usr/bin/python3
"""The request cost alone, for one or two builds of the station in one run: wrk with 50 clients against
each station and nginx serving the same document (the servers taking turns, the median of three runs
each), and callgrind's count of instructions per request. Writes bench/cost.md and its section of
bench/results.md.

    python3 bench/cost.py STATION [--before OTHER_STATION [--before-label TEXT]] [--seconds N]
"""

import argparse
import os
import shutil
import time

import sections
from clients import callgrind_per_request, wrk_in_turns
from harness import HERE, WORK, fetch, free_port, ratio, start_nginx, start_station

CLIENTS = 50
RUNS = 3
# The aims: at least this share of nginx's rate with 50 clients, at most this many instructions.
RATE_AIM = 0.5
INSTRUCTIONS_AIM = 45000


def measure(stations, seconds):
    """wrk figures (median of RUNS) per server name, nginx included, all in one run."""
    processes, servers = [], []
    document = None
    try:
        for name, binary in stations:
            port = free_port()
            station, _master = start_station(binary, port)
            processes.append(station)
            servers.append((name, port))
            if document is None:
                document = fetch(port).split(b"\r\n\r\n", 1)[1]
        port = free_port()
        processes.append(start_nginx(port, document))
        servers.append(("nginx", port))

        def show(name, run, r):
            print(f"wrk {name:8s} c={CLIENTS} run {run + 1}: {r['rate']:9.0f} req/s  ({r['complete']} requests,"
                  f" {r['failed']} errors)", flush=True)
        return wrk_in_turns(servers, CLIENTS, seconds, RUNS, show)
    finally:
        for p in reversed(processes):
            p.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--before", help="another build of the station, measured in the same run")
    parser.add_argument("--before-label", default="before", help="what the other build is, for the table")
    parser.add_argument("--seconds", type=int, default=6)
    args = parser.parse_args()
    os.makedirs(WORK, exist_ok=True)
    started = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())
    load = " ".join(f"{x:.2f}" for x in os.getloadavg())
    stations = ([(args.before_label, args.before)] if args.before else []) + [("station", args.binary)]
    loaded = measure(stations, args.seconds)
    instructions = {}
    if shutil.which("valgrind"):
        for name, binary in stations:
            port = free_port()
            station, master = start_station(binary, port)  # writes the settings callgrind's run uses
            station.stop()
            os.close(master)
            instructions[name] = callgrind_per_request(binary, port, 2000)
            print(f"callgrind {name}: {instructions[name] or 0:,.0f} instructions per request", flush=True)

    nginx = loaded["nginx"]["rate"]
    out = ["# Request cost", "",
           f"`python3 bench/cost.py` (also `bash bench/run.sh --only-cost`), {started}, load average at the start"
           f" {load}. wrk, one thread, {CLIENTS} clients, a new connection per request, {args.seconds} s per run,"
           f" the servers taking turns; the median of {RUNS} runs. Instructions per map request counted by"
           " callgrind (one client, 2000 requests after a warm-up). The aims: at least"
           f" {RATE_AIM} of nginx's rate, at most {INSTRUCTIONS_AIM:,} instructions.", "",
           "| server | binary | req/s | against nginx | median | p99 | instructions per request |",
           "|---|---|---:|---:|---:|---:|---:|"]
    binaries = dict(stations, nginx="nginx")
    for name, r in loaded.items():
        count = instructions.get(name)
        out.append(f"| {name} | `{binaries[name]}` | {r['rate']:,.0f} | {ratio(r['rate'], nginx)} |"
                   f" {r['median']:.2f} ms | {r['p99']:.2f} ms | {f'{count:,.0f}' if count else '-'} |")
    with open(os.path.join(HERE, "cost.md"), "w") as f:
        f.write("\n".join(out) + "\n")
    sections.update("cost.md")
    print("\n".join(out))
    rate = loaded["station"]["rate"] / nginx if nginx else 0
    count = instructions.get("station")
    return 0 if rate >= RATE_AIM and (count is None or count <= INSTRUCTIONS_AIM) else 1


if __name__ == "__main__":
    raise SystemExit(main())
