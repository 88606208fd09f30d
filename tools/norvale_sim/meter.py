#!/usr/bin/env python3
"""A Norvale flow meter on a pseudo-terminal, for tests, benchmarks and trying the program out.

The simulator opens a pty, prints the device path of its slave side as the first line on stdout
and then answers Modbus RTU requests on it like a meter: holding registers (function 3), register
writes (16), log memory blocks (96), the last-download pointer (97) and the live values (99).
What it holds comes from a JSON scenario file; faults can be injected on request. See README.md
beside this file for the scenario format, the fault options and the request log.
"""

import argparse
import ast
import datetime
import json
import math
import os
import re
import select
import signal
import struct
import sys
import termios
import time
import tty

# --- Log memory geometry ---------------------------------------------------------------------

RING_FIRST_BANK = 8
RING_LAST_BANK = 23
SETUP_BANK = 24
BANK_BYTES = 16384  # address high byte 128..191, low byte 0..255
RING_BYTES = (RING_LAST_BANK - RING_FIRST_BANK + 1) * BANK_BYTES  # 262,144
RECORD_BYTES = 8
SETUP_RECORD_BYTES = 200
SETUP_NAME_OFFSET = 64  # bytes 65..96 of the set-up record, counted from 1
SETUP_NAME_LENGTH = 32
SETUP_TEXT_OFFSET = 2  # bytes 3..18
SETUP_TEXT_LENGTH = 16
ERASED = 0xFF

DISPLAY_FIRST_REGISTER = 24
DISPLAY_LAST_REGISTER = 63
DISPLAY_LINE_CHARS = 20
STATUS_FIRST_REGISTER = 76
STATUS_BYTES = 16
KEY_REGISTER = 208

# --- CRC-16/MODBUS ---------------------------------------------------------------------------


def _crc_table():
    table = []
    for byte in range(256):
        crc = byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
        table.append(crc)
    return table


CRC_TABLE = _crc_table()


def crc16(data):
    crc = 0xFFFF
    table = CRC_TABLE
    for byte in data:
        crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFF]
    return crc


def with_crc(frame):
    crc = crc16(frame)
    return bytes(frame) + bytes((crc & 0xFF, crc >> 8))


# --- Pointers and records --------------------------------------------------------------------


def pointer_to_pos(pointer):
    """Linear position in the log ring of (bank, address high, address low)."""
    bank, hi, lo = pointer
    return (bank - RING_FIRST_BANK) * BANK_BYTES + (hi * 256 + lo - 32768)


def pos_to_pointer(pos):
    pos %= RING_BYTES
    bank = RING_FIRST_BANK + pos // BANK_BYTES
    offset = 32768 + pos % BANK_BYTES
    return [bank, offset >> 8, offset & 0xFF]


def check_ring_pointer(pointer, what):
    if (not isinstance(pointer, (list, tuple)) or len(pointer) != 3
            or not all(isinstance(v, int) for v in pointer)):
        raise ValueError(f"{what}: a pointer is three numbers [bank, high, low]")
    bank, hi, lo = pointer
    if not (RING_FIRST_BANK <= bank <= RING_LAST_BANK and 128 <= hi <= 191 and 0 <= lo <= 255):
        raise ValueError(f"{what}: {pointer} is outside the log ring (banks 8..23, high 128..191)")
    return list(pointer)


def bcd(value):
    return (value // 10) << 4 | value % 10


def year_field(year):
    """The 5-bit year field the program reads back as `year`.

    The program takes Y 0x18..0x1F as 2000 + the hex digits read as decimal, and any other Y
    as 2020 + its last hex digit, so only 2018..2029 can be written.
    """
    if year in (2018, 2019):
        return 0x18 + (year - 2018)
    if 2020 <= year <= 2029:
        return year - 2020
    raise ValueError(f"year {year} cannot be stored in a log record (2018..2029 only)")


def encode_record(channel, when, value_bytes):
    """One 8-byte log record for `channel` logged at `when` (a datetime).

    The program moves a record stamped exactly 00:00 on to the next day, because the meter stamps
    the end of a day's last interval with that day's date. A midnight reading is therefore
    written with the previous day's date.
    """
    if not 1 <= channel <= 8:
        raise ValueError(f"channel {channel} is outside 1..8")
    stamp = when
    if when.hour == 0 and when.minute == 0:
        stamp = when - datetime.timedelta(days=1)
    y = year_field(stamp.year)
    b1 = channel << 4 | stamp.month
    b2 = ((y >> 3) & 3) << 6 | bcd(stamp.day)
    b3 = ((y >> 1) & 3) << 6 | bcd(when.hour)
    b4 = (y & 1) << 7 | bcd(when.minute)
    return bytes((b1, b2, b3, b4)) + bytes(value_bytes)


def meter_float(value):
    """The meter's four-byte number: IEEE single precision, most significant byte first."""
    return struct.pack(">f", float(value))


def total_bytes(value):
    """Four bytes whose value is b1 * 65536 + b2 * 4096 + b3 * 256 + b4 (the live totals)."""
    value = int(value)
    if not 0 <= value < 256 * 65536:
        raise ValueError(f"total {value} does not fit the live block's four bytes")
    rest = value % 65536
    return bytes((value // 65536, rest // 4096, (rest % 4096) // 256, rest % 256))


# --- Value formulas --------------------------------------------------------------------------

_FORMULA_FUNCTIONS = {
    "sin": math.sin, "cos": math.cos, "exp": math.exp, "log": math.log, "sqrt": math.sqrt,
    "floor": math.floor, "ceil": math.ceil, "abs": abs, "min": min, "max": max, "round": round,
}
_FORMULA_CONSTANTS = {"pi": math.pi, "e": math.e}
_BINARY = {
    ast.Add: lambda a, b: a + b, ast.Sub: lambda a, b: a - b, ast.Mult: lambda a, b: a * b,
    ast.Div: lambda a, b: a / b, ast.FloorDiv: lambda a, b: a // b, ast.Mod: lambda a, b: a % b,
    ast.Pow: lambda a, b: a ** b,
}
_UNARY = {ast.USub: lambda a: -a, ast.UAdd: lambda a: a}


class Formula:
    """An arithmetic expression over a few names, evaluated without eval()."""

    def __init__(self, text):
        self.text = text
        self.tree = ast.parse(text, mode="eval").body
        self._check(self.tree)

    def _check(self, node):
        if isinstance(node, ast.Constant) and isinstance(node.value, (int, float)):
            return
        if isinstance(node, ast.Name):
            return
        if isinstance(node, ast.BinOp) and type(node.op) in _BINARY:
            self._check(node.left)
            self._check(node.right)
            return
        if isinstance(node, ast.UnaryOp) and type(node.op) in _UNARY:
            self._check(node.operand)
            return
        if (isinstance(node, ast.Call) and isinstance(node.func, ast.Name)
                and node.func.id in _FORMULA_FUNCTIONS and not node.keywords):
            for arg in node.args:
                self._check(arg)
            return
        raise ValueError(f"formula {self.text!r}: {ast.dump(node)} is not allowed")

    def __call__(self, names):
        return self._eval(self.tree, names)

    def _eval(self, node, names):
        if isinstance(node, ast.Constant):
            return node.value
        if isinstance(node, ast.Name):
            if node.id in names:
                return names[node.id]
            if node.id in _FORMULA_CONSTANTS:
                return _FORMULA_CONSTANTS[node.id]
            raise ValueError(f"formula {self.text!r}: unknown name {node.id!r}")
        if isinstance(node, ast.BinOp):
            return _BINARY[type(node.op)](self._eval(node.left, names),
                                          self._eval(node.right, names))
        if isinstance(node, ast.UnaryOp):
            return _UNARY[type(node.op)](self._eval(node.operand, names))
        args = [self._eval(a, names) for a in node.args]
        return _FORMULA_FUNCTIONS[node.func.id](*args)


def value_source(desc, what):
    """A function (index, names) -> value from a number, a list (cycled) or a formula text."""
    if isinstance(desc, bool):
        raise ValueError(f"{what}: a value is a number, a list or a formula")
    if isinstance(desc, (int, float)):
        return lambda i, names: desc
    if isinstance(desc, list):
        if not desc:
            raise ValueError(f"{what}: empty value list")
        return lambda i, names: desc[i % len(desc)]
    if isinstance(desc, str):
        formula = Formula(desc)
        return lambda i, names: formula(names)
    raise ValueError(f"{what}: a value is a number, a list or a formula")


# --- Scenario --------------------------------------------------------------------------------


def parse_bytes(desc, what):
    """Bytes from a hex text ("1B 03 21 30") or a list of numbers."""
    if isinstance(desc, str):
        try:
            return bytes.fromhex(desc)
        except ValueError as error:
            raise ValueError(f"{what}: {error}") from None
    if isinstance(desc, list) and all(isinstance(v, int) and 0 <= v <= 255 for v in desc):
        return bytes(desc)
    raise ValueError(f"{what}: bytes are a hex text or a list of numbers 0..255")


def parse_byte(desc, what):
    if isinstance(desc, str):
        desc = int(desc, 0)
    if not isinstance(desc, int) or not 0 <= desc <= 255:
        raise ValueError(f"{what}: {desc!r} is not a byte")
    return desc


def parse_datetime(text, what):
    try:
        return datetime.datetime.fromisoformat(text)
    except (TypeError, ValueError):
        raise ValueError(f"{what}: {text!r} is not a date and time like 2021-03-06T10:00")


# --- Live values, display fields and keypad --------------------------------------------------

LIVE_FIELDS = ("flow", "velocity", "forward_total", "reverse_total", "alarm")
LIVE_TOTALS = ("forward_total", "reverse_total")
TOTAL_MAX = 256 * 65536 - 1  # the largest total the live block's four bytes carry
FLOAT_MAX = struct.unpack(">f", bytes.fromhex("7F7FFFFF"))[0]
DISPLAY_FIELD = re.compile(r"\{([A-Za-z_]\w*)(?::([^{}]*))?\}")
DISPLAY_NAMES = set(LIVE_FIELDS) | {"t"}
SCRIPT_KEYS = {"after", "live", "display"}


def formula_names(formula):
    """The names a formula reads, its functions left out."""
    called = {id(node.func) for node in ast.walk(formula.tree) if isinstance(node, ast.Call)}
    return {node.id for node in ast.walk(formula.tree)
            if isinstance(node, ast.Name) and id(node) not in called}


def live_source(desc, field, what):
    """A live field's number, checked now, or its Formula of t, n and the fields before it."""
    if isinstance(desc, str):
        try:
            formula = Formula(desc)
        except SyntaxError as error:
            raise ValueError(f"{what}: formula {desc!r}: {error.msg}") from None
        allowed = {"t", "n", *LIVE_FIELDS[:LIVE_FIELDS.index(field)], *_FORMULA_CONSTANTS}
        unknown = formula_names(formula) - allowed
        if unknown:
            raise ValueError(f"{what}: unknown names {sorted(unknown)} (a formula may use t, n "
                             f"and the fields before {field})")
        return formula
    # A number out of range is refused, as it always was; only formulas are clamped.
    total_bytes(desc) if field in LIVE_TOTALS else meter_float(desc)
    return desc


def clamp_live(field, value):
    """A formula's result as the live block can carry it."""
    if field in LIVE_TOTALS:
        if isinstance(value, float):
            if math.isnan(value):
                raise ValueError("not a number")
            if math.isinf(value):
                return TOTAL_MAX if value > 0 else 0
            value = math.floor(value)
        return min(max(value, 0), TOTAL_MAX)
    if value == value:  # NaN passes as it is; anything else is kept within single precision
        value = min(max(value, -FLOAT_MAX), FLOAT_MAX)
    return float(value)


def as_sent(value):
    """A float as the far end decodes it (single precision)."""
    return struct.unpack(">f", meter_float(value))[0]


def display_lines(lines, what, allow_none=False):
    if not isinstance(lines, list) or len(lines) > 4:
        raise ValueError(f"{what}: a list of four lines at most")
    for line in lines:
        if line is None and allow_none:
            continue
        if not isinstance(line, str):
            raise ValueError(f"{what}: a line is a text")
        line.encode("latin-1")  # as before: only Latin-1 reaches the display
    return lines


def render_line(text, values):
    """Fills {name:format} fields from the live values; a field it cannot fill stays as written."""
    def field(match):
        name, fmt = match.group(1), match.group(2) or ""
        if name not in DISPLAY_NAMES or re.search(r"\d{4,}", fmt):  # no huge widths
            return match.group(0)
        value = values[name]
        if not fmt and isinstance(value, float):
            fmt = ".7g"  # single precision's digits, not the double's noise
        try:
            return format(value, fmt)
        except (ValueError, TypeError, OverflowError):
            return match.group(0)
    return DISPLAY_FIELD.sub(field, text)


def has_fields(text):
    return any(m.group(1) in DISPLAY_NAMES for m in DISPLAY_FIELD.finditer(text))


class Keypad:
    """The KX40's front panel, small: a home screen, a menu and four screens behind it."""

    MENU = ("1 Flow Units", "2 Totalizer", "3 Alarms", "4 Meter ID")
    SCREENS = ("units", "totals", "alarms", "id")
    UNITS = (("CFS", 1.0), ("CFM", 60.0), ("GPM", 448.831), ("MGD", 0.646316),
             ("LPS", 28.317016), ("M3H", 101.952))
    ALARMS = ((1, "Setpoint 1"), (2, "Setpoint 2"), (4, "Setpoint 3"), (8, "Lost Signal"),
              (16, "4-20 Loop#1"), (32, "4-20 Loop#2"))
    HELP = {"home": "M=Menu  .=Help", "menu": "N/L move E=open M=bk",
            "units": "N/L unit E=store", "totals": "2nd 0=reset M=back",
            "alarms": "M=back", "id": "M=back"}

    def __init__(self, options, slave, reset_totals):
        if options is True:
            options = {}
        if not isinstance(options, dict) or set(options) - {"unit"}:
            raise ValueError('keypad: true, or an object with "unit"')
        names = [name for name, _ in self.UNITS]
        unit = options.get("unit", "CFS")
        if unit not in names:
            raise ValueError(f"keypad.unit: one of {', '.join(names)}")
        self.unit = self.choice = names.index(unit)
        self.slave = slave
        self.reset_totals = reset_totals
        self.screen = "home"
        self.cursor = 0
        self.second = False
        self.note = None  # replaces line 4 until the next key

    def press(self, key, now):
        second, self.second, self.note = self.second, False, None
        if key == ".":
            self.note = self.HELP[self.screen]
        elif key == "F":
            self.second, self.note = True, "2nd"
        elif key == "M":
            if self.screen == "home":
                self.screen, self.cursor = "menu", 0
            else:
                self.screen = "home" if self.screen == "menu" else "menu"
        elif self.screen == "menu":
            if key in "NL":
                self.cursor = (self.cursor + (1 if key == "N" else -1)) % len(self.MENU)
            elif key in "1234" or key == "E":
                if key != "E":
                    self.cursor = int(key) - 1
                self.screen = self.SCREENS[self.cursor]
                self.choice = self.unit
        elif self.screen == "units":
            if key in "NL":
                self.choice = (self.choice + (1 if key == "N" else -1)) % len(self.UNITS)
            elif key == "E":
                self.unit = self.choice
                self.note = f"Stored {self.UNITS[self.unit][0]}"
        elif self.screen == "totals" and key == "0" and second:
            self.reset_totals(now)
            self.note = "Totals reset"

    def lines(self, home, values):
        screen = self.screen
        if screen == "home":
            lines = list(home)
        elif screen == "menu":
            lines = [(">" if i == self.cursor else " ") + text for i, text in enumerate(self.MENU)]
        elif screen == "units":
            name, factor = self.UNITS[self.choice]
            lines = ["Flow Units", f"Flow {values['flow'] * factor:11.3f} {name}",
                     f"Unit {name}" + ("  (stored)" if self.choice == self.unit else ""),
                     "N/L unit  E=store"]
        elif screen == "totals":
            lines = ["Totalizer", f"Fwd {values['forward_total']:16d}",
                     f"Rev {values['reverse_total']:16d}", "2nd 0=reset"]
        elif screen == "alarms":
            alarm = values["alarm"]
            word = math.floor(alarm) if math.isfinite(alarm) else 0
            labels = [text for bit, text in self.ALARMS if word & bit] or ["None"]
            if len(labels) > 3:
                labels = labels[:2] + [f"+{len(labels) - 2} more"]
            lines = [f"Alarms {word:13d}"] + labels
        else:
            lines = ["Meter ID", f"ID {self.slave:03d}", f"Modbus slave {self.slave}"]
        lines += [""] * (4 - len(lines))
        if self.note is not None:
            lines[3] = self.note
        return lines


SCENARIO_KEYS = {"description", "slave", "portable", "channels", "log", "last_download", "status",
                 "display", "live", "registers", "faults", "script", "keypad"}
LOG_KEYS = {"start", "end", "generator", "records", "last_download"}


class Meter:
    """What the meter holds: registers, log memory, set-up records, pointers and live values."""

    def __init__(self, scenario):
        if not isinstance(scenario, dict):
            raise ValueError("a scenario is a JSON object")
        unknown = set(scenario) - SCENARIO_KEYS
        if unknown:
            raise ValueError(f"scenario: unknown keys {sorted(unknown)}")
        unknown = set(scenario.get("log", {})) - LOG_KEYS
        if unknown:
            raise ValueError(f"log: unknown keys {sorted(unknown)}")
        self.slave = int(scenario.get("slave", 1))
        self.portable = bool(scenario.get("portable", False))
        self.ring = bytearray([ERASED]) * RING_BYTES
        self.setup = bytearray([ERASED]) * BANK_BYTES
        self.registers = {}
        self.keys = []

        self._load_channels(scenario.get("channels", []))
        log = scenario.get("log", {})
        start = check_ring_pointer(log.get("start", [8, 128, 0]), "log.start")
        end = self._load_log(log, start)
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

    # Set-up records in bank 24: channel k at address high 128 + k, low 0.
    def _load_channels(self, channels):
        if len(channels) > 8:
            raise ValueError("channels: at most 8")
        for k in range(1, 9):
            desc = channels[k - 1] if k <= len(channels) else "Not Used"
            if desc is None:
                continue  # erased set-up record: the program reads an empty name
            if isinstance(desc, str):
                desc = {"name": desc}
            record = bytearray(SETUP_RECORD_BYTES)
            if "raw" in desc:
                raw = parse_bytes(desc["raw"], f"channels[{k}].raw")
                record[:len(raw)] = raw[:SETUP_RECORD_BYTES]
            else:
                text = desc.get("text", "").encode("latin-1")[:SETUP_TEXT_LENGTH]
                record[SETUP_TEXT_OFFSET:SETUP_TEXT_OFFSET + SETUP_TEXT_LENGTH] = text.ljust(
                    SETUP_TEXT_LENGTH, b" ")
                name = desc.get("name", "").encode("latin-1")[:SETUP_NAME_LENGTH]
                record[SETUP_NAME_OFFSET:SETUP_NAME_OFFSET + SETUP_NAME_LENGTH] = name.ljust(
                    SETUP_NAME_LENGTH, bytes([ERASED]))
            offset = k * 256
            self.setup[offset:offset + SETUP_RECORD_BYTES] = record

    def _write_ring(self, pos, data):
        for i, byte in enumerate(data):
            self.ring[(pos + i) % RING_BYTES] = byte

    def _load_log(self, log, start):
        """Places the log's records from the start pointer on; returns the pointer after them."""
        pos = pointer_to_pos(start)
        written = 0
        generators = log.get("generator", [])
        if isinstance(generators, dict):
            generators = [generators]
        for n, generator in enumerate(generators):
            for record in self._generate(generator, f"log.generator[{n}]"):
                self._write_ring(pos + written, record)
                written += RECORD_BYTES
        for n, record in enumerate(log.get("records", [])):
            if isinstance(record, dict):
                data = parse_bytes(record.get("hex", record.get("bytes", "")),
                                   f"log.records[{n}]")
                if "at" in record:
                    at = pointer_to_pos(check_ring_pointer(record["at"], f"log.records[{n}].at"))
                    self._write_ring(at, data)
                    continue
            else:
                data = parse_bytes(record, f"log.records[{n}]")
            self._write_ring(pos + written, data)
            written += len(data)
        if written > RING_BYTES:
            raise ValueError("log: more records than the ring holds (32,768)")
        return pos_to_pointer(pos + written)

    def _generate(self, generator, what):
        channels = generator.get("channels", [1])
        begin = parse_datetime(generator.get("start", "2021-03-06T00:15"), f"{what}.start")
        interval = int(generator.get("interval_minutes", 15))
        count = int(generator.get("count", 0))
        if interval <= 0 or count < 0:
            raise ValueError(f"{what}: interval_minutes must be positive and count not negative")
        values = generator.get("values", {})
        sources = {}
        for channel in channels:
            desc = values.get(str(channel), 0) if isinstance(values, dict) else values
            sources[channel] = value_source(desc, f"{what}.values[{channel}]")
        for i in range(count):
            when = begin + datetime.timedelta(minutes=interval * i)
            names = {"i": i, "t": i * interval, "hour": when.hour, "minute": when.minute,
                     "day": when.day, "month": when.month}
            for channel in channels:
                names["channel"] = channel
                yield encode_record(channel, when, meter_float(sources[channel](i, names)))

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

    def read_log_memory(self, bank, hi, lo, length):
        """`length` bytes of memory from (bank, hi, lo); the ring wraps from bank 23 to bank 8."""
        if RING_FIRST_BANK <= bank <= RING_LAST_BANK and 128 <= hi <= 191:
            pos = pointer_to_pos((bank, hi, lo))
            if pos + length <= RING_BYTES:
                return bytes(self.ring[pos:pos + length])
            return bytes(self.ring[(pos + i) % RING_BYTES] for i in range(length))
        if bank == SETUP_BANK and 128 <= hi <= 191:
            offset = (hi - 128) * 256 + lo
            data = bytes(self.setup[offset:offset + length])
            return data + bytes([ERASED]) * (length - len(data))
        return bytes([ERASED]) * length

    def read_register(self, register):
        return self.registers.get(register, 0)


# --- Requests --------------------------------------------------------------------------------

FIXED_REQUEST_LENGTHS = {3: 8, 96: 9, 97: 9, 99: 4}
# Standard functions this meter does not offer, recognised only to skip them cleanly.
UNSUPPORTED_FIXED_LENGTHS = {1: 8, 2: 8, 4: 8, 5: 8, 6: 8}


def request_length(buffer):
    """Length of the request frame at the start of `buffer`, or None when it cannot be one, or 0
    while too few bytes have arrived to tell."""
    if len(buffer) < 2:
        return 0
    function = buffer[1]
    if function in FIXED_REQUEST_LENGTHS:
        return FIXED_REQUEST_LENGTHS[function]
    if function in UNSUPPORTED_FIXED_LENGTHS:
        return UNSUPPORTED_FIXED_LENGTHS[function]
    if function == 16:
        if len(buffer) < 7:
            return 0
        return 9 + buffer[6]
    return None


def describe(frame):
    """The request's fields for the log."""
    function = frame[1]
    entry = {"slave": frame[0], "function": function}
    if function in (1, 2, 3, 4, 5, 6, 16):
        entry["start"] = frame[2] << 8 | frame[3]
        entry["count"] = frame[4] << 8 | frame[5]
    if function == 16:
        data = frame[7:-2]
        entry["values"] = [data[i] << 8 | data[i + 1] for i in range(0, len(data) - 1, 2)]
    if function == 96:
        entry["bank"], entry["addr_hi"], entry["addr_lo"] = frame[2], frame[3], frame[4]
        entry["count"] = frame[5] << 8 | frame[6]
    return entry


# --- Faults ----------------------------------------------------------------------------------

FAULT_ACTIONS = ("silent", "bad_crc", "delay", "late", "exception", "drop")
FAULT_FILTERS = ("function", "bank", "addr_hi", "addr_lo", "start")
FAULT_ORDINALS = ("nth", "first", "after")


class Fault:
    """One injected misbehaviour. It counts the requests that match its filter (function, block
    address or start register) and fires on all of them, on the nth, on the first N, or on every
    one after the first N. A "late" fault counts a request sent again (the same bytes as the one
    before) as the same request, so every copy of a late request is late."""

    def __init__(self, desc):
        if isinstance(desc, str):
            desc = parse_fault_text(desc)
        self.action = desc.get("action")
        if self.action not in FAULT_ACTIONS:
            raise ValueError(f"fault {desc}: action is one of {', '.join(FAULT_ACTIONS)}")
        unknown = set(desc) - set(FAULT_FILTERS) - set(FAULT_ORDINALS) - {
            "action", "seconds", "code"}
        if unknown:
            raise ValueError(f"fault {desc}: unknown keys {sorted(unknown)}")
        self.filters = {key: int(desc[key]) for key in FAULT_FILTERS if key in desc}
        self.ordinals = {key: int(desc[key]) for key in FAULT_ORDINALS if key in desc}
        if len(self.ordinals) > 1:
            raise ValueError(f"fault {desc}: give at most one of nth, first, after")
        self.seconds = float(desc.get("seconds", 0))
        self.code = int(desc.get("code", 2))
        self.matched = 0
        self.last_frame = None
        self.last_decision = False

    def fires(self, entry, frame=None):
        for key, value in self.filters.items():
            if entry.get(key) != value:
                return False
        if self.action == "late":
            if frame is not None and frame == self.last_frame:
                return self.last_decision
            self.last_frame = frame
            self.last_decision = self._counts()
            return self.last_decision
        return self._counts()

    def _counts(self):
        self.matched += 1
        if "nth" in self.ordinals:
            return self.matched == self.ordinals["nth"]
        if "first" in self.ordinals:
            return self.matched <= self.ordinals["first"]
        if "after" in self.ordinals:
            return self.matched > self.ordinals["after"]
        return True


def parse_fault_text(text):
    """"silent,function=3,first=2" -> {"action": "silent", "function": 3, "first": 2}.
    A text starting with "{" is taken as JSON."""
    text = text.strip()
    if text.startswith("{"):
        return json.loads(text)
    parts = [p.strip() for p in text.split(",") if p.strip()]
    if not parts:
        raise ValueError("empty fault")
    desc = {"action": parts[0]}
    for part in parts[1:]:
        key, sep, value = part.partition("=")
        if not sep:
            raise ValueError(f"fault {text!r}: {part!r} is not key=value")
        desc[key.strip()] = float(value) if key.strip() == "seconds" else int(value, 0)
    return desc


# --- The line --------------------------------------------------------------------------------


class Simulator:
    BYTE_BITS = 10  # start bit, 8 data bits, stop bit
    CHUNK_SECONDS = 0.002  # paced replies go out in slices this long

    def __init__(self, meter, faults, baud, log_file):
        self.meter = meter
        self.faults = faults
        self.byte_seconds = self.BYTE_BITS / baud if baud else 0.0
        self.log_file = log_file
        self.sequence = 0
        self.buffer = bytearray()
        self.buffer_time = 0.0  # when the oldest byte in the buffer arrived
        self.last_arrival = 0.0
        self.discarded = 0
        self.outgoing = []  # [due time, bytes] in order
        self.line_free_at = 0.0  # when the last scheduled reply byte has left
        self.dropped = False

    # A silence this long inside a frame means the bytes before it were noise. Modbus allows
    # 3.5 characters; a pty delivers a request in one piece, so a few tens of ms are plenty.
    def frame_gap(self):
        return max(0.05, 3.5 * self.byte_seconds)

    def log(self, entry):
        if self.log_file is None:
            return
        self.log_file.write(json.dumps(entry, separators=(",", ":")) + "\n")
        self.log_file.flush()

    def flush_discarded(self):
        if self.discarded:
            self.log({"seq": None, "action": "discarded", "bytes": self.discarded})
            self.discarded = 0

    def received(self, data, now):
        if not self.buffer:
            self.buffer_time = now
        self.buffer += data
        self.last_arrival = now
        self.parse(now)

    def parse(self, now):
        while self.buffer and not self.dropped:
            length = request_length(self.buffer)
            if length is None:
                self.drop_byte(now)
                continue
            if length == 0 or len(self.buffer) < length:
                return
            frame = bytes(self.buffer[:length])
            if crc16(frame) != 0:
                self.drop_byte(now)
                continue
            arrived = self.buffer_time
            del self.buffer[:length]
            self.buffer_time = now
            self.flush_discarded()
            self.handle(frame, arrived, now)

    def drop_byte(self, now):
        del self.buffer[0]
        self.discarded += 1
        self.buffer_time = now

    def idle(self, now):
        """Called when nothing arrived for a while: an unfinished frame is noise."""
        if self.buffer and now - self.last_arrival >= self.frame_gap():
            while self.buffer and not self.dropped:
                self.drop_byte(now)
                self.parse(now)
        if not self.buffer:
            self.flush_discarded()

    def handle(self, frame, arrived, now):
        entry = describe(frame)
        if entry["slave"] != self.meter.slave:
            entry["action"] = "ignored"  # another slave's request: not ours to answer
            self.log(entry)
            return
        self.sequence += 1
        entry = {"seq": self.sequence, **entry}
        firing = [f for f in self.faults if f.fires(entry, frame)]
        actions = {f.action for f in firing}
        delay = sum(f.seconds for f in firing if f.action == "delay")
        late = max((f.seconds for f in firing if f.action == "late"), default=0.0)

        if "drop" in actions:
            entry["action"] = "dropped"
            self.log(entry)
            self.dropped = True
            return
        if "silent" in actions:
            entry["action"] = "silent"
            self.log(entry)
            return
        exception = next((f for f in firing if f.action == "exception"), None)
        if exception is not None:
            reply = with_crc(bytes((frame[0], frame[1] | 0x80, exception.code & 0xFF)))
            entry["action"] = "exception"
            entry["code"] = exception.code
        else:
            reply, entry["action"] = self.answer(frame, entry, now)
            if reply is None:
                self.log(entry)
                return
        if "bad_crc" in actions:
            reply = reply[:-1] + bytes(((reply[-1] ^ 0x5A) or 0x01,))
            entry["action"] = "corrupted"
        if delay:
            entry["delay"] = delay
        if late:
            entry["late"] = late
        self.log(entry)
        self.schedule(reply, frame, arrived, now, delay, late)

    def answer(self, frame, entry, now):
        """The meter's reply to a request whose CRC and address are good, at time `now`."""
        meter = self.meter
        slave, function = frame[0], frame[1]
        if function == 3:
            start, count = entry["start"], entry["count"]
            if not 1 <= count <= 125:
                return self.exception(frame, 3, entry)
            if (meter.display_changes and start <= DISPLAY_LAST_REGISTER
                    and start + count > DISPLAY_FIRST_REGISTER):
                meter.refresh_display(now)
            data = bytearray()
            for register in range(start, start + count):
                value = meter.read_register(register & 0xFFFF)
                data += bytes((value >> 8, value & 0xFF))
            return with_crc(bytes((slave, 3, len(data))) + data), "answered"
        if function == 16:
            start, count = entry["start"], entry["count"]
            if not 1 <= count <= 123 or frame[6] != 2 * count:
                return self.exception(frame, 3, entry)
            for i, value in enumerate(entry["values"]):
                meter.registers[(start + i) & 0xFFFF] = value
                if start + i == KEY_REGISTER:
                    key = value & 0xFF
                    entry["key"] = chr(key) if 32 <= key < 127 else key
                    meter.keys.append(key)
                    meter.press(key, now)
            return with_crc(frame[:6]), "answered"
        if function == 96:
            words = entry["count"]
            if not 1 <= words <= 32767:
                return self.exception(frame, 3, entry)
            data = meter.read_log_memory(frame[2], frame[3], frame[4], 2 * words)
            head = bytes((slave, 0x60, frame[2], frame[3], frame[4], len(data) >> 8,
                          len(data) & 0xFF))
            return with_crc(head + data), "answered"
        if function == 97:
            return with_crc(bytes((slave, 0x61)) + bytes(meter.last_download)), "answered"
        if function == 99:
            return with_crc(bytes((slave, 0x63)) + meter.live_reply_body(now)), "answered"
        return self.exception(frame, 1, entry)

    @staticmethod
    def exception(frame, code, entry):
        entry["code"] = code
        return with_crc(bytes((frame[0], frame[1] | 0x80, code))), "exception"

    def schedule(self, reply, frame, arrived, now, delay, late=0.0):
        """`delay` holds the reply back after the line is free; `late` makes the meter take that
        long after the request to answer, while it still answers requests in order."""
        if not self.byte_seconds:
            due = now + delay + late
            if self.outgoing:
                due = max(due, self.outgoing[-1][0])
            self.outgoing.append([due, reply])
            return
        # On a real line the request's last byte lands len x 10 bits after its first, and the
        # reply cannot start before the previous one has left.
        start = max(arrived + len(frame) * self.byte_seconds + late, self.line_free_at) + delay
        per_chunk = max(1, int(self.CHUNK_SECONDS / self.byte_seconds))
        for offset in range(0, len(reply), per_chunk):
            chunk = reply[offset:offset + per_chunk]
            due = start + (offset + len(chunk)) * self.byte_seconds
            self.outgoing.append([due, chunk])
        self.line_free_at = start + len(reply) * self.byte_seconds

    def next_due(self):
        return self.outgoing[0][0] if self.outgoing else None

    def take_due(self, now):
        data = bytearray()
        while self.outgoing and self.outgoing[0][0] <= now:
            data += self.outgoing.pop(0)[1]
        return bytes(data)


class Stopped(Exception):
    """Raised by the SIGTERM and SIGINT handlers to leave the loop at once."""


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


def load_scenario(path):
    if not path:
        return {}
    with open(path, encoding="utf-8") as f:
        return json.load(f)


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

    log_file = open(args.log, "a", encoding="utf-8") if args.log else None
    master, slave, path = open_pty()
    if args.link:
        if os.path.islink(args.link):
            os.unlink(args.link)
        os.symlink(path, args.link)
    simulator = Simulator(meter, faults, args.baud, log_file)

    def stop(signum, frame):
        raise Stopped()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
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
        if log_file:
            log_file.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
