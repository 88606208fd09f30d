"""The simulator on a pseudo-terminal, and its command line (which may put it on TCP instead);
the pty and the stop signals are shared with the modem simulator."""

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
from .tcp_server import Listener, PortLog, parse_listen, serve


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


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Norvale flow meter simulator on a pty or TCP.")
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
    parser.add_argument("--listen", type=listen_option, action="append", default=[],
                        metavar="MODE:PORT",
                        help="listen on TCP instead of a pty: tcp:PORT (raw) or rfc2217:PORT "
                             "(telnet, RFC 2217); PORT 0 takes a free one; repeatable, one meter "
                             "each")
    parser.add_argument("--listen-host", default="127.0.0.1", metavar="HOST",
                        help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--refuse-com-port", action="store_true",
                        help="rfc2217 listeners refuse the COM-PORT-OPTION")
    return parser.parse_args(argv)


def listen_option(text):
    try:
        return parse_listen(text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None


def option_problem(args):
    if args.baud < 0:
        return "--baud must be positive"
    if args.listen and args.link:
        return "--link needs the pty; there is no device to link with --listen"
    if args.refuse_com_port and not any(mode == "rfc2217" for mode, _ in args.listen):
        return "--refuse-com-port needs an rfc2217 listener"
    return None


def build_meters(args, count):
    """`count` independent meters from the scenario and options, each with its own faults (they
    count requests)."""
    scenario = load_scenario(args.scenario)
    if args.slave is not None:
        scenario["slave"] = args.slave
    faults = list(scenario.get("faults", [])) + list(args.fault)
    faults += [{"action": "silent", "function": f} for f in args.silent]
    faults += [{"action": "bad_crc", "function": f} for f in args.bad_crc]
    if args.drop_after is not None:
        faults.append({"action": "drop", "after": args.drop_after})
    return [(Meter(scenario), [Fault(desc) for desc in faults]) for _ in range(count)]


def main(argv=None):
    args = parse_args(argv)
    listeners = []
    try:
        meters = build_meters(args, max(1, len(args.listen)))
        problem = option_problem(args)
        for mode, port in [] if problem else args.listen:
            listeners.append(Listener(mode, args.listen_host, port, args.refuse_com_port))
    except (OSError, ValueError, KeyError, TypeError, ArithmeticError, struct.error) as error:
        problem = str(error)
    if problem:
        for listener in listeners:
            listener.close()
        print(f"meter_sim: {problem}", file=sys.stderr)
        return 2

    event_log = EventLog(args.log)
    if listeners:
        return serve_tcp(args, listeners, meters, event_log)
    return serve_pty(args, meters[0], event_log)


def serve_tcp(args, listeners, meters, event_log):
    for listener, (meter, faults) in zip(listeners, meters):
        listener.simulator = Simulator(meter, faults, args.baud, PortLog(event_log, listener.port))
    stop_on_signals()
    for listener in listeners:
        print(listener.address, flush=True)
    try:
        serve(listeners, args.baud)
    except Stopped:
        pass
    finally:
        for listener in listeners:
            listener.close()
        event_log.close()
    return 0


def serve_pty(args, meter_and_faults, event_log):
    master, slave, path = open_pty()
    if args.link:
        if os.path.islink(args.link):
            os.unlink(args.link)
        os.symlink(path, args.link)
    simulator = Simulator(*meter_and_faults, args.baud, event_log)
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
