"""Injected misbehaviour: which requests a fault matches and how often it fires."""

import json

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
