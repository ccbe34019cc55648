#!/usr/bin/env python3
"""Runs Kalvix and the peer terminals, one after the other in the same run, each on the slave
side of its own pseudo-terminal, and measures them alike.

  bench/compare.py BUILD_DIR OUT_DIR [LOAD_SECONDS]
  bench/compare.py BUILD_DIR OUT_DIR startup      five start-ups of each, nothing else

The feeder writes without blocking every 10 ms and drops what the pseudo-terminal refuses, as a
line without handshake loses what an overrun receiver cannot take; those bytes count as lost.
Line-mode peers also have their screen output captured through a second pseudo-terminal, and
every 64-byte record found there is checked. Windowed programs run on an Xvfb display; start-up
is the time until their main window is viewable, for line-mode peers until their banner shows.
"""
import os, pty, re, shutil, subprocess, sys, tempfile, threading, time, tty, fcntl

TICK = os.sysconf('SC_CLK_TCK')
RECORD = 64
DISPLAY = ':77'


def record(n):
    body = bytes(ord('A') + (n + i) % 26 for i in range(11, RECORD - 1))
    return b'%010d ' % n + body + b'\r'


def cpu_seconds(pid):
    fields = open(f'/proc/{pid}/stat').read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def peak_rss_mb(pid):
    for line in open(f'/proc/{pid}/status'):
        if line.startswith('VmHWM:'):
            return int(line.split()[1]) / 1024
    return 0.0


def serial_pty():
    master, slave = pty.openpty()
    tty.setraw(slave)
    fcntl.fcntl(master, fcntl.F_SETFL, fcntl.fcntl(master, fcntl.F_GETFL) | os.O_NONBLOCK)
    return master, slave, os.ttyname(slave)


class Feeder:
    """Records in sequence, at a rate, in 10 ms slices; refused bytes are dropped."""

    def __init__(self, master):
        self.master, self.next_record, self.sent, self.dropped = master, 0, 0, 0

    def feed(self, rate, seconds):
        pending = b''
        begin = time.monotonic()
        written = 0
        total = rate * seconds
        while written < total:
            time.sleep(0.01)
            due = min(total, int((time.monotonic() - begin) * rate))
            while len(pending) < due - written:
                pending += record(self.next_record)
                self.next_record += 1
            chunk, pending = pending[:due - written], pending[due - written:]
            try:
                n = os.write(self.master, chunk)
            except BlockingIOError:
                n = 0
            self.sent += n
            self.dropped += len(chunk) - n
            written = due
        # Nothing half-written stays behind: the rest of a started record goes out too.
        self.sent += len(pending)
        try:
            os.write(self.master, pending)
        except BlockingIOError:
            self.dropped += len(pending)
            self.sent -= len(pending)


class Capture(threading.Thread):
    """Reads a program's screen output and counts the intact records in it."""

    def __init__(self, fd):
        super().__init__(daemon=True)
        self.fd, self.data, self.first = fd, bytearray(), None

    def run(self):
        while True:
            try:
                chunk = os.read(self.fd, 65536)
            except OSError:
                return
            if not chunk:
                return
            if self.first is None:
                self.first = time.monotonic()
            self.data += chunk

    def records(self):
        return len(set(re.findall(rb'(\d{10}) [A-Z]{52}\r', bytes(self.data))))


def wait_viewable(title, limit=20.0):
    env = dict(os.environ, DISPLAY=DISPLAY)
    end = time.monotonic() + limit
    while time.monotonic() < end:
        out = subprocess.run(['xwininfo', '-name', title], env=env, capture_output=True, text=True).stdout
        if 'IsViewable' in out:
            return time.monotonic()
        time.sleep(0.01)
    return None


def start(name, build, scratch, device):
    """Starts one terminal on device; returns (process, capture or None, window title or None)."""
    env = dict(os.environ, HOME=scratch, XDG_CONFIG_HOME=scratch, DISPLAY=DISPLAY, XDG_RUNTIME_DIR=scratch)
    env.pop('QT_QPA_PLATFORM', None)
    if name == 'kalvix':
        os.makedirs(f'{scratch}/kalvix/ports')
        os.symlink(device, f'{scratch}/kalvix/ports/COM1')
        subprocess.run([f'{build}/bench/kalvix_load', 'preset'], env=env, check=True)
        return subprocess.Popen([f'{build}/app/kalvix'], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL), None, 'Kalvix in binary mode'
    if name == 'cutecom':
        os.makedirs(f'{scratch}/CuteCom')
        with open(f'{scratch}/CuteCom/CuteCom5.conf', 'w') as conf:
            conf.write(f'[sessions]\n1\\BaudRate=115200\n1\\DataBits=8\n1\\Device={device}\n1\\FlowControl=0\n'
                       '1\\Parity=0\n1\\StopBits=1\n1\\name=Default\nsize=1\n')
        return subprocess.Popen(['cutecom'], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL), None, 'CuteCom - Default'
    command = {'picocom': ['picocom', '-b', '115200', '-f', 'n', '-p', 'n', '-d', '8', device],
               'tio': ['tio', '-b', '115200', '-f', 'none', '-p', 'none', '-d', '8', device]}[name]
    control, screen = pty.openpty()
    process = subprocess.Popen(command, env=env, stdin=screen, stdout=screen, stderr=screen, start_new_session=True)
    os.close(screen)
    capture = Capture(control)
    capture.start()
    return process, capture, None


def launch(name, build):
    """Starts a program on a fresh pseudo-terminal; returns it with the seconds until its
    window was viewable (or, without a window, until its first output), None if never."""
    scratch = tempfile.mkdtemp(prefix='kalvix-compare-')
    master, slave, device = serial_pty()
    began = time.monotonic()
    process, capture, title = start(name, build, scratch, device)
    if title:
        shown = wait_viewable(title)
    else:
        while capture.first is None and time.monotonic() - began < 20:
            time.sleep(0.005)
        shown = capture.first
    return scratch, master, slave, device, process, capture, (shown - began) if shown else None


def stop(scratch, master, slave, process):
    process.kill()
    process.wait()
    os.close(master)
    os.close(slave)
    shutil.rmtree(scratch, ignore_errors=True)


def measure(name, build, load_seconds):
    scratch, master, slave, device, process, capture, start_s = launch(name, build)
    result = {'name': name, 'start_s': start_s if start_s is not None else float('nan')}
    time.sleep(2)
    # Idle: nothing arrives for 10 s.
    cpu0 = cpu_seconds(process.pid)
    time.sleep(10)
    result['idle_pct'] = (cpu_seconds(process.pid) - cpu0) / 10 * 100
    # Does it read the port at all? CuteCom opens it only when its Open button is pressed.
    reads = any(os.path.realpath(f'/proc/{process.pid}/fd/{fd}') == device for fd in os.listdir(f'/proc/{process.pid}/fd'))
    result['port_open'] = reads
    feeder = Feeder(master)
    cpu0 = cpu_seconds(process.pid)
    feeder.feed(25600, load_seconds)
    time.sleep(2)
    cpu = cpu_seconds(process.pid) - cpu0
    result.update(sent=feeder.sent + feeder.dropped, lost=feeder.dropped, cpu_s_per_mb=cpu / ((feeder.sent) / 1e6))
    if capture:
        result['shown'] = capture.records() * RECORD
    # Highest rate without loss, 5 s per step, doubling.
    best = 0
    if reads:
        for rate in (51200, 102400, 204800, 409600, 819200, 1638400):
            before = feeder.dropped
            feeder.feed(rate, 5)
            time.sleep(1)
            if feeder.dropped != before:
                break
            best = rate
    result['max_rate'] = best if reads else None
    if capture:
        result['shown_total'] = capture.records() * RECORD
        result['sent_total'] = feeder.sent + feeder.dropped
    result['peak_rss_mb'] = peak_rss_mb(process.pid)
    stop(scratch, master, slave, process)
    return result


def startups(build, name, times):
    """Start-up alone, repeated: each start measured as in measure()."""
    found = []
    for _ in range(times):
        scratch, master, slave, _, process, _, start_s = launch(name, build)
        found.append(round(start_s, 3) if start_s is not None else None)
        stop(scratch, master, slave, process)
    return found


def main():
    build, out = sys.argv[1], sys.argv[2]
    startup_only = len(sys.argv) > 3 and sys.argv[3] == 'startup'
    load_seconds = int(sys.argv[3]) if len(sys.argv) > 3 and not startup_only else 60
    os.makedirs(out, exist_ok=True)
    xvfb = subprocess.Popen(['Xvfb', DISPLAY, '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
                            stderr=subprocess.DEVNULL)
    # The display must answer before a program tries to connect to it.
    env = dict(os.environ, DISPLAY=DISPLAY)
    for _ in range(500):
        if subprocess.run(['xwininfo', '-root'], env=env, capture_output=True).returncode == 0:
            break
        time.sleep(0.02)
    try:
        if startup_only:
            for name in ('kalvix', 'picocom', 'tio', 'cutecom'):
                print(name, 'start-up (s):', startups(build, name, 5), flush=True)
            return
        results = []
        for name in ('kalvix', 'picocom', 'tio', 'cutecom'):
            r = measure(name, build, load_seconds)
            print(r, flush=True)
            results.append(r)
    finally:
        xvfb.kill()
        xvfb.wait()
    with open(f'{out}/results.dat', 'w') as dat:
        dat.write('# name start_s idle_pct cpu_s_per_mb peak_rss_mb lost max_rate\n')
        for r in results:
            # A program that never opened the port has no load figures: '?' is missing to gnuplot.
            load = f"{r['cpu_s_per_mb']:.3f}" if r['port_open'] else '?'
            lost = r['lost'] if r['port_open'] else '?'
            dat.write(f"{r['name']} {r['start_s']:.3f} {r['idle_pct']:.2f} {load} "
                      f"{r['peak_rss_mb']:.1f} {lost} {r['max_rate'] or '?'}\n")


if __name__ == '__main__':
    main()
