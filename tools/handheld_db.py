#!/usr/bin/env python3
"""Handheld backup databases (.pdb) of meter logs, for the program's import tests and benchmarks.

Writes a database as a synchronised handheld leaves it in its backup folder: the 78-byte database
header, the record list, a gap, then the 32-byte log records (one or more per database record).
What it holds comes from a JSON scenario file or, for benchmarks, from `--records N`. See README.md
beside this file for the scenario format.

The program ignores the header: it takes the first byte pair AA 55 in the file for the first log
record and reads 32-byte blocks from there. So no AA 55 pair may come before the first record;
unique IDs, dates and the gap are chosen to keep it so, and the result is checked before writing.
"""

import argparse
import datetime
import heapq
import itertools
import json
import math
import struct
import sys

# Formulas and byte parsing are shared with the meter simulator rather than copied.
from norvale_sim.formula import value_source
from norvale_sim.log_memory import bcd, stamp_of
from norvale_sim.scenario import parse_bytes, parse_datetime

# --- Layout ----------------------------------------------------------------------------------

MARKER = b"\xAA\x55"
BROKEN_MARKER = b"\xAA\x00"
LOG_BYTES = 32
NAME_BYTES = 10
HEADER_BYTES = 78
ENTRY_BYTES = 8
GAP_BYTES = 2  # the conventional two zero bytes after the record list
MAX_ENTRIES = 65535  # the record count is a 16-bit field
MAX_PER_ENTRY = 2047  # keeps a database record under 64 KB
STRAY_AT = 30  # the stray pair sits in the name field's padding
NAME_FIELD = 32

# name, attributes, version, created, modified, backed up, modification number, appInfo,
# sortInfo, type, creator, unique ID seed, next record list, number of records
HEADER = struct.Struct(">32sHHIIIIII4s4sIIH")
# marker, (4 unused), module, kind, name, (4 unused), year, month, day, hour, minute, value, (1)
LOG_RECORD = struct.Struct(">2s4xBB10s4xBBBBBfx")
assert HEADER.size == HEADER_BYTES and LOG_RECORD.size == LOG_BYTES

ATTR_BACKUP = 0x0008  # the header flag that has the desktop keep a backup copy
RECORD_ATTR_DIRTY = 0x40  # logged on the handheld since the previous synchronisation
DB_TYPE = b"DATA"
DB_CREATOR = b"NVDL"
PALM_EPOCH = datetime.datetime(1904, 1, 1)

PADDING = 0xFF  # the reader removes 254 and 255, so names are padded with them
BCD = [bcd(n) for n in range(100)]
DEFAULT_NAME = "DBFLW2"
DEFAULT_CREATED = "2021-03-06T08:00"  # with no logged times to follow
DEFAULT_START = "2021-03-06T00:15"

BULK_MODULES = (12, 3, 7)
BULK_CHANNELS = ("Flow", "Velocity", "Fwd Tot")
BULK_START = "2019-01-01T00:15"
BULK_INTERVAL = 15


# --- Log records -----------------------------------------------------------------------------


def channel_name(desc, what):
    """The 10 name bytes of a channel from a text or {"raw_name": "hex"}, padded with 0xFF."""
    if isinstance(desc, dict):
        if set(desc) != {"raw_name"}:
            raise ValueError(f"{what}: a channel is a name or {{\"raw_name\": \"hex\"}}")
        data = parse_bytes(desc["raw_name"], f"{what}.raw_name")
    elif isinstance(desc, str):
        try:
            data = desc.encode("latin-1")
        except UnicodeEncodeError:
            raise ValueError(f"{what}: {desc!r} is not 8-bit text") from None
    else:
        raise ValueError(f"{what}: a channel is a name, {{\"raw_name\": \"hex\"}} or null")
    if len(data) > NAME_BYTES:
        raise ValueError(f"{what}: {desc!r} is longer than {NAME_BYTES} bytes")
    return data.ljust(NAME_BYTES, bytes([PADDING]))


class Meter:
    """One meter's log as the handheld read it: a channel set logged every interval."""

    KEYS = {"description", "module", "channels", "start", "interval_minutes", "count", "values"}

    def __init__(self, module, channels, start, interval, count, sources):
        self.module = module
        self.channels = channels  # [(channel number, name bytes)]
        self.start = start
        self.interval = interval
        self.count = count
        self.sources = sources  # channel number -> f(i, names)

    @classmethod
    def from_json(cls, desc, what):
        if not isinstance(desc, dict):
            raise ValueError(f"{what}: a meter is a JSON object")
        unknown = set(desc) - cls.KEYS
        if unknown:
            raise ValueError(f"{what}: unknown keys {sorted(unknown)}")
        module = desc.get("module")
        if isinstance(module, bool) or not isinstance(module, int) or not 0 <= module <= 255:
            raise ValueError(f"{what}.module: a module ID is a number 0..255")
        names = desc.get("channels", [])
        if not isinstance(names, list) or len(names) > 8:
            raise ValueError(f"{what}.channels: a list of at most 8 names")
        channels = [(k, channel_name(name, f"{what}.channels[{k - 1}]"))
                    for k, name in enumerate(names, 1) if name is not None]
        start = parse_datetime(desc.get("start", DEFAULT_START), f"{what}.start")
        interval = desc.get("interval_minutes", 15)
        count = desc.get("count", 0)
        if (not isinstance(interval, int) or not isinstance(count, int) or interval <= 0
                or count < 0):
            raise ValueError(f"{what}: interval_minutes must be a positive and count a "
                             "non-negative whole number")
        values = desc.get("values", {})
        if not isinstance(values, dict):
            raise ValueError(f"{what}.values: an object keyed by channel number")
        unknown = set(values) - {str(k) for k, _ in channels}
        if unknown:
            raise ValueError(f"{what}.values: no logged channel {sorted(unknown)}")
        sources = {k: value_source(values.get(str(k), 0), f"{what}.values[{k}]")
                   for k, _ in channels}
        meter = cls(module, channels, start, interval, count, sources)
        meter.check_dates(what)
        return meter

    def last_time(self):
        return self.start + datetime.timedelta(minutes=self.interval * (self.count - 1))

    def check_dates(self, what):
        # Stamped years only grow along the log, so the first and last stamps bound them all.
        if self.count and not all(2000 <= stamp_of(when).year <= 2099
                                  for when in (self.start, self.last_time())):
            raise ValueError(f"{what}: logged dates must lie in 2000..2099 (two BCD digits)")

    def records(self):
        """(time, 32 bytes) for each used channel at each logged time, in time order."""
        step = datetime.timedelta(minutes=self.interval)
        pack = LOG_RECORD.pack
        module = self.module
        channels = [(k, 0x10 * k, name, self.sources[k]) for k, name in self.channels]
        when = self.start
        for i in range(self.count):
            stamp = stamp_of(when)
            year, month, day = BCD[stamp.year - 2000], stamp.month, BCD[stamp.day]
            hour, minute = BCD[when.hour], BCD[when.minute]
            names = {"i": i, "t": i * self.interval, "hour": when.hour, "minute": when.minute,
                     "day": when.day, "month": when.month, "module": module}
            for k, kind, name, source in channels:
                names["channel"] = k
                value = source(i, names)
                if isinstance(value, bool) or not isinstance(value, (int, float)):
                    raise ValueError(f"module {module}, channel {k}: value {value!r} is not a "
                                     "number")
                try:
                    data = pack(MARKER, module, kind, name, year, month, day, hour, minute, value)
                except (OverflowError, struct.error):
                    raise ValueError(f"module {module}, channel {k}: value {value!r} does not "
                                     "fit a four-byte float") from None
                yield when, data
            when += step


def bulk_meters(total):
    """Three meters of three channels each, logged together, for `total` records in all."""
    per_time = len(BULK_MODULES) * len(BULK_CHANNELS)
    count = -(-total // per_time)
    start = parse_datetime(BULK_START, "bulk start")
    meters = []
    for n, module in enumerate(BULK_MODULES):
        scale = 1.0 + 0.5 * n
        day = 2 * math.pi / 1440

        def flow(i, names, scale=scale):
            minutes = names["hour"] * 60 + names["minute"]
            return scale * (2.5 + 1.5 * math.sin(day * (minutes - 360)))

        sources = {1: flow,
                   2: lambda i, names, flow=flow: flow(i, names) / 0.7854,
                   3: lambda i, names, scale=scale: 125000 + 2250 * scale * (i + 1)}
        channels = [(k, channel_name(name, "bulk")) for k, name in enumerate(BULK_CHANNELS, 1)]
        meters.append(Meter(module, channels, start, BULK_INTERVAL, count, sources))
    return meters


# --- Database --------------------------------------------------------------------------------


def palm_seconds(when, what):
    seconds = int((when - PALM_EPOCH).total_seconds())
    if not 0 <= seconds < 2 ** 32:
        raise ValueError(f"{what}: {when} is outside the header's dates (1904..2040)")
    return seconds


def clean_number(value, size):
    """The first value from `value` on whose bytes hold no AA 55, even next to another field."""
    while True:
        data = (value % 256 ** size).to_bytes(size, "big")
        if MARKER not in data and data[0] != 0x55 and data[-1] != 0xAA:
            return value % 256 ** size
        value += 1


def unique_ids(count):
    """Record unique IDs from 1 on, skipping any with a byte 0xAA or 0x55."""
    uid = 0
    ids = []
    while len(ids) < count:
        uid += 1
        data = uid.to_bytes(3, "big")
        if 0xAA not in data and 0x55 not in data:
            ids.append(uid)
    return ids, uid + 1


def offset_clashes(offset):
    return MARKER in offset.to_bytes(4, "big")


def plan_entries(n_log, per_entry, junk_len, first_at, stray):
    """Where the log records start and how they are split into database records.

    Returns (first record's file offset, log index of each database record's first log record).
    An offset holding AA 55 is avoided by lengthening the gap (first record) or by giving the
    previous database record more log records (the others): the gap alone cannot do it when
    the records are 256 bytes or less and the file passes 0xAA5500.
    """
    wanted = -(-n_log // per_entry)
    if wanted > MAX_ENTRIES:
        raise ValueError(f"{n_log} log records at {per_entry} per database record make more "
                         f"than {MAX_ENTRIES} database records; raise records_per_entry")
    list_end = HEADER_BYTES + ENTRY_BYTES * wanted
    if first_at is not None:
        first = first_at
        if first < list_end + junk_len:
            raise ValueError(f"first_record_at: {first} leaves no room for the header, "
                             f"record list and filler ({list_end + junk_len} bytes)")
    else:
        first = list_end + GAP_BYTES + junk_len
    while True:
        # A stray pair in step with the records would hide the fault it is there to show.
        if first_at is None and (offset_clashes(first)
                                 or (stray and (first - STRAY_AT) % LOG_BYTES == 0)):
            first += 1
            continue
        if offset_clashes(first):
            raise ValueError(f"first_record_at: offset {first:#x} holds AA 55")
        starts = []
        s = 0
        while s < n_log:
            starts.append(s)
            s += per_entry
            while s < n_log and offset_clashes(first + LOG_BYTES * s):
                s += 1
        if len(starts) == 0xAA55:
            starts.pop()  # the record count itself would read AA 55
        return first, starts


def build(scenario, bulk=None, per_entry_option=None, stray=False):
    """The database file's bytes and a summary dict."""
    if not isinstance(scenario, dict):
        raise ValueError("a scenario is a JSON object")
    unknown = set(scenario) - SCENARIO_KEYS
    if unknown:
        raise ValueError(f"scenario: unknown keys {sorted(unknown)}")

    name = scenario.get("name", DEFAULT_NAME)
    if not isinstance(name, str):
        raise ValueError("name: a text")
    try:
        name_bytes = name.encode("latin-1")
    except UnicodeEncodeError:
        raise ValueError(f"name: {name!r} is not 8-bit text") from None
    limit = STRAY_AT - 1 if stray else NAME_FIELD - 1
    if len(name_bytes) > limit or MARKER in name_bytes:
        raise ValueError(f"name: at most {limit} characters and no AA 55 pair")

    if bulk is not None:
        meters = bulk_meters(bulk)
        interleave = True
    else:
        meter_list = scenario.get("meters", [])
        if not isinstance(meter_list, list):
            raise ValueError("meters: a list of meters")
        meters = [Meter.from_json(m, f"meters[{n}]") for n, m in enumerate(meter_list)]
        interleave = scenario.get("interleave", False)
        if not isinstance(interleave, bool):
            raise ValueError("interleave: true or false")

    streams = [m.records() for m in meters]
    if interleave:
        # Stable: at equal times, meters keep their order in the list.
        records = heapq.merge(*streams, key=lambda item: item[0])
    else:
        records = itertools.chain(*streams)
    if bulk is not None:
        records = itertools.islice(records, bulk)
    blocks = [data for _, data in records]

    for n, text in enumerate(scenario.get("raw_records", [])):
        raw = parse_bytes(text, f"raw_records[{n}]")
        if len(raw) != LOG_BYTES:
            raise ValueError(f"raw_records[{n}]: a record is {LOG_BYTES} bytes, not {len(raw)}")
        blocks.append(raw)

    bad = scenario.get("bad_blocks", [])
    if not isinstance(bad, list):
        raise ValueError("bad_blocks: a list of record indexes")
    for index in bad:
        if isinstance(index, bool) or not isinstance(index, int) or not 0 <= index < len(blocks):
            raise ValueError(f"bad_blocks: {index!r} is not among the {len(blocks)} log records")
        blocks[index] = BROKEN_MARKER + blocks[index][2:]

    junk = scenario.get("junk_before_first_record", 0)
    if isinstance(junk, bool):
        raise ValueError("junk_before_first_record: a byte count or a hex text")
    if isinstance(junk, int):
        if junk < 0:
            raise ValueError("junk_before_first_record: a byte count or a hex text")
        junk = bytes(n % 256 for n in range(junk))  # a ramp: 0xAA is never followed by 0x55
    else:
        junk = parse_bytes(junk, "junk_before_first_record")
        if MARKER in junk:
            raise ValueError("junk_before_first_record: holds AA 55")
    first_at = scenario.get("first_record_at")
    if first_at is not None and (isinstance(first_at, bool) or not isinstance(first_at, int)):
        raise ValueError("first_record_at: a byte offset in the file")
    trailing = parse_bytes(scenario.get("trailing_bytes", ""), "trailing_bytes")

    per_entry = (per_entry_option if per_entry_option is not None
                 else scenario.get("records_per_entry"))
    if per_entry is None:
        per_entry = max(1, -(-len(blocks) // MAX_ENTRIES))
    if isinstance(per_entry, bool) or not isinstance(per_entry, int) or not (
            1 <= per_entry <= MAX_PER_ENTRY):
        raise ValueError(f"records_per_entry: a number 1..{MAX_PER_ENTRY}")
    first, starts = plan_entries(len(blocks), per_entry, len(junk), first_at, stray)

    # By default the handheld made the database just after the last reading; it was modified
    # a little later and backed up at the next synchronisation.
    latest = max((m.last_time() for m in meters if m.count), default=None)
    if "created" in scenario:
        created = parse_datetime(scenario["created"], "created")
    elif latest is None:
        created = parse_datetime(DEFAULT_CREATED, "created")
    else:
        created = latest + datetime.timedelta(minutes=5)
    modified = max(created, latest or created) + datetime.timedelta(minutes=5)
    backed_up = modified + datetime.timedelta(hours=1)
    c_secs = clean_number(palm_seconds(created, "created"), 4)
    m_secs = clean_number(max(palm_seconds(modified, "header dates"), c_secs), 4)
    b_secs = clean_number(max(palm_seconds(backed_up, "header dates"), m_secs), 4)

    ids, seed = unique_ids(len(starts))
    header = bytearray(HEADER.pack(
        name_bytes, ATTR_BACKUP, 1, c_secs, m_secs, b_secs, clean_number(len(starts), 4), 0, 0,
        DB_TYPE, DB_CREATOR, clean_number(seed, 4), 0, len(starts)))
    if stray:
        header[STRAY_AT:STRAY_AT + 2] = MARKER
    entries = b"".join(struct.pack(">IB", first + LOG_BYTES * s, RECORD_ATTR_DIRTY)
                       + uid.to_bytes(3, "big") for s, uid in zip(starts, ids))
    gap = first - len(junk) - len(header) - len(entries)
    out = bytearray(header)
    out += entries
    out += bytes(gap)
    out += junk
    out += b"".join(blocks)
    out += trailing

    first_good = next((first + LOG_BYTES * n for n, b in enumerate(blocks) if b[:2] == MARKER),
                      None)
    if stray:
        assert out.find(MARKER) == STRAY_AT
    # Past the stray pair, if any, the next pair must be the first intact record.
    found = out.find(MARKER, STRAY_AT + 2 if stray else 0)
    if found != (-1 if first_good is None else first_good):
        if first_good is not None and found > first:
            raise ValueError(f"AA 55 at byte {found} inside a broken record ahead of the first "
                             f"intact one at {first_good}: the reader would lose the stride")
        raise AssertionError(f"AA 55 at byte {found}, before the first log record at {first}")
    assert all(not offset_clashes(first + LOG_BYTES * s) for s in starts)

    modules = []
    for b in blocks:
        if b[:2] == MARKER and b[6] not in modules:
            modules.append(b[6])
    summary = {"records": len(blocks), "bad": len(set(bad)), "entries": len(starts), "first": first,
               "modules": modules, "bytes": len(out)}
    return bytes(out), summary


SCENARIO_KEYS = {"description", "name", "created", "records_per_entry", "interleave", "meters",
                 "bad_blocks", "junk_before_first_record", "first_record_at", "raw_records",
                 "trailing_bytes"}


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Write a handheld backup database (.pdb) of meter log records.")
    parser.add_argument("--output", "-o", required=True, help="database file to write")
    parser.add_argument("--scenario", "-s", help="scenario file (JSON)")
    parser.add_argument("--records", type=int, metavar="N",
                        help="N records of 3 meters x 3 channels every 15 minutes, logged "
                             "together (replaces the scenario's meters)")
    parser.add_argument("--records-per-entry", type=int, metavar="N",
                        help="log records per database record (default: scenario, else 1, "
                             "or more when needed to stay within 65,535 records)")
    parser.add_argument("--stray-marker-in-header", action="store_true",
                        help="for tests: put an AA 55 pair in the header, out of step with the "
                             "records, so that a reader locks on to it")
    args = parser.parse_args(argv)

    try:
        scenario = {}
        if args.scenario:
            with open(args.scenario, encoding="utf-8") as f:
                try:
                    scenario = json.load(f)
                except json.JSONDecodeError as error:
                    raise ValueError(f"{args.scenario}: {error}") from None
        if args.records is not None and args.records < 0:
            raise ValueError("--records must not be negative")
        data, summary = build(scenario, args.records, args.records_per_entry,
                              args.stray_marker_in_header)
    except (OSError, ValueError, KeyError, TypeError, ArithmeticError, struct.error) as error:
        print(f"handheld_db: {error}", file=sys.stderr)
        return 2
    try:
        with open(args.output, "wb") as f:
            f.write(data)
    except OSError as error:
        print(f"handheld_db: {error}", file=sys.stderr)
        return 1
    ids = ", ".join(str(m) for m in summary["modules"]) or "none"
    print(f"handheld_db: {args.output}: {summary['records']} log records "
          f"({summary['bad']} broken) in {summary['entries']} database records, first at byte "
          f"{summary['first']}, {summary['bytes']} bytes; module IDs {ids}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
