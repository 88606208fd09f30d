"""A simulated meter: what it holds (registers, log memory, pointers, live values), its answers."""

from .keypad import Keypad
from .live import Live, display_lines, has_fields, render_line
from .log_memory import RECORD_BYTES, RING_BYTES, LogMemory, check_ring_pointer, pointer_to_pos
from .scenario import check_keys, load_channels, load_log, parse_byte, parse_bytes
from .wire import exception_reply, meter_float, with_crc

DISPLAY_FIRST_REGISTER = 24
DISPLAY_LAST_REGISTER = 63
DISPLAY_LINE_CHARS = 20
STATUS_FIRST_REGISTER = 76
STATUS_BYTES = 16
KEY_REGISTER = 208


class Meter:
    """What the meter holds: registers, log memory, set-up records, pointers and live values."""

    def __init__(self, scenario):
        check_keys(scenario)
        self.slave = int(scenario.get("slave", 1))
        self.portable = bool(scenario.get("portable", False))
        self.memory = LogMemory()
        self.registers = {}
        self.keys = []

        load_channels(self.memory, scenario.get("channels", []))
        log = scenario.get("log", {})
        start = check_ring_pointer(log.get("start", [8, 128, 0]), "log.start")
        end = load_log(self.memory, log, start)
        if "end" in log:
            end = check_ring_pointer(log["end"], "log.end")
        self.start_pointer = start
        self.end_pointer = end
        self.last_download = check_ring_pointer(
            scenario.get("last_download", log.get("last_download", start)), "last_download")
        self._load_status(scenario, log)
        self._load_display(scenario.get("display", []))
        self.live = Live(scenario.get("live", {}), scenario.get("script", []))
        keypad = scenario.get("keypad", False)
        self.keypad = (None if keypad is False or keypad is None
                       else Keypad(keypad, self.slave, self.live.reset_totals))
        # Only a display that changes is drawn at each read; a fixed one stays in the registers.
        self.display_changes = bool(
            self.keypad or any(has_fields(line) for line in self.display)
            or any(display is not None for _, _, display in self.live.script))
        for register, value in scenario.get("registers", {}).items():
            self.registers[int(register, 0)] = int(value) & 0xFFFF

    def _load_status(self, scenario, log):
        # The meter counts as used what it logged after the last download, so that both a whole
        # download and one "since last time" pass the program's check of the count.
        logged = (pointer_to_pos(self.end_pointer) - pointer_to_pos(self.start_pointer)) % RING_BYTES
        since = (pointer_to_pos(self.end_pointer) - pointer_to_pos(self.last_download)) % RING_BYTES
        used = (since if since <= logged else logged) // RECORD_BYTES
        status = scenario.get("status", {})
        records_used = status.get("records_used", used)
        records_available = status.get("records_available", RING_BYTES // RECORD_BYTES - used)
        block = bytearray(STATUS_BYTES)
        first = 0 if self.portable else 1  # the portable meter's block starts one byte earlier
        block[first:first + 3] = bytes(self.start_pointer)
        block[first + 4:first + 7] = bytes(self.end_pointer)
        block[first + 7:first + 11] = meter_float(records_used)
        block[first + 11:first + 15] = meter_float(records_available)
        if "raw" in status:
            raw = parse_bytes(status["raw"], "status.raw")
            if len(raw) != STATUS_BYTES:
                raise ValueError("status.raw: the status block is 16 bytes")
            block[:] = raw
        for index, value in status.get("bytes", {}).items():
            position = int(index, 0)
            if not 1 <= position <= STATUS_BYTES:
                raise ValueError(f"status.bytes: byte {position} is outside 1..16")
            block[position - 1] = parse_byte(value, f"status.bytes[{index}]")
        self.status_block = bytes(block)
        for i in range(STATUS_BYTES // 2):
            self.registers[STATUS_FIRST_REGISTER + i] = block[2 * i] << 8 | block[2 * i + 1]

    def _load_display(self, lines):
        display_lines(lines, "display")
        self.display = [lines[n] if n < len(lines) else "" for n in range(4)]
        self._write_display(self.display)

    def _write_display(self, lines):
        for n, text in enumerate(lines):
            data = text.encode("latin-1", "replace")[:DISPLAY_LINE_CHARS].ljust(
                DISPLAY_LINE_CHARS, b" ")
            first = DISPLAY_FIRST_REGISTER + 10 * n
            for i in range(10):
                self.registers[first + i] = data[2 * i] << 8 | data[2 * i + 1]

    def refresh_display(self, now):
        values = self.live.values(now)[0]
        home = list(self.display)
        for after, _, display in self.live.script:
            if display is not None and values["t"] >= after:
                for n, line in enumerate(display):
                    if line is not None:  # null, or a shorter list, keeps a line as it was
                        home[n] = line
        home = [render_line(line, values) for line in home]
        self._write_display(self.keypad.lines(home, values) if self.keypad else home)

    def press(self, key, now):
        if self.keypad is not None:
            self.keypad.press(chr(key), now)

    def read_register(self, register):
        return self.registers.get(register, 0)

    # --- Requests, one method per function code ---

    def answer(self, frame, entry, now):
        """The reply to a request whose CRC and address are good, at time `now`, and what was
        done: "answered", or "exception" with its code put in `entry`."""
        answer = self.ANSWERS.get(frame[1])
        if answer is None:
            return self._refuse(frame, 1, entry)  # illegal function
        return answer(self, frame, entry, now)

    @staticmethod
    def _refuse(frame, code, entry):
        entry["code"] = code
        return exception_reply(frame, code), "exception"

    def _read_registers(self, frame, entry, now):
        start, count = entry["start"], entry["count"]
        if not 1 <= count <= 125:
            return self._refuse(frame, 3, entry)
        if (self.display_changes and start <= DISPLAY_LAST_REGISTER
                and start + count > DISPLAY_FIRST_REGISTER):
            self.refresh_display(now)
        data = bytearray()
        for register in range(start, start + count):
            value = self.read_register(register & 0xFFFF)
            data += bytes((value >> 8, value & 0xFF))
        return with_crc(bytes((frame[0], 3, len(data))) + data), "answered"

    def _write_registers(self, frame, entry, now):
        start, count = entry["start"], entry["count"]
        if not 1 <= count <= 123 or frame[6] != 2 * count:
            return self._refuse(frame, 3, entry)
        for i, value in enumerate(entry["values"]):
            self.registers[(start + i) & 0xFFFF] = value
            if start + i == KEY_REGISTER:
                key = value & 0xFF
                entry["key"] = chr(key) if 32 <= key < 127 else key
                self.keys.append(key)
                self.press(key, now)
        return with_crc(frame[:6]), "answered"

    def _read_memory(self, frame, entry, now):
        words = entry["count"]
        if not 1 <= words <= 32767:
            return self._refuse(frame, 3, entry)
        data = self.memory.read(frame[2], frame[3], frame[4], 2 * words)
        head = bytes((frame[0], 0x60, frame[2], frame[3], frame[4], len(data) >> 8,
                      len(data) & 0xFF))
        return with_crc(head + data), "answered"

    def _read_last_download(self, frame, entry, now):
        return with_crc(bytes((frame[0], 0x61)) + bytes(self.last_download)), "answered"

    def _read_live(self, frame, entry, now):
        return with_crc(bytes((frame[0], 0x63)) + self.live.reply_body(now)), "answered"

    ANSWERS = {3: _read_registers, 16: _write_registers, 96: _read_memory,
               97: _read_last_download, 99: _read_live}
