"""Live values (function 99) as numbers or formulas of time, and display lines with live fields."""

import math
import re
import struct

from .formula import _FORMULA_CONSTANTS, Formula, formula_names
from .wire import meter_float, total_bytes

LIVE_FIELDS = ("flow", "velocity", "forward_total", "reverse_total", "alarm")
LIVE_TOTALS = ("forward_total", "reverse_total")
TOTAL_MAX = 256 * 65536 - 1  # the largest total the live block's four bytes carry
FLOAT_MAX = struct.unpack(">f", bytes.fromhex("7F7FFFFF"))[0]
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
