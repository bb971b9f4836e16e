#!/usr/bin/env python3
"""The live map in a real browser: headless Chromium opens the page of a headless station fed by the DF
unit simulator, with every host but this one unreachable (no tile server, no internet). The line the
page draws ends where the KML document's line ends, a new bearing shows in the page within a second,
and the station, the line and the coordinate grid show without any tile. The bearings drawn show as the
page's history, also in a page opened late. With every live stream of a
station in use, the page follows it once a second, and streams again once one is free.

The browser's driver is started here on a free port and reached at 127.0.0.1, and it talks to the
browser through a pipe, so no host name is ever looked up (a minimal system has no /etc/hosts to say
what localhost is). Everything the browser, its
driver, the station and the simulator write (profile, crash reports, caches, temporary files) goes into
one temporary folder, removed at the end.

    livemap_browser.py --station PATH --simulator PATH [--screenshot FILE]

Exit status: 0 passed, 1 failed, 77 when Chromium, its driver or Selenium is missing (the reason is
printed)."""

import argparse
import os
import re
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

from checks import check, failures, wait_for

SKIP = 77
CHROMIUM = '/usr/bin/chromium'
CHROMEDRIVER = '/usr/bin/chromedriver'

try:
    from selenium import webdriver
except ImportError:
    webdriver = None



def free_port(avoid=()):
    while True:
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
            s.bind(('127.0.0.1', 0))
            port = s.getsockname()[1]
        if port not in avoid:
            return port


def settings_lines(website_port):
    """The default settings file with the website port changed: COM1, calibration 0, 34 25.111 N,
    119 44.500 W."""
    lines = [' 1 '] + [' %s ' % d for d in '%05d' % website_port] + [' 0 '] * 3
    lines += list('342511111944500') + ['N', 'W']
    return ''.join(line + '\r\n' for line in lines)


def kml_line_end(website_port):
    """The far end of the served KML line as (latitude, longitude), or None."""
    try:
        with urllib.request.urlopen('http://127.0.0.1:%d/' % website_port, timeout=3) as response:
            document = response.read().decode('ascii')
    except OSError:
        return None
    match = re.search(r'<LineString>.*?<coordinates>(\S+) (\S+)</coordinates>', document)
    if not match:
        return None
    longitude, latitude, _ = match.group(2).split(',')
    return float(latitude), float(longitude)


class Feeder:
    """Writes the current bearing to the simulator five times a second, as a DF unit repeats it."""

    def __init__(self, simulator):
        self.simulator = simulator
        self.bearing = 45
        self.running = True
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while self.running:
            try:
                self.simulator.stdin.write(b'%d\n' % self.bearing)
                self.simulator.stdin.flush()
            except (BrokenPipeError, ValueError):
                return
            time.sleep(0.2)


def page_line_end(driver):
    end = driver.execute_script(
        'var t = window.tarnvale; if (!t || !t.status) return null;'
        'var points = t.line.getLatLngs(); return [points[1].lat, points[1].lng];')
    return tuple(end) if end else None


def contained_environment(folder):
    """The environment for every program the test starts: home, configuration, caches, runtime and
    temporary files all inside `folder`."""
    environment = dict(os.environ)
    for name, sub in (('HOME', 'home'), ('XDG_CONFIG_HOME', 'config'), ('XDG_CACHE_HOME', 'cache'),
                      ('XDG_RUNTIME_DIR', 'runtime'), ('TMPDIR', 'tmp')):
        environment[name] = os.path.join(folder, sub)
        os.makedirs(environment[name], mode=0o700)
    for name in ('DISPLAY', 'WAYLAND_DISPLAY', 'QT_QPA_PLATFORM'):
        environment.pop(name, None)
    return environment


def start_driver(folder, environment):
    """Chromium's driver on a free loopback port: (process, address), or (process, None) when it did not
    answer."""
    port = free_port()
    log = open(os.path.join(folder, 'chromedriver.log'), 'w')
    driver = subprocess.Popen([CHROMEDRIVER, '--port=%d' % port, '--allowed-ips=127.0.0.1'], stdout=log,
                              stderr=subprocess.STDOUT, env=environment)
    log.close()

    end = time.monotonic() + 20
    while driver.poll() is None and time.monotonic() < end:
        try:
            with socket.create_connection(('127.0.0.1', port), timeout=1):
                return driver, 'http://127.0.0.1:%d' % port
        except OSError:
            time.sleep(0.05)
    return driver, None


def open_browser(address, folder, profile):
    """Headless Chromium under the driver at `address`, its profile and crash reports in `folder`; None
    (a failed check) when it did not start."""
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                     '--no-first-run', '--window-size=900,650', '--remote-debugging-pipe',
                     '--user-data-dir=' + os.path.join(folder, profile),
                     '--crash-dumps-dir=' + os.path.join(folder, 'crash-dumps'),
                     '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1'):
        options.add_argument(argument)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    try:
        driver = webdriver.Remote(command_executor=address, options=options)
    except Exception as error:  # the driver's own account of why the browser did not start
        check(False, 'Chromium starts under its driver: %s' % str(error).splitlines()[0])
        return None
    driver.set_page_load_timeout(30)
    return driver


def stop(station, log, map_port):
    station.send_signal(signal.SIGTERM)
    try:
        status = station.wait(15)
    except subprocess.TimeoutExpired:
        station.kill()
        status = None
    check(status == 0, 'the station ends cleanly on SIGTERM (status %s)' % status)
    log.seek(0)
    text = log.read()
    check('Serving the live map on port %d' % map_port in text, 'the station says where the live map is')
    return text


# Open files for a station whose live map keeps two streams: the 16 every listener keeps free and the
# 256 ordinary connections come first.
STREAMS_FULL_FILES = 16 + 256 + 2


def run_streams_full(arguments, environment, folder, address, website_port, map_port, feeder):
    """Every stream in use: the page follows the station once a second, and streams again once one is
    free."""
    log = open(os.path.join(folder, 'station-streams.log'), 'w+')
    limit = (STREAMS_FULL_FILES, STREAMS_FULL_FILES)
    station = subprocess.Popen([arguments.station, '--headless', '--web-map', str(map_port)], stderr=log,
                               env=environment, preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, limit))
    driver = None
    streams = []
    try:
        if not check(wait_for(lambda: kml_line_end(website_port), 15) is not None, 'the second station serves'):
            return
        for _ in range(2):
            stream = socket.create_connection(('127.0.0.1', map_port))
            stream.sendall(b'GET /live HTTP/1.1\r\nHost: station\r\n\r\n')
            stream.settimeout(3)
            check(stream.recv(100).startswith(b'HTTP/1.1 200 OK'), 'a stream is open')
            streams.append(stream)
        driver = open_browser(address, folder, 'chromium-profile-streams')
        if driver is None:
            return
        driver.get('http://127.0.0.1:%d/' % map_port)
        link = lambda: driver.find_element('id', 'link').text
        check(wait_for(lambda: link() == 'Updated once a second', 5), 'refused a stream, the page asks once a second')
        feeder.bearing = 135
        check(wait_for(lambda: driver.find_element('id', 'bearing').text == 'Bearing: 135\u00b0', 3),
              'and follows the station meanwhile')
        for stream in streams:
            stream.close()
        # It tries again every 5 s: within two tries.
        check(wait_for(lambda: link().startswith('Live from the station'), 11), 'a stream free, the page streams again')
        time.sleep(1.5)
        check(link().startswith('Live from the station'), 'and stays with the stream')
    finally:
        if driver:
            driver.quit()
        text = stop(station, log, map_port)
        check('Live map: at most 2 live streams at once' in text, 'the station says how many streams it keeps')
        if failures:
            print(text)


def page_line_end(driver):
    end = driver.execute_script(
        'var t = window.tarnvale; if (!t || !t.status) return null;'
        'var points = t.line.getLatLngs(); return [points[1].lat, points[1].lng];')
    return tuple(end) if end else None


def run(arguments, folder):
    environment = contained_environment(folder)
    settings = os.path.join(environment['XDG_CONFIG_HOME'], 'Tarnvale')
    os.makedirs(settings)
    website_port = free_port()
    map_port = free_port({website_port})
    with open(os.path.join(settings, 'Tarnvale_Demo.ini'), 'w', newline='') as f:
        f.write(settings_lines(website_port))

    simulator = subprocess.Popen([arguments.simulator, '--port', '1', '--link-folder', settings, '--file', '-',
                                  '--period', '200'], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, env=environment)
    feeder = Feeder(simulator)
    check(wait_for(lambda: os.path.islink(os.path.join(settings, 'COM1')), 10), 'the simulator is linked as COM1')
    log = open(os.path.join(folder, 'station.log'), 'w+')
    station = subprocess.Popen([arguments.station, '--headless', '--web-map', str(map_port)], stderr=log,
                               env=environment)
    driver = None
    chromedriver = None
    address = None
    try:
        kml_end = wait_for(lambda: kml_line_end(website_port), 15)
        if not check(kml_end is not None, 'the station serves its KML document'):
            return
        kml_end = wait_for(lambda: (lambda e: e if e and e != (34.41852, -119.74167) else None)(kml_line_end(website_port)), 10)
        check(kml_end is not None, 'the KML line is drawn for the bearing')

        chromedriver, address = start_driver(folder, environment)
        if not check(address is not None, 'chromedriver answers on 127.0.0.1'):
            return
        driver = open_browser(address, folder, 'chromium-profile')
        if driver is None:
            return
        driver.get('http://127.0.0.1:%d/' % map_port)

        shown = wait_for(lambda: page_line_end(driver), 10)
        check(shown is not None, 'the page shows the station\'s status')
        kml_end = kml_line_end(website_port)
        check(page_line_end(driver) == kml_end,
              'the line in the page ends where the KML line ends: %s and %s' % (page_line_end(driver), kml_end))
        check(driver.find_element('id', 'df').text == 'DF = DETECTED', 'the page says DF = DETECTED')
        check(driver.find_element('id', 'bearing').text == 'Bearing: 45\u00b0', 'the page shows the bearing 45')
        check(driver.find_element('id', 'time').text.startswith('Last bearing: '), 'the page shows the time')

        # A new bearing: the moment the KML document has it, the page has a second to show it.
        feeder.bearing = 90
        new_end = wait_for(lambda: (lambda e: e if e and e != kml_end else None)(kml_line_end(website_port)), 10,
                           interval=0.01)
        station_has_it = time.monotonic()
        page_has_it = wait_for(lambda: page_line_end(driver) == new_end, 3, interval=0.01)
        delay = time.monotonic() - station_has_it
        check(new_end is not None and page_has_it, 'the page follows the new bearing to the KML line\'s new end')
        check(delay < 1.0, 'the new bearing shows in the page within 1 s (%.3f s)' % delay)
        check(wait_for(lambda: driver.find_element('id', 'bearing').text == 'Bearing: 90\u00b0', 1),
              'the page shows the bearing 90')

        # No tile came: the map is still drawn from the station's own data.
        entries = driver.get_log('browser')
        tiles_failed = [e for e in entries if 'tile.openstreetmap.org' in e['message']]
        check(len(tiles_failed) > 0 and all('ERR_NAME_NOT_RESOLVED' in e['message'] for e in tiles_failed),
              'tile requests went nowhere (%d refused)' % len(tiles_failed))
        others = [e for e in entries if e['level'] == 'SEVERE' and 'tile.openstreetmap.org' not in e['message']]
        check(not others, 'no other error in the page: %s' % others)
        check(driver.execute_script('return window.tarnvale.grid.getLayers().length') >= 4,
              'the coordinate grid is drawn')
        check(driver.execute_script('return document.querySelectorAll(".leaflet-overlay-pane path").length') >= 2,
              'the station and its line are drawn')
        check(driver.execute_script('return document.querySelectorAll(".leaflet-tile-loaded").length') == 0,
              'no tile was shown')

        # The hunt so far: both bearings drawn as lines of the history and counted in the rose, and no
        # fix from one station's line; a page opened late (here: loaded again) gets them from the station.
        history = lambda: set(driver.execute_script(
            'var h = window.tarnvale && window.tarnvale.history; if (!h) return [];'
            'return h.bearings().filter(function (b) { return b.line; }).map(function (b) { return b.bearing; });'))
        check(wait_for(lambda: {45, 90} <= history(), 3), 'the page draws the bearings 45 and 90 as its history')
        check(driver.execute_script('return document.querySelectorAll(".rose .rose-sector").length') == 2,
              'the bearing rose has a sector for each')
        check(wait_for(lambda: driver.find_element('id', 'fix').text == 'No fix: one line', 3),
              'the page says why there is no fix')
        driver.refresh()
        check(wait_for(lambda: {45, 90} <= history(), 5), 'a page opened late gets the history from the station')
        if arguments.screenshot:
            feeder.bearing = 52
            wait_for(lambda: driver.find_element('id', 'bearing').text == 'Bearing: 52\u00b0', 3)
            driver.save_screenshot(arguments.screenshot)
    finally:
        if driver:
            driver.quit()
        text = stop(station, log, map_port)
        if not failures and chromedriver:
            run_streams_full(arguments, environment, folder, address, website_port, map_port, feeder)
        if chromedriver:
            chromedriver.terminate()
            try:
                chromedriver.wait(10)
            except subprocess.TimeoutExpired:
                chromedriver.kill()
                chromedriver.wait()
        feeder.running = False
        simulator.send_signal(signal.SIGTERM)
        try:
            simulator.wait(10)
        except subprocess.TimeoutExpired:
            simulator.kill()
        log.close()
        if failures:
            print(text)
            driver_log = os.path.join(folder, 'chromedriver.log')
            if os.path.exists(driver_log):
                with open(driver_log, errors='replace') as f:
                    print(f.read()[-4000:])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--station', required=True)
    parser.add_argument('--simulator', required=True)
    parser.add_argument('--screenshot')
    arguments = parser.parse_args()
    missing = [what for what, there in (('python3-selenium (the selenium module)', webdriver is not None),
                                        ('chromium (%s)' % CHROMIUM, os.access(CHROMIUM, os.X_OK)),
                                        ('chromium-driver (%s)' % CHROMEDRIVER, os.access(CHROMEDRIVER, os.X_OK)))
               if not there]
    if missing:
        # On both streams, so that the reason lands in the test command's log whichever it keeps.
        reason = 'skipped: the browser test needs ' + ', '.join(missing) + ', which this machine lacks'
        print(reason, flush=True)
        print(reason, file=sys.stderr, flush=True)
        return SKIP
    folder = tempfile.mkdtemp(prefix='tarnvale-browser-')
    try:
        run(arguments, folder)
    finally:
        # Chromium's last helpers may still be closing their files.
        for _ in range(50):
            shutil.rmtree(folder, ignore_errors=True)
            if not os.path.exists(folder):
                break
            time.sleep(0.1)
        check(not os.path.exists(folder), 'the temporary folder is removed')
    print('%d passed, %d failed' % (1 if not failures else 0, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
