"""Live values (function 99) as numbers or formulas of time, and display lines with live fields."""

import math
import re
import time

from .formula import FORMULA_CONSTANTS, Formula, formula_names
from .scenario import parse_bytes
from .wire import float_value, meter_float, total_bytes, total_value

LIVE_FIELDS = ("flow", "velocity", "forward_total", "reverse_total", "alarm")
LIVE_TOTALS = ("forward_total", "reverse_total")
TOTAL_MAX = 256 * 65536 - 1  # the largest total the live block's four bytes carry
FLOAT_MAX = float_value(bytes.fromhex("7F7FFFFF"))
DISPLAY_FIELD = re.compile(r"\{([A-Za-z_]\w*)(?::([^{}]*))?\}")
DISPLAY_NAMES = set(LIVE_FIELDS) | {"t"}
SCRIPT_KEYS = {"after", "live", "display"}


def live_source(desc, field, what):
    """A live field's number, checked now, or its Formula of t, n and the fields before it."""
    if isinstance(desc, str):
        try:
            formula = Formula(desc)
        except SyntaxError as error:
            raise ValueError(f"{what}: formula {desc!r}: {error.msg}") from None
        allowed = {"t", "n", *LIVE_FIELDS[:LIVE_FIELDS.index(field)], *FORMULA_CONSTANTS}
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
    return float_value(meter_float(value))


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


class Live:
    """The function-99 block over time: numbers, or formulas of t, n and the fields before, as
    the script changes them."""

    def __init__(self, live, script):
        head = parse_bytes(live.get("header", [0x00, 0x14]), "live.header")
        if len(head) != 2:
            raise ValueError("live.header: two bytes")
        self.header = head
        self.raw = None
        if "raw" in live:
            self.raw = parse_bytes(live["raw"], "live.raw")
            if len(self.raw) != 20:
                raise ValueError("live.raw: the live block is 20 bytes")
        self.sources = {}
        for field in LIVE_FIELDS:
            default = 0 if field in LIVE_TOTALS else 0.0
            self.sources[field] = live_source(live.get(field, default), field, f"live.{field}")
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
            if changes and self.raw is not None:
                raise ValueError(f"{what}.live: the live block is fixed by live.raw")
            sources = {f: live_source(v, f, f"{what}.live.{f}") for f, v in changes.items()}
            display = step.get("display")
            if display is not None:
                display_lines(display, f"{what}.display", allow_none=True)
            self.script.append((after, sources, display))
        self.count = 0  # function-99 replies sent so far
        self.last = {}  # each formula's last good value, used when it fails
        self.total_offsets = {field: 0 for field in LIVE_TOTALS}
        self.started = time.monotonic()

    def values(self, now):
        """The live values at `now` as the block carries them, and the block."""
        t = now - self.started
        if self.raw is not None:
            block = self.raw
            values = {"flow": float_value(block[0:4]), "velocity": float_value(block[4:8]),
                      "forward_total": total_value(block[8:12]),
                      "reverse_total": total_value(block[12:16]),
                      "alarm": float_value(block[16:20]), "t": t}
            return values, block
        sources = dict(self.sources)
        for after, changes, _ in self.script:
            if t >= after:
                sources.update(changes)
        names = {"t": t, "n": self.count}
        values = {"t": t}
        block = b""
        for field in LIVE_FIELDS:
            value = sources[field]
            if isinstance(value, Formula):
                try:
                    value = clamp_live(field, value(names))
                except (ArithmeticError, ValueError, TypeError):
                    value = self.last.get(field, 0)
                self.last[field] = value
            if field in LIVE_TOTALS:
                value = max(int(value) - self.total_offsets[field], 0)
                block += total_bytes(value)
            else:
                block += meter_float(value)
                value = as_sent(value)
            names[field] = values[field] = value
        return values, block

    def reply_body(self, now):
        """The two header bytes and the block, as function 99 sends them; counts the reply."""
        body = self.header + self.values(now)[1]
        self.count += 1
        return body

    def reset_totals(self, now):
        """The keypad's totalizer reset: from now on the totals count from zero."""
        values = self.values(now)[0]
        for field in LIVE_TOTALS:
            self.total_offsets[field] += values[field]
