#!/usr/bin/python3
"""One bench run of the headless station's map server and bearing path, with nginx and Python's
http.server serving the same document bytes as references, loaded by wrk (the headline figures) and by
ab (bench/maprequests.py), the station behind nginx as a one-second cache (bench/cache.py) and a map
viewer behind silent connections (bench/silent.py). Started by bench/run.sh, which installs and builds
what it needs; prints the figures and writes them to bench/results.md.

Everything runs on loopback, on free ports, bounded in requests and time; every process it starts is
stopped at the end.
"""

import argparse
import os
import platform
import re
import shutil
import socket
import statistics
import subprocess
import sys
import time
import types

import cache
import maprequests
import sections
from clients import ab, callgrind_per_request
from harness import (HERE, WORK, Process, answers, fetch, free_port, percentile, resident_after_start,
                     start_station, wait_for)
from silent import only_silent, silent_figures, silent_section

END_POINT = re.compile(rb"<coordinates>[^<]* ([^< ]+)</coordinates>")


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


def idle_connections(port, count):
    sockets = []
    for _ in range(count):
        sockets.append(socket.create_connection(("127.0.0.1", port), timeout=5))
    return sockets


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
        memory["document"] = len(response.split(b"\r\n\r\n", 1)[1])
        throughput, loaded = maprequests.measure(port, response, args.bare, args.seconds, processes)


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
    out.extend(maprequests.section(args.seconds, memory["document"], throughput, loaded))
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


# The shared helpers bench/cache.py is handed.
TOOLS = types.SimpleNamespace(ab=ab, Process=Process, free_port=free_port, wait_for=wait_for, answers=answers)


if __name__ == "__main__":
    sys.exit(main())