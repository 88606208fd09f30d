"""A simulated meter: what it holds (registers, log memory, pointers, live values), its answers."""

import struct
import time

from .formula import Formula
from .keypad import Keypad
from .live import (LIVE_FIELDS, LIVE_TOTALS, SCRIPT_KEYS, as_sent, clamp_live, display_lines,
                   has_fields, live_source, render_line)
from .log_memory import RECORD_BYTES, RING_BYTES, LogMemory, check_ring_pointer, pointer_to_pos
from .scenario import check_keys, load_channels, load_log, parse_byte, parse_bytes
from .wire import exception_reply, meter_float, total_bytes, with_crc

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
        self._load_live(scenario.get("live", {}), scenario.get("script", []))
        keypad = scenario.get("keypad", False)
        self.keypad = (None if keypad is False or keypad is None
                       else Keypad(keypad, self.slave, self.reset_totals))
        # Only a display that changes is drawn at each read; a fixed one stays in the registers.
        self.display_changes = bool(
            self.keypad or any(has_fields(line) for line in self.display)
            or any(display is not None for _, _, display in self.script))
        self.started = time.monotonic()
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

    def _load_live(self, live, script):
        head = parse_bytes(live.get("header", [0x00, 0x14]), "live.header")
        if len(head) != 2:
            raise ValueError("live.header: two bytes")
        self.live_header = head
        self.live_raw = None
        if "raw" in live:
            self.live_raw = parse_bytes(live["raw"], "live.raw")
            if len(self.live_raw) != 20:
                raise ValueError("live.raw: the live block is 20 bytes")
        self.live_sources = {}
        for field in LIVE_FIELDS:
            default = 0 if field in LIVE_TOTALS else 0.0
            self.live_sources[field] = live_source(live.get(field, default), field, f"live.{field}")
        self.script = []  # (after, live sources, display lines or None), in the given order
        if not isinstance(script, list):
            raise ValueError("script: a list of steps")
        for k, step in enumerate(script):
            what = f"script[{k}]"
            if not isinstance(step, dict) or set(step) - SCRIPT_KEYS:
                raise ValueError(f"{what}: an object with {', '.join(sorted(SCRIPT_KEYS))}")
            after = step.get("after", 0)
            if isinstance(after, bool) or not isinstance(after, (int, float)) or after < 0:
                raise ValueError(f"{what}.after: seconds, not negative")
            changes = step.get("live", {})
            if not isinstance(changes, dict) or set(changes) - set(LIVE_FIELDS):
                raise ValueError(f"{what}.live: only {', '.join(LIVE_FIELDS)}")
            if changes and self.live_raw is not None:
                raise ValueError(f"{what}.live: the live block is fixed by live.raw")
            sources = {f: live_source(v, f, f"{what}.live.{f}") for f, v in changes.items()}
            display = step.get("display")
            if display is not None:
                display_lines(display, f"{what}.display", allow_none=True)
            self.script.append((after, sources, display))
        self.live_count = 0  # function-99 replies sent so far
        self.live_last = {}  # each formula's last good value, used when it fails
        self.total_offsets = {field: 0 for field in LIVE_TOTALS}

    def live_values(self, now):
        """The live values at `now` as the block carries them, and the block."""
        t = now - self.started
        if self.live_raw is not None:
            block = self.live_raw
            values = {"flow": struct.unpack(">f", block[0:4])[0],
                      "velocity": struct.unpack(">f", block[4:8])[0],
                      "forward_total": block[8] * 65536 + block[9] * 4096 + block[10] * 256
                      + block[11],
                      "reverse_total": block[12] * 65536 + block[13] * 4096 + block[14] * 256
                      + block[15],
                      "alarm": struct.unpack(">f", block[16:20])[0], "t": t}
            return values, block
        sources = dict(self.live_sources)
        for after, changes, _ in self.script:
            if t >= after:
                sources.update(changes)
        names = {"t": t, "n": self.live_count}
        values = {"t": t}
        block = b""
        for field in LIVE_FIELDS:
            value = sources[field]
            if isinstance(value, Formula):
                try:
                    value = clamp_live(field, value(names))
                except (ArithmeticError, ValueError, TypeError):
                    value = self.live_last.get(field, 0)
                self.live_last[field] = value
            if field in LIVE_TOTALS:
                value = max(int(value) - self.total_offsets[field], 0)
                block += total_bytes(value)
            else:
                block += meter_float(value)
                value = as_sent(value)
            names[field] = values[field] = value
        return values, block

    def live_reply_body(self, now):
        body = self.live_header + self.live_values(now)[1]
        self.live_count += 1
        return body

    def reset_totals(self, now):
        """The keypad's totalizer reset: from now on the totals count from zero."""
        values = self.live_values(now)[0]
        for field in LIVE_TOTALS:
            self.total_offsets[field] += values[field]

    def refresh_display(self, now):
        values = self.live_values(now)[0]
        home = list(self.display)
        for after, _, display in self.script:
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
        return with_crc(bytes((frame[0], 0x63)) + self.live_reply_body(now)), "answered"

    ANSWERS = {3: _read_registers, 16: _write_registers, 96: _read_memory,
               97: _read_last_download, 99: _read_live}
