#!/usr/bin/python3
"""The Windows program itself under Wine, on an X display, driven like an operator.

  run         the modem simulator on a pseudo-terminal mapped to COM1, the
              program in a working directory whose settings file names COM1;
              opens the port with a click on its toggle, ticks the poll, checks
              the simulator's request log (BCAS, 200 ms, CSV, every 500 ms),
              closes the window with WM_DELETE_WINDOW and checks the settings
              file the system's profile functions wrote.
  reconnect   as run, with [ComPort] Reconnect=1 and a simulator that is
              unplugged while the poll runs and plugged in again under the
              same path: no message box, the poll comes back by itself, and
              the station log has the loss and the reconnection.
  start-close the program starts, shows its main window and ends with exit
              code 0 when that window is closed (the zip's smoke test).

The caller sets DISPLAY, WINEPREFIX and, where the DLLs are not beside the
program, WINEPATH and WINEQT_PLUGIN_PATH (Wine hands QT_* variables to
Windows programs only under a WINE prefix). Debian's python3 with
python3-xlib. Exit code 0 when every check held.
"""
import argparse
import os
import statistics
import subprocess
import sys
import threading
import time

from Xlib import X, Xatom, display, error, protocol
from Xlib.ext import xtest

TITLE_PREFIX = "Varnetrix Reader v. "
# The main window's client area below its menu bar, and the two controls the
# operator uses here, in client coordinates (the window layout's numbers).
CLIENT_W, CLIENT_H = 529, 463
TOGGLE = (24 + 57 // 2, 64 + 25 // 2)  # SpeedButton1, "Open Port"
POLL = (328 + 16 + 40, 2 - 2 + 8)  # CheckBox1 in GroupBox1's frame line, on its text
NAVY = (0, 0, 128)

failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def quiet(args, **kw):
    # Wine's helper processes inherit pipes and hold them open: never pipe them.
    return subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, **kw)


class Screen:
    def __init__(self):
        self.d = display.Display()
        self.root = self.d.screen().root
        self.net_wm_name = self.d.intern_atom("_NET_WM_NAME")
        self.utf8 = self.d.intern_atom("UTF8_STRING")

    def name(self, w):
        prop = w.get_full_property(self.net_wm_name, self.utf8)
        if prop is not None:
            return prop.value.decode("utf-8", "replace") if isinstance(prop.value, bytes) else str(prop.value)
        name = w.get_wm_name()
        return name.decode("latin-1") if isinstance(name, bytes) else (name or "")

    def find(self, prefix, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for w in self.root.query_tree().children:
                try:
                    if w.get_attributes().map_state == X.IsViewable and self.name(w).startswith(prefix):
                        return w
                except error.XError:
                    pass  # gone meanwhile
            time.sleep(0.1)
        return None

    def count(self, prefix):
        n = 0
        for w in self.root.query_tree().children:
            try:
                if w.get_attributes().map_state == X.IsViewable and self.name(w).startswith(prefix):
                    n += 1
            except error.XError:
                pass
        return n

    def rect(self, w):
        g = w.get_geometry()
        at = self.root.translate_coords(w, 0, 0)
        return at.x, at.y, g.width, g.height

    def pixel(self, x, y):
        raw = self.root.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
        return raw[2], raw[1], raw[0]  # BGRX on a 24-bit screen

    def click(self, x, y):
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        self.d.sync()
        time.sleep(0.1)
        xtest.fake_input(self.d, X.ButtonPress, 1)
        self.d.sync()
        time.sleep(0.05)
        xtest.fake_input(self.d, X.ButtonRelease, 1)
        self.d.sync()

    def close(self, w):
        # What a window manager sends when the operator closes the window.
        protocols = self.d.intern_atom("WM_PROTOCOLS")
        delete = self.d.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=w, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        w.send_event(event, event_mask=X.NoEventMask)
        self.d.sync()


def client_origin(screen, rect):
    # Side and bottom frame are equally wide; caption and menu bar sit on top.
    x, y, w, h = rect
    border = (w - CLIENT_W) // 2
    return x + border, y + h - border - CLIENT_H


def start_program(exe, workdir, log):
    return subprocess.Popen(["wine", os.path.abspath(exe)], cwd=workdir, stdout=log, stderr=subprocess.STDOUT)


def wait_window(screen, program, timeout):
    w = screen.find(TITLE_PREFIX, timeout)
    if w is None and program.poll() is not None:
        check(False, f"the program ended (exit code {program.returncode}) without showing its window")
    else:
        check(w is not None, "the main window came up")
    return w


def close_and_wait(screen, w, program):
    screen.close(w)
    try:
        code = program.wait(timeout=30)
    except subprocess.TimeoutExpired:
        program.kill()
        check(False, "the program ended within 30 s of WM_DELETE_WINDOW")
        return
    check(code == 0, f"the program ended with exit code {code} after WM_DELETE_WINDOW")


def read_settings(workdir):
    path = os.path.join(workdir, "varnetrixreader.ini")
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


class SimLog:
    """The simulator's requests as it logs them, stamped as they arrive."""

    def __init__(self, sim):
        self.lines = []
        self.thread = threading.Thread(target=self._read, args=(sim.stderr,), daemon=True)
        self.thread.start()

    def _read(self, stream):
        for line in stream:
            self.lines.append((time.monotonic(), line.rstrip("\n")))

    def requests(self):
        prefix = "slm7650-sim: <- "
        return [(t, text[len(prefix):]) for t, text in list(self.lines) if text.startswith(prefix)]


def map_com1(prefix, target):
    quiet(["wine", "reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/t", "REG_SZ", "/d", target, "/f"])
    quiet(["wineserver", "-k"])
    quiet(["wine", "cmd", "/c", "exit"])  # the server starts anew and makes the device links
    link = os.path.realpath(os.path.join(prefix, "dosdevices", "com1"))
    return check(link == os.path.realpath(target), f"COM1 maps to the simulator's {target} (Wine: {link})")


def pacing(requests):
    """Checks the poll's requests; returns the lines for the report."""
    names = [r for _, r in requests]
    report = []
    t0 = requests[0][0] if requests else 0
    for t, r in requests:
        report.append(f"  {1000 * (t - t0):8.1f} ms  {r}")
    polls = [(t, r) for t, r in requests if r in ("<1/BCAS_", "<1/CSV_")]
    check(len(names) == len(polls), "only poll requests were sent: " + ", ".join(sorted(set(names))))
    check(len(polls) >= 10, f"{len(polls)} poll requests in the log")
    pairs_ok = all(polls[i][1] == ("<1/BCAS_" if i % 2 == 0 else "<1/CSV_") for i in range(len(polls)))
    check(pairs_ok, "BCAS then CSV, in turn, from the first request on")
    if len(polls) < 4 or not pairs_ok:
        return report
    bcas = [t for t, r in polls if r == "<1/BCAS_"]
    gaps = [1000 * (polls[i + 1][0] - polls[i][0]) for i in range(0, len(polls) - 1, 2)]
    periods = [1000 * (b - a) for a, b in zip(bcas, bcas[1:])]
    # The pause is a lower bound whatever the load; the upper bounds only
    # catch a sequence that is plainly paced wrong.
    check(min(gaps) >= 195 and statistics.median(gaps) < 300,
          f"BCAS to CSV {min(gaps):.0f}..{max(gaps):.0f} ms (median {statistics.median(gaps):.0f}; 200 ms pause)")
    mean = (bcas[-1] - bcas[0]) * 1000 / (len(bcas) - 1)
    check(450 <= mean <= 560,
          f"BCAS every {mean:.1f} ms on average ({min(periods):.0f}..{max(periods):.0f}; timer of 500 ms)")
    return report


def run_e2e(args):
    screen = Screen()
    sim = subprocess.Popen([args.sim, "-v", "--seed", "7650"], stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, text=True)
    try:
        pty = sim.stdout.readline().strip()
        log = SimLog(sim)
        if not check(pty.startswith("/dev/pts/"), f"the simulator serves {pty!r}"):
            return
        if not map_com1(os.environ["WINEPREFIX"], pty):
            return
        os.makedirs(args.workdir, exist_ok=True)
        ini = os.path.join(args.workdir, "varnetrixreader.ini")
        # A settings file as a Windows user keeps it (CRLF), naming COM1, with a
        # channel section the program only reads.
        with open(ini, "wb") as f:
            f.write(b"[ComPort]\r\nPort=COM1\r\nBaudRate=9600\r\n\r\n[Frequency]\r\nMetop-A=1701.300000\r\n")
        with open(os.path.join(args.out, "program.log"), "wb") as plog:
            program = start_program(args.exe, args.workdir, plog)
            try:
                drive(screen, program, log, args)
            finally:
                if program.poll() is None:
                    program.kill()
        after = read_settings(args.workdir)
        if check(after is not None, "the settings file is there after the close"):
            text = after.decode("latin-1")
            print("settings file after the close:\n" + "".join("  | " + l + "\n" for l in text.split("\r\n")))
            expected = ["[ComPort]", "Port=COM1", "BaudRate=9600", "[Recall]", "Recall1=MetOp",
                        "Recall2=FY3A", "Recall3=FY3B", "Recall4=LRIT", "Recall5=Conf.5",
                        "[Frequency]", "Metop-A=1701.300000"]
            lines = text.split("\r\n")
            check(all(e in lines for e in expected),
                  "it holds the port, the five recall captions and the untouched channel key")
            check("\n" not in text.replace("\r\n", ""), "every line ends in CRLF, as Windows writes it")
    finally:
        sim.terminate()
        sim.wait(timeout=10)


def drive(screen, program, log, args):
    w = wait_window(screen, program, args.timeout)
    if w is None:
        return
    time.sleep(1.0)  # the first paint
    rect = screen.rect(w)
    cx, cy = client_origin(screen, rect)
    print(f"main window at {rect[0]},{rect[1]} size {rect[2]} x {rect[3]}; client area at {cx},{cy}")
    if not check(screen.pixel(cx + 2, cy + 2) == NAVY and screen.pixel(cx + 2, cy + 380) == NAVY
                 and screen.pixel(cx + 2, cy - 1) != NAVY, "the navy client area is where the layout puts it"):
        return
    screen.click(cx + TOGGLE[0], cy + TOGGLE[1])
    time.sleep(0.5)
    check(not log.requests(), "opening the port sends nothing")
    screen.click(cx + POLL[0], cy + POLL[1])
    time.sleep(args.poll_seconds)
    shot(rect, args.screenshot)
    time.sleep(0.3)
    requests = log.requests()
    report = pacing(requests)
    print("requests on the simulator's log (time since the first):")
    print("\n".join(report))
    close_and_wait(screen, w, program)


def shot(rect, path):
    if not path:
        return
    x, y, w, h = rect
    quiet(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage", path])
    check(os.path.exists(path), f"screenshot {path}")


def run_reconnect(args):
    screen = Screen()
    link = os.path.join(os.path.abspath(args.out), "modem")
    after, away = args.unplug_after, 3
    sim = subprocess.Popen([args.sim, "-v", "--seed", "7650", "--link", link, "--unplug", f"{after}:{away}"],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        sim.stdout.readline()
        log = SimLog(sim)
        # COM1 names the stable path, as a USB adapter's by-id name: the
        # adapter plugged in again is found there.
        if not map_com1(os.environ["WINEPREFIX"], link):
            return
        os.makedirs(args.workdir, exist_ok=True)
        with open(os.path.join(args.workdir, "varnetrixreader.ini"), "wb") as f:
            f.write(b"[ComPort]\r\nPort=COM1\r\nBaudRate=9600\r\nReconnect=1\r\n")
        with open(os.path.join(args.out, "program.log"), "wb") as plog:
            program = start_program(args.exe, args.workdir, plog)
            try:
                w = wait_window(screen, program, args.timeout)
                if w is None:
                    return
                time.sleep(1.0)
                cx, cy = client_origin(screen, screen.rect(w))
                screen.click(cx + TOGGLE[0], cy + TOGGLE[1])
                time.sleep(0.5)
                screen.click(cx + POLL[0], cy + POLL[1])
                back = None
                deadline = time.monotonic() + after + away + 60
                while back is None and time.monotonic() < deadline:
                    back = next((t for t, line in list(log.lines) if "plugged in again" in line), None)
                    time.sleep(0.2)
                if not check(back is not None, "the simulator was unplugged and plugged in again"):
                    return
                unplugged = next(t for t, line in log.lines if "unplugged" in line)
                before = [r for t, r in log.requests() if t < unplugged]
                check("<1/BCAS_" in before, "the poll ran before the line was lost")
                time.sleep(12)  # attempts after 1, 2 and 4 s, then the poll
                polls = [(t, r) for t, r in log.requests() if t > back]
                check(len([r for _, r in polls if r == "<1/BCAS_"]) >= 4,
                      f"the poll came back by itself: {len(polls)} requests after the line returned"
                      + (f", the first {polls[0][0] - back:.1f} s after it" if polls else ""))
                check(screen.count(TITLE_PREFIX) == 1, "no message box: the main window is the program's one window")
                close_and_wait(screen, w, program)
            finally:
                if program.poll() is None:
                    program.kill()
        logs = os.path.join(args.workdir, "logs")
        events = ""
        for name in sorted(os.listdir(logs)) if os.path.isdir(logs) else []:
            if name.startswith("events-"):
                with open(os.path.join(logs, name), encoding="utf-8", errors="replace") as f:
                    events += f.read()
        print("station log:\n" + "".join("  | " + l + "\n" for l in events.splitlines()))
        check(" port-lost COM1" in events and " port-reconnected COM1" in events,
              "the station log has the lost line and the reconnection")
    finally:
        sim.terminate()
        sim.wait(timeout=10)


def run_start_close(args):
    screen = Screen()
    os.makedirs(args.workdir, exist_ok=True)
    with open(os.path.join(args.out, "program.log"), "wb") as plog:
        program = start_program(args.exe, args.workdir, plog)
        try:
            w = wait_window(screen, program, args.timeout)
            if w is not None:
                time.sleep(1.0)
                shot(screen.rect(w), args.screenshot)
                close_and_wait(screen, w, program)
        finally:
            if program.poll() is None:
                program.kill()
    after = read_settings(args.workdir)
    check(after is not None and b"Recall5=Conf.5" in after and b"Port=COM1" in after,
          "the settings file was written at the close")


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("mode", choices=["run", "reconnect", "start-close"])
    p.add_argument("--exe", required=True, help="the program, as Wine names it or as a Unix path")
    p.add_argument("--workdir", required=True, help="its working directory")
    p.add_argument("--out", required=True, help="where logs go")
    p.add_argument("--sim", help="the modem simulator (run)")
    p.add_argument("--screenshot", help="PNG of the main window")
    p.add_argument("--timeout", type=float, default=120, help="seconds for the window to come up")
    p.add_argument("--poll-seconds", type=float, default=3.3, help="how long the poll runs")
    p.add_argument("--unplug-after", type=float, default=25,
                   help="reconnect: seconds from the simulator's start to the unplugging")
    args = p.parse_args()
    os.makedirs(args.out, exist_ok=True)
    if args.mode in ("run", "reconnect"):
        if not args.sim:
            p.error(f"{args.mode} needs --sim")
        (run_e2e if args.mode == "run" else run_reconnect)(args)
    else:
        run_start_close(args)
    print(f"{'passed' if not failures else 'FAILED'}: {len(failures)} check(s) failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
