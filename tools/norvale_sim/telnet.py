"""The server side of telnet as a serial port server speaks it (RFC 854, 855, 856 BINARY, 858 SGA):
data apart from commands, option answers that cannot loop, subnegotiations handed on whole. No I/O.
"""

IAC, DONT, DO, WONT, WILL, SB, SE = 255, 254, 253, 252, 251, 250, 240
BINARY, SGA, COM_PORT = 0, 3, 44


def escape(data):
    """Data as sent: every 0xFF doubled, or the client takes it for a command."""
    return bytes(data).replace(b"\xff", b"\xff\xff")


def command(verb, option):
    return bytes((IAC, verb, option))


def subnegotiation(option, payload):
    return bytes((IAC, SB, option)) + escape(payload) + bytes((IAC, SE))


class TelnetServer:
    """`his` are the options the client may enable on its side (its WILL), `ours` those we enable
    on ours (our WILL). Each side of an option is "no", "asked" (we sent DO or WILL and wait) or
    "yes". We answer only a change of state and refuse an unknown option once, so two peers that
    keep disagreeing do not talk for ever."""

    MAX_SUBNEGOTIATION = 1024  # bytes kept of one subnegotiation; a longer one is cut there

    def __init__(self, his, ours):
        self.accepted = {WILL: set(his), DO: set(ours)}
        self.state = {WILL: {}, DO: {}}  # keyed by the verb the client uses for that side
        self.refused = set()
        self.parse_state = "data"
        self.verb = None
        self.option = None
        self.payload = bytearray()

    def ask(self, verb, option):
        """Our own DO or WILL, e.g. in the greeting."""
        side = WILL if verb == DO else DO
        self.state[side][option] = "asked"
        return command(verb, option)

    def enabled(self, verb, option):
        """Whether the client's side (WILL) or ours (DO) of `option` is on."""
        return self.state[verb].get(option) == "yes"

    def feed(self, data):
        """Bytes received -> events in order: ("data", bytes), ("send", answer bytes),
        ("sb", option, payload)."""
        events = []
        plain = bytearray()
        position = 0
        while position < len(data):
            if self.parse_state == "data":
                end = data.find(IAC, position)
                if end < 0:
                    end = len(data)
                plain += data[position:end]
                position = end
                if position < len(data):
                    self.parse_state = "iac"
                    position += 1
                continue
            byte = data[position]
            position += 1
            if self.parse_state == "iac" and byte == IAC:
                plain.append(IAC)
                self.parse_state = "data"
                continue
            event = self.step(byte)
            if event is not None:
                if plain:
                    events.append(("data", bytes(plain)))
                    plain.clear()
                events.append(event)
        if plain:
            events.append(("data", bytes(plain)))
        return events

    def step(self, byte):
        """One byte of a command; returns an event when the command is complete."""
        state = self.parse_state
        if state == "iac":
            self.parse_state = "data"
            if byte in (WILL, WONT, DO, DONT):
                self.verb = byte
                self.parse_state = "option"
            elif byte == SB:
                self.parse_state = "sb_option"
            return None  # NOP, GA, AYT and the like mean nothing here
        if state == "option":
            self.parse_state = "data"
            answer = self.negotiate(self.verb, byte)
            return ("send", answer) if answer else None
        if state == "sb_option":
            self.option = byte
            self.payload = bytearray()
            self.parse_state = "sb"
            return None
        if state == "sb":
            if byte == IAC:
                self.parse_state = "sb_iac"
            elif len(self.payload) < self.MAX_SUBNEGOTIATION:
                self.payload.append(byte)
            return None
        # sb_iac: IAC IAC is a data 0xFF, IAC SE the end; anything else ends it too, malformed
        if byte == IAC:
            if len(self.payload) < self.MAX_SUBNEGOTIATION:
                self.payload.append(IAC)
            self.parse_state = "sb"
            return None
        self.parse_state = "data" if byte == SE else "iac"
        event = ("sb", self.option, bytes(self.payload))
        if byte != SE:
            self.step(byte)
        return event

    def negotiate(self, verb, option):
        side = WILL if verb in (WILL, WONT) else DO
        yes, no = (DO, DONT) if side == WILL else (WILL, WONT)
        states = self.state[side]
        state = states.get(option, "no")
        if verb in (WILL, DO):
            if state == "yes":
                return b""
            if option in self.accepted[side]:
                states[option] = "yes"
                return b"" if state == "asked" else command(yes, option)
            if (side, option) in self.refused:
                return b""
            self.refused.add((side, option))
            return command(no, option)
        states[option] = "no"
        return command(no, option) if state == "yes" else b""
