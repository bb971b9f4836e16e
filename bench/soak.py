#!/usr/bin/python3
"""A soak run: the real station, headless, for a given number of minutes under the load of a busy
field day, watched once a second. Started by bench/soak.sh, which builds what it needs.

- the DF unit simulator sends 10 sentences a second (a sweep 10 degrees a step) on COM1;
- a client fetches the map 50 times a second and checks every answer: the exact 200 header, and a
  KML line that is either collapsed onto the station or drawn to the end point of a bearing the
  simulator sent, calibration applied;
- 200 idle connections are opened and dropped in waves, every 10 seconds;
- every minute the serial device is pulled away (the simulator is killed, its pseudo-terminal goes and
  COM1 is re-pointed to lead nowhere) and given back 5 seconds later (a new simulator's pseudo-terminal
  linked as COM1), and the bearings must be drawn again within 5 seconds.

Resident memory, open descriptors, CPU and the last map check are sampled once a second. The run
fails if any map request fails or is wrong, if bearings do not resume after a return of the device,
or if memory or descriptors grow after the first minute (the baseline: the channel pool keeps what
the first waves created) beyond the bounds below. Writes bench/soak.md (summary table) and
bench/soak.png (memory, descriptors and CPU over time, plotted with gnuplot).
"""

import argparse
import math
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

from harness import DEFAULT_SETTINGS, HERE, WORK, Process, fetch, free_port, wait_for
import sections

# Growth allowed after the first minute, over the largest value seen in it.
MEMORY_BOUND_KIB = 2048  # heap growth as the first waves of connections come and go
DESCRIPTOR_BOUND = 8

CALIBRATION = 10
SWEEP_STEP = 10  # 36 bearings, so a wrong end point cannot pass for another bearing's
IDLE_WAVE = 200
HEADER = re.compile(rb"\AHTTP/1\.0 200 OK\r\nServer: Tarnvale DF Demo WebServer V 1\.0\r\n"
                    rb"Content-Type: \*/\*\r\nContent-Length:  (\d+)\r\n\r\n")
LINE = re.compile(rb"<LineString><tessellate>1</tessellate><coordinates>([^ ]+),0 ([^ ]+),0</coordinates>")


def coordinate_text(degrees, integer_digits):
    """The station's coordinate text: explicit sign, zero-padded integer part, five decimals."""
    magnitude = f"{abs(degrees):0{integer_digits + 6}.5f}"
    negative = degrees < 0 and any(c in "123456789" for c in magnitude)
    return ("-" if negative else "+") + magnitude


def end_point(latitude_text, longitude_text, bearing):
    """The far end of the 25-mile line, by the station's own flat approximation and constants."""
    theta = (90 - bearing) / 360 * 6.283
    if theta < 0:
        theta += 6.283
    length = 25 / 1.152
    north = length * 0.0166666666666667 * math.sin(theta)
    east_arc = length * 0.0166666666666667 * math.cos(theta)
    latitude = float(latitude_text)
    east = east_arc / math.sin((90 - abs(latitude)) / 360 * 6.283)
    return (coordinate_text(float(longitude_text) + east, 3) + "," + coordinate_text(latitude + north, 2))


class Soak:
    def __init__(self, args):
        self.args = args
        self.port = free_port()
        self.folder = os.path.join(WORK, "soak", "config", "Tarnvale")
        shutil.rmtree(os.path.dirname(self.folder), ignore_errors=True)
        os.makedirs(self.folder)
        lines = list(DEFAULT_SETTINGS)
        for i, digit in enumerate(f"{self.port:05d}"):
            lines[1 + i] = digit
        for i, digit in enumerate(f"{CALIBRATION:03d}"):
            lines[6 + i] = digit
        with open(os.path.join(self.folder, "Tarnvale_Demo.ini"), "wb") as f:
            f.write("".join(line + "\r\n" for line in lines).encode("ascii"))
        self.station_point = "-119.74167,+34.41852"  # the default position
        lat, lon = "+34.41852", "-119.74167"
        drawn = {b + CALIBRATION - 360 if b + CALIBRATION > 359 else b + CALIBRATION for b in range(0, 360, SWEEP_STEP)}
        self.allowed = {end_point(lat, lon, d) for d in drawn} | {self.station_point}
        self.lock = threading.Lock()
        self.requests = 0
        self.bad_requests = 0
        self.failures = []
        self.last_drawn = 0.0
        self.last_check = "none"
        self.stopping = threading.Event()
        self.simulator = None

    # --- the pieces of load -------------------------------------------------------------------
    def point_com1_at(self, target):
        """Re-points COM1 in one step (ln -sf), so the station never finds it missing: without it, port 1
        would be /dev/ttyS0."""
        link = os.path.join(self.folder, "COM1")
        os.symlink(target, link + ".new")
        os.replace(link + ".new", link)

    def start_simulator(self):
        # Linked in a folder of its own first: its link is then moved over COM1 in one step.
        staging = os.path.join(WORK, "soak", "staging")
        os.makedirs(staging, exist_ok=True)
        staged = os.path.join(staging, "COM1")
        if os.path.lexists(staged):  # the killed simulator's
            os.remove(staged)
        self.simulator = Process("simulator", [self.args.simulator, "--port", "1", "--link-folder", staging,
                                               "--sweep", f"0:{SWEEP_STEP}", "--period", "100"])
        if not wait_for(lambda: os.path.islink(staged), 10) or self.simulator.proc.poll() is not None:
            raise SystemExit("the simulator did not link COM1: " + self.simulator.proc.stderr.read().decode())
        self.point_com1_at(os.readlink(staged))

    def pull_device(self):
        """As an adapter pulled out: the device goes, and COM1 leads nowhere, as a /dev/serial/by-id
        link does meanwhile (not to a /dev/pts number that another program may be given next)."""
        self.simulator.stop(signal.SIGKILL)
        self.point_com1_at(os.path.join(self.folder, "unplugged"))

    def check(self, response):
        header = HEADER.match(response)
        if not header:
            return "not the exact 200 header: " + repr(response[:120])
        body = response[header.end():]
        if int(header.group(1)) != len(body):
            return f"Content-Length {header.group(1)} but {len(body)} body bytes"
        line = LINE.search(body)
        if not line or not body.endswith(b"</kml>"):
            return "no bearing line in the document"
        start, end = line.group(1).decode(), line.group(2).decode()
        if start != self.station_point:
            return f"line starts at {start}"
        if end not in self.allowed:
            return f"line ends at {end}, the end point of no bearing sent"
        return "drawn" if end != self.station_point else "collapsed"

    def fetcher(self):
        period = 1 / 50
        next_at = time.monotonic()
        while not self.stopping.is_set():
            try:
                result = self.check(fetch(self.port, 5.0))
            except OSError as error:
                result = f"request failed: {error}"
            with self.lock:
                self.requests += 1
                self.last_check = result
                if result == "drawn":
                    self.last_drawn = time.monotonic()
                elif result != "collapsed":
                    self.bad_requests += 1
                    self.failures.append(f"{time.strftime('%H:%M:%S')} {result}")
            next_at += period
            time.sleep(max(0.0, next_at - time.monotonic()))

    def idle_waves(self):
        while not self.stopping.wait(10):
            held = []
            for _ in range(IDLE_WAVE):
                try:
                    held.append(socket.create_connection(("127.0.0.1", self.port), timeout=5))
                except OSError as error:
                    with self.lock:
                        self.failures.append(f"idle connection refused: {error}")
                    break
            self.stopping.wait(5)
            for s in held:
                s.close()

    # --- the run ------------------------------------------------------------------------------
    def run(self):
        env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(WORK, "runtime"))
        env.pop("DISPLAY", None)
        env.pop("QT_QPA_PLATFORM", None)
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        self.start_simulator()
        station = Process("station", [self.args.binary, "--headless", "--settings-dir", self.folder], env)
        if not wait_for(lambda: self.answers(), 20):
            raise SystemExit("the station did not start serving")
        threads = [threading.Thread(target=self.fetcher, daemon=True),
                   threading.Thread(target=self.idle_waves, daemon=True)]
        for t in threads:
            t.start()

        samples = []
        outages = []
        start = time.monotonic()
        cpu_before = station.cpu_seconds()
        returned_at = None
        duration = self.args.minutes * 60
        second = 0
        try:
            while second < duration:
                second += 1
                time.sleep(max(0.0, start + second - time.monotonic()))
                if station.proc.poll() is not None:
                    self.failures.append(f"the station ended with status {station.proc.returncode}")
                    break
                cpu = station.cpu_seconds()
                fds = len(os.listdir(f"/proc/{station.pid}/fd"))
                with self.lock:
                    samples.append((second, station.rss_kib(), fds, (cpu - cpu_before) * 100, self.last_check))
                cpu_before = cpu
                # Every minute the device goes away for 5 seconds.
                if second % 60 == 30 and second + 20 < duration:
                    self.pull_device()
                    outages.append({"pulled": second})
                elif outages and second == outages[-1]["pulled"] + 5 and "returned" not in outages[-1]:
                    self.start_simulator()
                    outages[-1]["returned"] = second
                    returned_at = time.monotonic()
                if returned_at is not None:
                    with self.lock:
                        drawn = self.last_drawn
                    if drawn > returned_at:
                        outages[-1]["resumed_after"] = drawn - returned_at
                        returned_at = None
                    elif time.monotonic() - returned_at > 5:
                        self.failures.append(f"bearings did not resume within 5 s of the return at {second - 5} s")
                        returned_at = None
        finally:
            self.stopping.set()
            for t in threads:
                t.join(10)
            status = station.stop()
            self.simulator.stop()
        log = station.proc.stderr.read().decode(errors="replace")
        if status != 0:
            self.failures.append(f"SIGTERM ended the station with status {status}")
        return samples, outages, log

    def answers(self):
        try:
            return fetch(self.port, 1.0).startswith(b"HTTP/1.0 200 OK")
        except OSError:
            return False


def judge(samples, failures):
    baseline = [s for s in samples if s[0] <= 60]
    later = [s for s in samples if s[0] > 60]
    if not baseline or not later:
        return {"memory": None, "fds": None}
    rss0, fds0 = max(s[1] for s in baseline), max(s[2] for s in baseline)
    rss1, fds1 = max(s[1] for s in later), max(s[2] for s in later)
    if rss1 > rss0 + MEMORY_BOUND_KIB:
        failures.append(f"memory grew after the first minute: {rss0} KiB to {rss1} KiB")
    if fds1 > fds0 + DESCRIPTOR_BOUND:
        failures.append(f"descriptors grew after the first minute: {fds0} to {fds1}")
    return {"memory": (rss0, rss1), "fds": (fds0, fds1)}


def write_outputs(args, soak, samples, outages, growth, failures, log):
    data = os.path.join(WORK, "soak", "samples.dat")
    with open(data, "w") as f:
        for second, rss, fds, cpu, _ in samples:
            f.write(f"{second} {rss / 1024:.2f} {fds} {cpu:.2f}\n")
    png = os.path.join(HERE, "soak.png")
    pulled = "".join(f"set arrow from {o['pulled']},graph 0 to {o['pulled']},graph 1 nohead lc rgb '#bbbbbb' dt 2\n"
                     for o in outages)
    script = f"""set terminal pngcairo size 900,640 font ',9'
set output '{png}'
set multiplot layout 3,1 title 'Soak run: {args.minutes} min (dashed: serial device pulled for 5 s)'
set grid
set xrange [0:{args.minutes * 60}]
{pulled}set ylabel 'resident MiB'
plot '{data}' using 1:2 with lines lw 2 title 'VmRSS'
set ylabel 'open descriptors'
plot '{data}' using 1:3 with lines lw 2 title 'descriptors (200 idle connections every 10 s)'
set ylabel 'CPU % of a core'
set xlabel 'seconds'
plot '{data}' using 1:4 with lines lw 1 title 'CPU'
unset multiplot
"""
    subprocess.run(["gnuplot"], input=script.encode(), check=True)

    cpu = [s[3] for s in samples]
    lines = [f"# Soak run", "",
             f"`bash bench/soak.sh {args.minutes}`, {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}:"
             f" the headless station for {args.minutes} minutes with the DF unit simulator sending 10 sentences a"
             f" second (calibration {CALIBRATION}), a client fetching the map 50 times a second, {IDLE_WAVE} idle"
             f" connections opened and dropped every 10 seconds, and the serial device pulled away for 5 seconds"
             f" every minute.", "",
             "| figure | value |", "|---|---:|",
             f"| map requests | {soak.requests:,} |",
             f"| failed or wrong map requests | {soak.bad_requests} |",
             f"| serial device pulled and given back | {len(outages)} times |"]
    resumed = [o["resumed_after"] for o in outages if "resumed_after" in o]
    if resumed:
        lines.append(f"| bearings drawn again after the device's return | {len(resumed)} of {len(outages)}, "
                     f"after {min(resumed):.2f} to {max(resumed):.2f} s |")
    if growth["memory"]:
        lines.append(f"| resident memory, largest in the first minute / after it | {growth['memory'][0] / 1024:.1f} /"
                     f" {growth['memory'][1] / 1024:.1f} MiB (bound: +{MEMORY_BOUND_KIB // 1024} MiB) |")
        lines.append(f"| open descriptors, largest in the first minute / after it | {growth['fds'][0]} /"
                     f" {growth['fds'][1]} (bound: +{DESCRIPTOR_BOUND}) |")
    lines.append(f"| CPU, mean / largest second | {sum(cpu) / len(cpu):.1f} / {max(cpu):.1f} % of a core |")
    lines.append(f"| result | {'PASSED' if not failures else 'FAILED'} |")
    lines += ["", "![Soak run](soak.png)", ""]
    if failures:
        lines += ["Failures:", ""] + [f"- {f}" for f in failures[:50]] + [""]
    events = [l for l in log.splitlines() if "Serial port" in l]
    lines += ["What the station said about its serial line (first lines):", "", "```"] + events[:8] + ["```", ""]
    with open(os.path.join(HERE, "soak.md"), "w") as f:
        f.write("\n".join(lines))
    sections.update("soak.md")
    print("\n".join(lines))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("simulator")
    parser.add_argument("minutes", type=int, nargs="?", default=10)
    args = parser.parse_args()
    os.makedirs(os.path.join(WORK, "soak"), exist_ok=True)
    soak = Soak(args)
    samples, outages, log = soak.run()
    failures = soak.failures
    growth = judge(samples, failures)
    write_outputs(args, soak, samples, outages, growth, failures, log)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
