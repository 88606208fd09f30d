"""The COM-PORT-OPTION (RFC 2217) on the server side: the client sets or asks the line's settings.
The simulator paces at the baud rate set and drops buffered bytes on a purge. No I/O."""

SERVER_OFFSET = 100  # the server answers command c as c + 100

COMMANDS = {0: "signature", 1: "set-baudrate", 2: "set-datasize", 3: "set-parity",
            4: "set-stopsize", 5: "set-control", 6: "notify-linestate",
            7: "notify-modemstate", 8: "flowcontrol-suspend", 9: "flowcontrol-resume",
            10: "set-linestate-mask", 11: "set-modemstate-mask", 12: "purge-data"}
SIGNATURE, SET_BAUDRATE, SET_CONTROL, PURGE_DATA = 0, 1, 5, 12
UNANSWERED = (6, 7, 8, 9)  # notifications and flow control suspend/resume carry no answer
PURGE_RECEIVED, PURGE_SENT = 1, 2  # bits of the PURGE-DATA value (3: both)

# SET-CONTROL carries several settings: a value either asks for one or sets it.
CONTROL_ASKS = {0: "flow", 4: "break", 7: "dtr", 10: "rts", 13: "inbound_flow"}
CONTROL_SETS = {1: "flow", 2: "flow", 3: "flow", 5: "break", 6: "break", 8: "dtr", 9: "dtr",
                11: "rts", 12: "rts", 14: "inbound_flow", 15: "inbound_flow",
                16: "inbound_flow", 17: "flow", 18: "flow", 19: "flow"}

SIGNATURE_TEXT = b"Norvale meter simulator"


class ComPort:
    """One client's view of the line: 8N1, no flow control, DTR and RTS on, at `baud`."""

    def __init__(self, simulator, baud):
        self.simulator = simulator
        self.settings = {SET_BAUDRATE: baud, 2: 8, 3: 1, 4: 1}  # data size, parity, stop size
        self.control = {"flow": 1, "break": 6, "dtr": 8, "rts": 11, "inbound_flow": 14}

    def handle(self, payload, now):
        """A subnegotiation's payload (command, value) -> the payload to answer, or None."""
        if not payload:
            return None
        code, value = payload[0], bytes(payload[1:])
        entry = {"seq": None, "action": "com-port", "command": COMMANDS.get(code, code)}
        answer = self.answer(code, value, now)
        if code == SIGNATURE:
            entry["value"] = value.decode("latin-1")
        else:
            entry["value"] = int.from_bytes(value, "big")
            if answer is not None and answer != value:
                entry["reply"] = int.from_bytes(answer, "big")
        self.simulator.log(entry)
        return None if answer is None else bytes((code + SERVER_OFFSET,)) + answer

    def answer(self, code, value, now):
        width = 4 if code == SET_BAUDRATE else 1
        number = int.from_bytes(value, "big") % (1 << 8 * width)  # a malformed value is cut
        if code == SIGNATURE:
            return None if value else SIGNATURE_TEXT  # a client's own signature needs no answer
        if code in UNANSWERED:
            return None
        if code == SET_CONTROL:
            return bytes((self.set_control(number),))
        if code == PURGE_DATA:
            if number & PURGE_RECEIVED:
                self.simulator.purge_received()
            if number & PURGE_SENT:
                self.simulator.purge_outgoing(now)
            return value
        if code not in self.settings:
            return value
        if number:
            self.settings[code] = number
            if code == SET_BAUDRATE:
                self.simulator.set_baud(number)
        return self.settings[code].to_bytes(width, "big")

    def set_control(self, value):
        if value in CONTROL_ASKS:
            return self.control[CONTROL_ASKS[value]]
        if value in CONTROL_SETS:
            self.control[CONTROL_SETS[value]] = value
        return value
