#!/usr/bin/env python3
"""Runs Kalvix and the peer terminals, one after the other in the same run, each on the slave
side of its own pseudo-terminal, and measures them alike.

  bench/compare.py BUILD_DIR OUT_DIR [LOAD_SECONDS [NAME ...]]
  bench/compare.py BUILD_DIR OUT_DIR startup      five start-ups of each, nothing else

The steady feeder writes without blocking every 10 ms and drops what the pseudo-terminal
refuses, as a line without handshake loses what an overrun receiver cannot take; those bytes
count as lost. A flood writes 1 MB, then 10 MB, with blocking writes as fast as the program
takes them; its drain rate runs from the first write until the line's input queue is empty.
Line-mode peers also have their screen output captured through a second pseudo-terminal, and
every 64-byte record found there is checked. Windowed programs run on an Xvfb display; start-up
is the time until their main window is viewable, for line-mode peers until their banner shows.
CuteCom opens its port when its Open button is clicked: xdotool clicks it (and, for the hex
run, its Hex output box). Kalvix's text mode is Alt+M (Switch Mode).
"""
import glob, os, pty, re, shutil, subprocess, sys, tempfile, termios, threading, time, tty, fcntl, array

TICK = os.sysconf('SC_CLK_TCK')
RECORD = 64
DISPLAY = ':77'
NAMES = ('kalvix', 'kalvix-text', 'picocom', 'tio', 'gtkterm', 'cutecom', 'cutecom-hex')


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


def xenv():
    return dict(os.environ, DISPLAY=DISPLAY)


def wait_viewable(title, limit=20.0):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        out = subprocess.run(['xwininfo', '-name', title], env=xenv(), capture_output=True, text=True).stdout
        if 'IsViewable' in out:
            return time.monotonic()
        time.sleep(0.01)
    return None


def viewable_window(pid, title, limit=20.0):
    """The process's viewable window whose name matches title, and the time it was seen;
    (None, None) if never."""
    end = time.monotonic() + limit
    while time.monotonic() < end:
        out = subprocess.run(['xdotool', 'search', '--all', '--onlyvisible', '--pid', str(pid), '--name', title],
                             env=xenv(), capture_output=True, text=True).stdout.split()
        if out:
            return out[0], time.monotonic()
        time.sleep(0.01)
    return None, None


def click(window, x, y):
    """Clicks at x, y of a window; from the bottom for a negative y."""
    geometry = subprocess.run(['xdotool', 'getwindowgeometry', '--shell', window], env=xenv(),
                              capture_output=True, text=True).stdout
    height = int(re.search(r'HEIGHT=(\d+)', geometry).group(1))
    subprocess.run(['xdotool', 'mousemove', '--window', window, str(x), str(y if y >= 0 else height + y),
                    'click', '1'], env=xenv())


def start(name, build, scratch, device):
    """Starts one terminal on device; returns (process, capture or None, window title or None)."""
    env = dict(os.environ, HOME=scratch, XDG_CONFIG_HOME=scratch, DISPLAY=DISPLAY, XDG_RUNTIME_DIR=scratch)
    env.pop('QT_QPA_PLATFORM', None)
    if name.startswith('kalvix'):
        os.makedirs(f'{scratch}/kalvix/ports')
        os.symlink(device, f'{scratch}/kalvix/ports/COM1')
        subprocess.run([f'{build}/bench/kalvix_load', 'preset'], env=env, check=True)
        return subprocess.Popen([f'{build}/app/kalvix'], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL), None, '^Kalvix in binary mode'
    if name.startswith('cutecom'):
        os.makedirs(f'{scratch}/CuteCom')
        with open(f'{scratch}/CuteCom/CuteCom5.conf', 'w') as conf:
            conf.write(f'[sessions]\n1\\BaudRate=115200\n1\\DataBits=8\n1\\Device={device}\n1\\FlowControl=0\n'
                       '1\\Parity=0\n1\\StopBits=1\n1\\name=Default\nsize=1\n')
        return subprocess.Popen(['cutecom'], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL), None, '^CuteCom - Default'
    if name == 'gtkterm':
        # Its own settings name the pseudo-terminal too: nothing ever names a real port.
        with open(f'{scratch}/.gtktermrc', 'w') as conf:
            conf.write(f'[default]\nport = {device}\nspeed = 115200\nbits = 8\nstopbits = 1\nparity = none\n'
                       'flow = none\n')
        return subprocess.Popen(['gtkterm', '-L', '-p', device, '-s', '115200'], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL), None, '^GTKTerm'
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
        window, shown = viewable_window(process.pid, title)
        if window and name == 'kalvix-text':
            # Without a window manager the window takes the keyboard only when told to.
            subprocess.run(['xdotool', 'windowfocus', window], env=xenv())
            time.sleep(0.3)
            subprocess.run(['xdotool', 'key', 'alt+m'], env=xenv())   # Switch Mode
            if not wait_viewable('Kalvix in text mode', 5):
                print('kalvix-text: text mode not switched on', file=sys.stderr)
        if window and name.startswith('cutecom'):
            time.sleep(1)   # its widgets are laid out after the window shows
            click(window, 38, 44)          # Open
            if name == 'cutecom-hex':
                click(window, 77, -44)     # Hex output
    else:
        while capture.first is None and time.monotonic() - began < 20:
            time.sleep(0.005)
        shown = capture.first
    return scratch, master, slave, device, process, capture, (shown - began) if shown else None


def stop(scratch, master, slave, process):
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    # A lock file the program left behind names it: it is gone, and so is its lock.
    for lock in glob.glob('/run/lock/LCK..*') + glob.glob('/var/lock/LCK..*'):
        try:
            found = re.search(rb'\d+', open(lock, 'rb').read(64))
            if found and int(found.group()) == process.pid:
                os.remove(lock)
        except OSError:
            pass
    os.close(master)
    os.close(slave)
    shutil.rmtree(scratch, ignore_errors=True)


def queued(slave):
    """Bytes the line holds that its reader has not taken."""
    n = array.array('i', [0])
    fcntl.ioctl(slave, termios.FIONREAD, n)
    return n[0]


def drain(master, slave, megabytes, limit=120.0):
    """MB/s of a flood of records written as fast as the reader takes them."""
    data = b''.join(record(i) for i in range(int(megabytes * 1e6) // RECORD))
    flags = fcntl.fcntl(master, fcntl.F_GETFL)
    fcntl.fcntl(master, fcntl.F_SETFL, flags & ~os.O_NONBLOCK)
    begin = time.monotonic()
    view = memoryview(data)
    while view:
        view = view[os.write(master, view[:65536]):]
    while queued(slave) > 0 and time.monotonic() - begin < limit:
        time.sleep(0.0005)
    seconds = time.monotonic() - begin
    fcntl.fcntl(master, fcntl.F_SETFL, flags)
    return len(data) / 1e6 / seconds


def measure(name, build, load_seconds):
    result = {'name': name, 'load_before': os.getloadavg()[0]}
    scratch, master, slave, device, process, capture, start_s = launch(name, build)
    result['start_s'] = start_s if start_s is not None else float('nan')
    time.sleep(2)
    # Idle: nothing arrives for 10 s.
    cpu0 = cpu_seconds(process.pid)
    time.sleep(10)
    result['idle_pct'] = (cpu_seconds(process.pid) - cpu0) / 10 * 100
    # Does it read the port at all?
    reads = any(os.path.realpath(f'/proc/{process.pid}/fd/{fd}') == device for fd in os.listdir(f'/proc/{process.pid}/fd'))
    result['port_open'] = reads
    feeder = Feeder(master)
    cpu0 = cpu_seconds(process.pid)
    began = time.monotonic()
    feeder.feed(25600, load_seconds)
    time.sleep(2)
    cpu = cpu_seconds(process.pid) - cpu0
    result.update(sent=feeder.sent + feeder.dropped, lost=feeder.dropped, cpu_s_per_mb=cpu / ((feeder.sent) / 1e6),
                  cpu_pct=cpu / (time.monotonic() - began) * 100)
    if capture:
        result['shown'] = capture.records() * RECORD
    if reads:
        result['drain1'] = drain(master, slave, 1)
        result['drain10'] = drain(master, slave, 10)
    result['peak_rss_mb'] = peak_rss_mb(process.pid)
    result['load_after'] = os.getloadavg()[0]
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
    names = sys.argv[4:] or NAMES
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
            for name in names:
                print(name, 'start-up (s):', startups(build, name, 5), flush=True)
            return
        results = []
        for name in names:
            r = measure(name, build, load_seconds)
            print(r, flush=True)
            results.append(r)
    finally:
        xvfb.kill()
        xvfb.wait()
    with open(f'{out}/results.dat', 'w') as dat:
        dat.write('# name start_s idle_pct cpu_pct cpu_s_per_mb peak_rss_mb lost drain1_mb_s drain10_mb_s '
                  'load_before load_after\n')
        for r in results:
            # A program that never opened the port has no load figures: '?' is missing to gnuplot.
            opened = r['port_open']
            figure = lambda key, form: format(r[key], form) if opened else '?'
            dat.write(f"{r['name']} {r['start_s']:.3f} {r['idle_pct']:.2f} {figure('cpu_pct', '.2f')} "
                      f"{figure('cpu_s_per_mb', '.3f')} {r['peak_rss_mb']:.1f} {figure('lost', 'd')} "
                      f"{figure('drain1', '.2f')} {figure('drain10', '.2f')} {r['load_before']:.2f} {r['load_after']:.2f}\n")


if __name__ == '__main__':
    main()
