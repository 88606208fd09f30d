#!/usr/bin/env python3
"""A Hayes-style dial-up modem on a pseudo-terminal, with a simulated meter behind it.

The simulator opens a pty, prints the device path of its slave side as the first line on stdout
and then behaves like a modem on that line: AT commands in command mode, a dial that answers
CONNECT (or whatever --answer says) after a delay, transparent data to and from the meter in data
mode, and the "+++" escape with guard time followed by ATH0 to hang up. With --scenario it starts
meter_sim.py (beside this file) as the far end of the call. See README.md beside this file.
"""

import argparse
import os
import select
import signal
import subprocess
import sys
import termios
import time
import tty

from norvale_sim.event_log import EventLog
from norvale_sim.pty_server import Stopped, open_pty, stop_on_signals

CR, LF, BS, DEL = 13, 10, 8, 127
PLUS = ord("+")
MAX_LINE = 255  # a real modem's command buffer is smaller still; longer lines get ERROR
MAX_QUEUE = 1 << 20  # bytes waiting for a reader; beyond this they are lost, as on a line
METER_START_SECONDS = 15.0

# States
COMMAND = "command"  # on-hook, taking AT commands
DIALING = "dialing"  # waiting --connect-delay for the far end
DATA = "data"  # connected, bytes pass through
ONLINE = "online"  # connected, escaped to commands (ATO back, ATH0 hangs up)


class Modem:
    def __init__(self, echo, answer, connect_delay, guard, event_log):
        self.echo = self.initial_echo = echo
        self.answer = answer
        self.connect_delay = connect_delay
        self.guard = guard
        self.event_log = event_log
        self.state = COMMAND
        self.line = bytearray()
        self.line_overflow = False
        self.last_rx = float("-inf")  # the program's last byte, for the escape's guard time
        self.plus_count = 0  # escape characters held back, not yet passed as data
        self.plus_first = 0.0
        self.plus_last = 0.0
        self.dial_due = None
        self.to_program = bytearray()
        self.to_meter = bytearray()
        self.sent_to_meter = 0
        self.sent_from_meter = 0

    # --- output ---

    def log(self, entry):
        self.event_log.write(entry)

    def reply(self, text):
        self.queue_program(b"\r\n" + text.encode("latin-1", "replace") + b"\r\n")

    def queue_program(self, data):
        if len(self.to_program) + len(data) <= MAX_QUEUE:
            self.to_program += data

    def pass_to_meter(self, data):
        self.sent_to_meter += len(data)
        if len(self.to_meter) + len(data) <= MAX_QUEUE:
            self.to_meter += data

    def in_call(self):
        return self.state in (DATA, ONLINE)

    def log_data(self):
        self.log({"event": "data", "to_meter": self.sent_to_meter,
                  "from_meter": self.sent_from_meter})
        self.sent_to_meter = self.sent_from_meter = 0

    def hang_up(self):
        self.log_data()
        self.log({"event": "hangup"})
        self.state = COMMAND
        self.plus_count = 0
        self.line.clear()

    def connected(self):
        return self.answer.upper().startswith("CONNECT")

    # --- timers ---

    def next_deadline(self):
        times = []
        if self.dial_due is not None:
            times.append(self.dial_due)
        if self.plus_count:
            times.append((self.plus_last if self.plus_count == 3 else self.plus_first)
                         + self.guard)
        return min(times) if times else None

    def tick(self, now):
        if self.state == DIALING and now >= self.dial_due:
            self.dial_due = None
            if self.answer.lower() != "none":
                self.reply(self.answer)
            if self.connected():
                self.state = DATA
                self.log({"event": "connect"})
            else:
                self.state = COMMAND
        if self.plus_count and self.state == DATA:
            if self.plus_count < 3 and now - self.plus_first > self.guard:
                self.release_pluses()  # too slow for an escape: they were data
            elif self.plus_count == 3 and now - self.plus_last >= self.guard:
                self.plus_count = 0
                self.state = ONLINE
                self.line.clear()
                self.log({"event": "escape"})
                self.reply("OK")

    def release_pluses(self):
        self.pass_to_meter(b"+" * self.plus_count)
        self.plus_count = 0

    # --- input ---

    def from_meter(self, data):
        if self.state == DATA:  # otherwise the line is not through: dropped
            self.sent_from_meter += len(data)
            self.queue_program(data)

    def from_program(self, data, now):
        self.tick(now)
        for byte in data:
            if self.state == DATA:
                self.data_byte(byte, now)
            elif self.state == DIALING:
                pass  # a real modem would abort the dial; the program sends nothing here
            else:
                self.command_byte(byte)
            self.last_rx = now

    def data_byte(self, byte, now):
        if self.plus_count:
            if byte == PLUS and self.plus_count < 3 and now - self.plus_first <= self.guard:
                self.plus_count += 1
                self.plus_last = now
                return
            self.release_pluses()
        if byte == PLUS and now - self.last_rx >= self.guard:
            self.plus_count = 1  # held back until we know whether it is an escape
            self.plus_first = self.plus_last = now
            return
        self.pass_to_meter(bytes((byte,)))

    def command_byte(self, byte):
        if self.echo:
            self.queue_program(bytes((byte,)))
        if byte == LF:
            return
        if byte in (BS, DEL):
            if self.line:
                self.line.pop()
            return
        if byte != CR:
            if len(self.line) < MAX_LINE:
                self.line.append(byte)
            else:
                self.line_overflow = True
            return
        text = self.line.decode("latin-1").strip()
        overflow = self.line_overflow
        self.line.clear()
        self.line_overflow = False
        if not text:
            return  # a lone CR: no answer
        self.log({"event": "command", "text": text})
        if overflow or text[:2].upper() != "AT":
            self.reply("ERROR")
            return
        self.execute(text[2:])

    def execute(self, body):
        """Runs the commands after "AT" in order; D takes the rest of the line."""
        i, n = 0, len(body)
        while i < n:
            c = body[i].upper()
            i += 1
            if c == "D":
                if self.state != COMMAND:
                    self.reply("ERROR")  # already in a call
                    return
                number = body[i:].strip()
                if number[:1].upper() in ("T", "P"):
                    number = number[1:].strip()
                self.log({"event": "dial", "number": number})
                self.state = DIALING
                self.dial_due = time.monotonic() + self.connect_delay
                return
            digits = ""
            if c in "&\\%" and i < n:
                c += body[i].upper()
                i += 1
            if c == "S":  # S<n>=<v> or S<n>?
                while i < n and (body[i].isdigit() or body[i] in "=?"):
                    i += 1
                continue
            while i < n and body[i].isdigit():
                digits += body[i]
                i += 1
            if c == "E":
                self.echo = digits not in ("", "0")
            elif c == "H" and digits in ("", "0"):
                if self.in_call():
                    self.hang_up()
            elif c == "Z":
                self.echo = self.initial_echo
                if self.in_call():
                    self.hang_up()
            elif c == "O":
                if self.state != ONLINE:
                    self.reply("NO CARRIER")  # nothing to go back on line to
                    return
                self.state = DATA
                self.reply(self.answer)
                return
        self.reply("OK")


# --- ptys and the meter ----------------------------------------------------------------------


def start_meter(scenario, meter_args):
    """Starts meter_sim.py and returns (process, client fd on its pty)."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "meter_sim.py")
    process = subprocess.Popen([sys.executable, script, "--scenario", scenario, *meter_args],
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
    line = b""
    give_up = time.monotonic() + METER_START_SECONDS
    while not line.endswith(b"\n") and time.monotonic() < give_up:
        readable, _, _ = select.select([process.stdout], [], [], 0.1)
        if readable:
            chunk = os.read(process.stdout.fileno(), 4096)
            if not chunk:
                break
            line += chunk
    path = line.decode(errors="replace").strip()
    if not path:
        stop_meter(process)
        raise RuntimeError(f"the meter simulator did not start (status {process.returncode})")
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    tty.setraw(fd, termios.TCSANOW)
    return process, fd


def stop_meter(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=3)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    if process.stdout:
        process.stdout.close()


def write_some(fd, queue):
    try:
        written = os.write(fd, queue)
    except BlockingIOError:
        return
    except OSError:
        written = len(queue)  # no reader at all: the bytes are lost
    del queue[:written]


def run(modem, master, fds):
    """`fds["meter"]` is the meter's line, None once it is gone (closed here, not by main)."""
    while True:
        meter_fd = fds["meter"]
        now = time.monotonic()
        modem.tick(now)
        if meter_fd is None:
            modem.to_meter.clear()  # no far end: data goes nowhere
        readers = [master] + ([meter_fd] if meter_fd is not None else [])
        writers = ([master] if modem.to_program else []) + (
            [meter_fd] if meter_fd is not None and modem.to_meter else [])
        timeout = 0.2
        deadline = modem.next_deadline()
        if deadline is not None:
            timeout = min(timeout, max(0.0, deadline - now))
        try:
            readable, writable, _ = select.select(readers, writers, [], timeout)
        except InterruptedError:
            continue
        if master in writable:
            write_some(master, modem.to_program)
        if meter_fd is not None and meter_fd in writable:
            write_some(meter_fd, modem.to_meter)
        if master in readable:
            try:
                data = os.read(master, 4096)
            except BlockingIOError:
                data = b""
            except OSError:
                data = b""  # no client; we hold the slave open, so this should not last
                time.sleep(0.05)
            if data:
                modem.from_program(data, time.monotonic())
        if meter_fd is not None and meter_fd in readable:
            try:
                data = os.read(meter_fd, 4096)
            except BlockingIOError:
                continue
            except OSError:
                data = b""
            if data:
                modem.from_meter(data)
            else:  # the meter simulator closed its line (a drop fault) or ended
                os.close(meter_fd)
                fds["meter"] = None
                if modem.in_call():
                    modem.reply("NO CARRIER")
                    modem.hang_up()


def main(argv=None):
    parser = argparse.ArgumentParser(description="Hayes-style modem simulator on a pty.")
    parser.add_argument("--scenario", "-s",
                        help="start meter_sim.py with this scenario behind the modem")
    parser.add_argument("--meter-arg", action="append", default=[], metavar="ARG",
                        help="pass ARG on to meter_sim.py (repeatable; write --meter-arg=--x)")
    parser.add_argument("--echo", choices=("on", "off"), default="on",
                        help="command echo at start (default on)")
    parser.add_argument("--connect-delay", type=float, default=1.0, metavar="SECONDS",
                        help="seconds from the dial command to the answer (default 1.0)")
    parser.add_argument("--answer", default="CONNECT 9600",
                        help='result of a dial (default "CONNECT 9600"; "none": silence)')
    parser.add_argument("--guard", type=float, default=1.0, metavar="SECONDS",
                        help="escape guard time (default 1.0)")
    parser.add_argument("--log", help="append one JSON line per event to this file")
    args = parser.parse_args(argv)
    if args.connect_delay < 0 or args.guard < 0:
        print("modem_sim: --connect-delay and --guard must not be negative", file=sys.stderr)
        return 2
    if args.meter_arg and not args.scenario:
        print("modem_sim: --meter-arg needs --scenario", file=sys.stderr)
        return 2

    stop_on_signals()

    meter = None
    fds = {"meter": None}
    master = slave = None
    event_log = None
    modem = None
    try:
        if args.scenario:
            try:
                meter, fds["meter"] = start_meter(args.scenario, args.meter_arg)
            except (OSError, RuntimeError) as error:
                print(f"modem_sim: {error}", file=sys.stderr)
                return 2
        event_log = EventLog(args.log)
        master, slave, path = open_pty()
        modem = Modem(args.echo == "on", args.answer, args.connect_delay, args.guard, event_log)
        print(path, flush=True)
        run(modem, master, fds)
    except Stopped:
        pass
    finally:
        # A second stop request while the meter is being stopped must not cut the clean-up short.
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        if modem is not None and (modem.in_call() or modem.sent_to_meter
                                  or modem.sent_from_meter):
            modem.log_data()
        for fd in (master, slave, fds["meter"]):
            if fd is not None:
                os.close(fd)
        if meter is not None:
            stop_meter(meter)
        if event_log is not None:
            event_log.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
