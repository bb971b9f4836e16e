"""The bench's cache part: nginx with packaging/nginx/tarnvale-cache.conf (its ports and cache folder
changed, nothing else) in front of the station, and a counting relay between the two that tells how
many requests reached the station. Measured in the same run as the station alone, 50 clients each.
Used by bench.py, which passes in the shared helpers (ab, Process, free_port, wait_for, answers).
"""

import os
import re
import shutil
import socket
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CONF = os.path.join(os.path.dirname(HERE), "packaging", "nginx", "tarnvale-cache.conf")
HEADING = "## Many viewers behind the cache"
CLIENTS = 50


class CountingRelay:
    """Passes every connection on to the station and counts them (HTTP/1.0: one request each). It only
    sees what gets past the cache, about one connection a second, so it costs the measurement nothing."""

    def __init__(self, target):
        self.target = target
        self.count = 0
        self.server = socket.socket()
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(128)
        self.port = self.server.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.server.accept()
            except OSError:
                return
            self.count += 1
            threading.Thread(target=self._serve, args=(client,), daemon=True).start()

    @staticmethod
    def _pipe(source, sink):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                sink.sendall(data)
        except OSError:
            pass
        try:
            sink.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    def _serve(self, client):
        try:
            upstream = socket.create_connection(("127.0.0.1", self.target), timeout=10)
        except OSError:
            client.close()
            return
        back = threading.Thread(target=self._pipe, args=(upstream, client), daemon=True)
        back.start()
        self._pipe(client, upstream)
        back.join(10)
        client.close()
        upstream.close()

    def close(self):
        self.server.close()


def configuration(listen, station, cache_folder):
    """The shipped file with the bench's ports and cache folder; each line changed must be there once."""
    with open(CONF) as f:
        conf = f.read()
    changes = (("    listen 8080;\n", f"    listen 127.0.0.1:{listen} backlog=1024;\n"),
               ("    listen [::]:8080;\n", ""),
               ("proxy_pass http://127.0.0.1:10000;", f"proxy_pass http://127.0.0.1:{station};"),
               ("/var/cache/nginx/tarnvale", cache_folder))
    for old, new in changes:
        if conf.count(old) != 1:
            raise SystemExit(f"{CONF} no longer has the line the bench changes: {old.strip()}")
        conf = conf.replace(old, new)
    return conf


def start_cache(tools, work, station_port):
    """nginx with the cache configuration on a free port, relaying through a counter to the station."""
    root = os.path.join(work, "nginx-cache")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    relay = CountingRelay(station_port)
    port = tools.free_port()
    with open(os.path.join(root, "site.conf"), "w") as f:
        f.write(configuration(port, relay.port, os.path.join(root, "cache")))
    user = "user root;\n" if os.geteuid() == 0 else ""
    # One worker, as for the reference nginx; the rest is the shipped file.
    conf = f"""worker_processes 1;
daemon off;
pid {root}/nginx.pid;
{user}events {{ worker_connections 4096; }}
http {{
    access_log off;
    client_body_temp_path {root}/body;
    proxy_temp_path {root}/proxy;
    fastcgi_temp_path {root}/fastcgi;
    uwsgi_temp_path {root}/uwsgi;
    scgi_temp_path {root}/scgi;
    include {root}/site.conf;
}}
"""
    with open(os.path.join(root, "nginx.conf"), "w") as f:
        f.write(conf)
    nginx = tools.Process("nginx-cache", ["nginx", "-p", root, "-c", os.path.join(root, "nginx.conf"), "-e",
                                          os.path.join(root, "error.log")])
    if not tools.wait_for(lambda: tools.answers(port), 10):
        raise SystemExit("nginx (cache) did not start serving")
    return nginx, relay, port


def measure(tools, work, station_port, seconds):
    """Requests/s at 50 clients for the station alone and through the cache, one after the other in
    this run, and how many of the cache's requests reached the station."""
    nginx, relay, port = start_cache(tools, work, station_port)
    try:
        tools.ab(station_port, CLIENTS, 1)
        alone = tools.ab(station_port, CLIENTS, seconds)
        tools.ab(port, CLIENTS, 1)
        time.sleep(1.0)
        relay.count = 0
        cached = tools.ab(port, CLIENTS, seconds)
        cached["reached"] = relay.count
    finally:
        nginx.stop()
        relay.close()
    for name, r in (("station alone", alone), ("through the cache", cached)):
        print(f"{name:18s} c={CLIENTS} {r['rate']:9.0f} req/s  median {r['median']:.3f} ms  p99 {r['p99']:.3f} ms"
              f"  ({r['complete']} requests, {r['failed']} failed)", flush=True)
    print(f"requests that reached the station through the cache: {cached['reached']}"
          f" in {cached['taken']:.1f} s", flush=True)
    return {"alone": alone, "cached": cached, "seconds": seconds}


def section(result, when, load):
    alone, cached = result["alone"], result["cached"]
    ratio = lambda v, ref: f"{v / ref:.2f}" if ref else "-"
    per_second = cached["reached"] / cached["taken"] if cached["taken"] else 0
    out = [HEADING + "\n",
           f"nginx with `packaging/nginx/tarnvale-cache.conf` (only its ports and cache folder changed; one worker)"
           f" in front of the station, and a counting relay between them. ab on loopback, HTTP/1.0, {CLIENTS}"
           f" clients, {result['seconds']} s per figure after a 1 s warm-up, the station alone measured just before"
           f" in the same run; ratios are to the station alone. {when}; load average at the start {load}.\n",
           "| clients | server | requests/s | ratio | median ms | 99th pct ms | longest ms | requests | failed |"
           " requests that reached the station |",
           "|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|",
           f"| {CLIENTS} | station alone | {alone['rate']:.0f} | 1.00 | {alone['median']:.3f} | {alone['p99']:.3f} |"
           f" {alone['longest']:.0f} | {alone['complete']} | {alone['failed']} | {alone['complete']} |",
           f"| {CLIENTS} | nginx cache, then the station | {cached['rate']:.0f} | {ratio(cached['rate'], alone['rate'])} |"
           f" {cached['median']:.3f} | {cached['p99']:.3f} | {cached['longest']:.0f} | {cached['complete']} |"
           f" {cached['failed']} | {cached['reached']} in {cached['taken']:.1f} s ({per_second:.2f} a second) |",
           "",
           "Through the cache the station answers one request for each second of the clock, whatever the load; the"
           " clients that ask while that second's copy is being fetched wait for it, up to the half second after"
           " which nginx looks again (the longest time above).",
           ""]
    return out


def write_section(results_path, lines):
    """Puts the section into an existing results file in place of its old one (or before the section
    kept by hand), leaving every other figure as the last full run wrote it."""
    text = "\n".join(lines) + "\n"
    try:
        with open(results_path) as f:
            old = f.read()
    except OSError:
        old = "# Bench results\n\n"
    match = re.search(r"^" + re.escape(HEADING) + r"\n.*?(?=^## |\Z)", old, re.S | re.M)
    if match:
        new = old[:match.start()] + text + old[match.end():]
    else:
        kept = old.find("## Where the time goes")
        new = old[:kept] + text + old[kept:] if kept >= 0 else old.rstrip("\n") + "\n\n" + text
    with open(results_path, "w") as f:
        f.write(new)
