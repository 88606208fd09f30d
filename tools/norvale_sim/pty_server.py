"""The simulator on a pseudo-terminal, and its command line; the pty and the stop signals are
shared with the modem simulator."""

import argparse
import os
import select
import signal
import struct
import sys
import termios
import time
import tty

from .event_log import EventLog
from .faults import Fault
from .line import Simulator
from .meter import Meter
from .scenario import load_scenario


class Stopped(Exception):
    """Raised by the SIGTERM and SIGINT handlers to leave the loop at once."""


def stop_on_signals():
    """SIGTERM and SIGINT raise Stopped wherever the program is."""
    def stop(signum, frame):
        raise Stopped()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)


def open_pty():
    master, slave = os.openpty()
    tty.setraw(slave, termios.TCSANOW)
    attributes = termios.tcgetattr(slave)
    attributes[3] &= ~termios.ECHO
    termios.tcsetattr(slave, termios.TCSANOW, attributes)
    os.set_blocking(master, False)
    return master, slave, os.ttyname(slave)


def write_all(fd, data, patience=1.0):
    """Writes everything, waiting while the pty's buffer is full. Bytes nobody takes within
    `patience` seconds are lost, as on a line with no one listening."""
    view = memoryview(data)
    give_up = time.monotonic() + patience
    while view and time.monotonic() < give_up:
        try:
            written = os.write(fd, view)
            view = view[written:]
        except BlockingIOError:
            select.select([], [fd], [], 0.05)


def run(simulator, master):
    while not simulator.dropped:
        now = time.monotonic()
        due = simulator.next_due()
        if due is not None and due <= now:
            write_all(master, simulator.take_due(now))
            continue
        timeout = 0.02 if simulator.buffer else 0.2
        if due is not None:
            timeout = min(timeout, max(0.0, due - now))
        try:
            readable, _, _ = select.select([master], [], [], timeout)
        except InterruptedError:
            continue
        now = time.monotonic()
        if readable:
            try:
                data = os.read(master, 4096)
            except BlockingIOError:
                continue
            except OSError:
                data = b""  # no client: the slave side is held open by us, so this is rare
            if data:
                simulator.received(data, now)
                continue
        simulator.idle(now)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Norvale flow meter simulator on a pty.")
    parser.add_argument("--scenario", "-s", help="scenario file (JSON)")
    parser.add_argument("--slave", type=int, help="Modbus address (default: scenario, else 1)")
    parser.add_argument("--baud", type=int, default=0,
                        help="pace replies at this line speed (default: unpaced)")
    parser.add_argument("--log", help="append one JSON line per request to this file")
    parser.add_argument("--link", help="also make a symbolic link with this name to the device")
    parser.add_argument("--fault", action="append", default=[], metavar="FAULT",
                        help='inject a fault, e.g. "silent,function=3,first=2" (repeatable)')
    parser.add_argument("--silent", type=int, metavar="FUNCTION", action="append", default=[],
                        help="never answer this function")
    parser.add_argument("--bad-crc", type=int, metavar="FUNCTION", action="append", default=[],
                        help="corrupt the CRC of every reply to this function")
    parser.add_argument("--drop-after", type=int, metavar="N",
                        help="close the line when request N + 1 arrives")
    args = parser.parse_args(argv)

    try:
        scenario = load_scenario(args.scenario)
        if args.slave is not None:
            scenario["slave"] = args.slave
        meter = Meter(scenario)
        faults = [Fault(desc) for desc in scenario.get("faults", [])]
        faults += [Fault(text) for text in args.fault]
        faults += [Fault({"action": "silent", "function": f}) for f in args.silent]
        faults += [Fault({"action": "bad_crc", "function": f}) for f in args.bad_crc]
        if args.drop_after is not None:
            faults.append(Fault({"action": "drop", "after": args.drop_after}))
    except (OSError, ValueError, KeyError, TypeError, ArithmeticError, struct.error) as error:
        print(f"meter_sim: {error}", file=sys.stderr)
        return 2
    if args.baud < 0:
        print("meter_sim: --baud must be positive", file=sys.stderr)
        return 2

    event_log = EventLog(args.log)
    master, slave, path = open_pty()
    if args.link:
        if os.path.islink(args.link):
            os.unlink(args.link)
        os.symlink(path, args.link)
    simulator = Simulator(meter, faults, args.baud, event_log)
    stop_on_signals()
    print(path, flush=True)
    try:
        run(simulator, master)
    except Stopped:
        pass
    finally:
        os.close(master)  # a dropped line: the client sees the far end vanish
        os.close(slave)
        if args.link and os.path.islink(args.link):
            os.unlink(args.link)
        event_log.close()
    return 0
