"""Scenario files: what a simulated meter holds, as JSON, and the small value parsers they use."""

import datetime
import json


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


SCENARIO_KEYS = {"description", "slave", "portable", "channels", "log", "last_download", "status",
                 "display", "live", "registers", "faults", "script", "keypad"}
LOG_KEYS = {"start", "end", "generator", "records", "last_download"}


def load_scenario(path):
    if not path:
        return {}
    with open(path, encoding="utf-8") as f:
        return json.load(f)
