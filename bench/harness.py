"""What every bench step shares: the bench's folders, free ports, waiting, one map request, a server
process read through /proc, the station started on a pseudo-terminal, nginx as the reference serving
the same bytes, and the small figures' helpers."""

import os
import resource
import shutil
import socket
import subprocess
import time
import tty

HERE = os.path.dirname(os.path.abspath(__file__))
WORK = os.path.join(HERE, "work")
DEFAULT_SETTINGS = [" 1 ", " 1 ", " 0 ", " 0 ", " 0 ", " 0 ", " 0 ", " 0 ", " 0 ", "3", "4", "2", "5", "1", "1",
                    "1", "1", "1", "9", "4", "4", "5", "0", "0", "N", "W"]


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


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


def ratio(value, reference):
    return f"{value / reference:.2f}" if reference else "-"


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

