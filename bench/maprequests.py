"""Map requests: the headless station beside a bare Qt server, nginx and Python's http.server, all
serving the station's own answer, loaded by wrk (the headline figures) and by ab; and their section of
bench/results.md."""

import os

from clients import ab, wrk_in_turns
from harness import HERE, WORK, Process, answers, free_port, ratio, start_nginx, wait_for

LEVELS = (1, 10, 50)
# "bare Qt" (bench/bare-qt) sends the station's answer with the same 1 ms pause on Qt's own sockets and
# timers and does nothing else: what Qt and this machine cost, without the station's machinery.
SERVERS = ("station", "bare Qt", "nginx", "python")
# wrk figures are the median of this many runs per server and client count, the servers taking turns.
WRK_RUNS = 3
# The station's pause between header and body, which bounds its rate with few clients.
PAUSE_MS = 1.0


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


def measure(port, response, bare, seconds, processes):
    """ab, then wrk (the median of WRK_RUNS runs), at each client count against the station on `port`
    and the three references serving `response`; the references go into `processes`, left running for
    the caller to stop. Returns the ab and the wrk figures per (server, clients)."""
    document = response.split(b"\r\n\r\n", 1)[1]
    bare_port, nginx_port, python_port = free_port(), free_port(), free_port()
    processes.append(start_bare(bare, bare_port, response))
    processes.append(start_nginx(nginx_port, document))
    processes.append(start_python(python_port, document))
    servers = (("station", port), ("bare Qt", bare_port), ("nginx", nginx_port), ("python", python_port))

    throughput = {}
    for clients in LEVELS:
        for name, p in servers:
            ab(p, clients, 1)  # warm-up
            throughput[(name, clients)] = r = ab(p, clients, seconds)
            print(f"ab  {name:8s} c={clients:<3d} {r['rate']:9.0f} req/s  median {r['median']:.3f} ms"
                  f"  p99 {r['p99']:.3f} ms  ({r['complete']} requests, {r['failed']} failed)", flush=True)

    loaded = {}
    for clients in LEVELS:
        def show(name, run, r):
            print(f"wrk {name:8s} c={clients:<3d} run {run + 1}: {r['rate']:9.0f} req/s  median {r['median']:.3f} ms"
                  f"  p99 {r['p99']:.3f} ms  ({r['complete']} requests, {r['failed']} errors)", flush=True)
        for name, r in wrk_in_turns(servers, clients, seconds, WRK_RUNS, show).items():
            loaded[(name, clients)] = r
    return throughput, loaded


def section(seconds, document_size, throughput, loaded):
    """The lines of results.md's map-request section, the ab and wrk figures of `measure`."""
    out = []
    out.append("## Map requests\n")
    out.append(f"The headless station (`tarnvale-webserver --headless`), a bare Qt server, nginx with one worker and"
               f" Python's http.server on loopback, all in this run, all serving the same document bytes (the"
               f" station's own map, {document_size} bytes), one request per connection (no keep-alive). The"
               f" bare Qt server (`bench/bare-qt`) sends the station's whole answer, header and body with the same"
               f" {PAUSE_MS:g} ms pause between them, from a `QTcpSocket` per connection and a precise single-shot"
               f" timer per answer, and does nothing else: what Qt and this machine cost without the station's own"
               f" machinery.\n")
    out.append("### wrk\n")
    out.append(f"wrk with one thread and `Connection: close`, so a new connection for every request, {seconds} s"
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
    out.append(f"ab, HTTP/1.0, one request per connection, {seconds} s per figure after a 1 s warm-up, one run."
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
    return out
