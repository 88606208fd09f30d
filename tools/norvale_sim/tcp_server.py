"""The simulator on TCP, raw (the meter's bytes as they are) or RFC 2217 (telnet with the
COM-PORT-OPTION): one client at a time per listener, every listener served by one selector."""

import selectors
import socket
import time

from .com_port import ComPort
from .telnet import BINARY, COM_PORT, DO, SGA, WILL, TelnetServer, escape, subnegotiation

MODES = ("tcp", "rfc2217")
BACKLOG = 8  # clients beyond the one served wait here until it closes
GREETING = ((DO, COM_PORT), (WILL, BINARY), (DO, BINARY), (WILL, SGA))
DEFAULT_BAUD = 9600  # what an unpaced line reports when asked for its speed


def parse_listen(text):
    """"tcp:0" -> ("tcp", 0); raises ValueError for anything else."""
    mode, sep, port = text.partition(":")
    if mode not in MODES or not sep or not port.isdigit() or int(port) > 65535:
        raise ValueError(f"{text!r} is not MODE:PORT (MODE {' or '.join(MODES)}, "
                         "PORT 0..65535)")
    return mode, int(port)


class PortLog:
    """The shared request log, each line marked with the listener's port."""

    def __init__(self, event_log, port):
        self.event_log = event_log
        self.port = port

    def write(self, entry):
        self.event_log.write({**entry, "port": self.port})


class Listener:
    def __init__(self, mode, host, port, refuse_com_port=False):
        try:
            family, kind, proto, _, address = socket.getaddrinfo(
                host, port, type=socket.SOCK_STREAM)[0]
            self.socket = socket.socket(family, kind, proto)
        except OSError as error:
            raise OSError(f"cannot listen on {host} port {port}: {error}") from None
        try:
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            self.socket.bind(address)
            self.socket.listen(BACKLOG)
        except OSError as error:
            self.socket.close()
            raise OSError(f"cannot listen on {host} port {port}: {error.strerror}") from None
        self.socket.setblocking(False)
        self.mode = mode
        self.refuse_com_port = refuse_com_port
        self.simulator = None  # set by the caller, once the port is known

    @property
    def port(self):
        return self.socket.getsockname()[1]

    @property
    def address(self):
        """The line printed for clients: tcp://127.0.0.1:40123, rfc2217://[::1]:40123."""
        host = self.socket.getsockname()[0]
        if self.socket.family == socket.AF_INET6:
            host = f"[{host}]"
        return f"{self.mode}://{host}:{self.port}"

    def accept(self, baud):
        try:
            sock, _ = self.socket.accept()
        except (BlockingIOError, ConnectionError):
            return None
        sock.setblocking(False)
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)  # paced slices leave on time
        return Connection(self, sock, baud)

    def close(self):
        self.socket.close()


class Connection:
    """One client of a listener: bytes in to its simulator, due replies out."""

    def __init__(self, listener, sock, baud):
        self.listener = listener
        self.socket = sock
        self.simulator = listener.simulator
        self.outgoing = bytearray()
        self.open = True
        self.telnet = None
        self.com_port = None
        if listener.mode == "rfc2217":
            his = {BINARY, SGA} if listener.refuse_com_port else {BINARY, SGA, COM_PORT}
            self.telnet = TelnetServer(his=his, ours={BINARY, SGA})
            if not listener.refuse_com_port:
                self.com_port = ComPort(self.simulator, baud or DEFAULT_BAUD)
            self.outgoing += b"".join(self.telnet.ask(verb, option)
                                      for verb, option in GREETING
                                      if option != COM_PORT or self.com_port)

    def read(self, now):
        try:
            data = self.socket.recv(65536)
        except BlockingIOError:
            return
        except OSError:
            data = b""
        if not data:
            self.open = False
        elif self.telnet is None:
            self.simulator.received(data, now)
        else:
            for event in self.telnet.feed(data):
                self.take(event, now)

    def take(self, event, now):
        kind = event[0]
        if kind == "data":
            self.simulator.received(event[1], now)
        elif kind == "send":
            self.outgoing += event[1]
        elif event[1] == COM_PORT and self.com_port is not None:
            answer = self.com_port.handle(event[2], now)
            if answer is not None:
                self.outgoing += subnegotiation(COM_PORT, answer)

    def pump(self, now):
        """Due replies out, an unfinished frame dropped after its silence."""
        simulator = self.simulator
        due = simulator.next_due()
        if due is not None and due <= now:
            data = simulator.take_due(now)
            self.outgoing += data if self.telnet is None else escape(data)
        idle = simulator.idle_due()
        if idle is not None and idle <= now:
            simulator.idle(now)
        self.write()

    def write(self):
        if not self.outgoing or not self.open:
            return
        try:
            sent = self.socket.send(self.outgoing)
            del self.outgoing[:sent]
        except BlockingIOError:
            pass
        except OSError:
            self.open = False

    def deadline(self):
        times = [t for t in (self.simulator.next_due(), self.simulator.idle_due()) if t is not None]
        return min(times, default=None)

    def close(self):
        self.socket.close()
        self.simulator.line_closed()


def serve(listeners, baud):
    """Runs until a signal raises out of the wait; `baud` is what --baud gave (0: unpaced)."""
    selector = selectors.DefaultSelector()
    connections = {}  # listener -> its client
    for listener in listeners:
        selector.register(listener.socket, selectors.EVENT_READ, listener)
    try:
        while True:
            for key, events in selector.select(timeout(connections.values())):
                now = time.monotonic()
                if isinstance(key.data, Listener):
                    connection = key.data.accept(baud)
                    if connection is None:
                        continue
                    selector.unregister(key.fileobj)  # the next client waits in the backlog
                    selector.register(connection.socket, selectors.EVENT_READ, connection)
                    connections[key.data] = connection
                elif events & selectors.EVENT_READ:
                    key.data.read(now)
            now = time.monotonic()
            for listener, connection in list(connections.items()):
                if connection.open and not connection.simulator.dropped:
                    connection.pump(now)
                if connection.open and not connection.simulator.dropped:
                    wanted = selectors.EVENT_READ
                    if connection.outgoing:
                        wanted |= selectors.EVENT_WRITE
                    if selector.get_key(connection.socket).events != wanted:
                        selector.modify(connection.socket, wanted, connection)
                    continue
                selector.unregister(connection.socket)
                connection.close()
                del connections[listener]
                selector.register(listener.socket, selectors.EVENT_READ, listener)
    finally:
        for connection in connections.values():
            connection.socket.close()
        selector.close()


def timeout(connections):
    deadlines = [d for d in (c.deadline() for c in connections) if d is not None]
    if not deadlines:
        return None
    return max(0.0, min(deadlines) - time.monotonic())
