"""Scenario files: what a simulated meter holds, as JSON; the value parsers and the log loaders."""

import datetime
import json

from .formula import value_source
from .log_memory import (ERASED, RECORD_BYTES, RING_BYTES, SETUP_NAME_LENGTH, SETUP_NAME_OFFSET,
                         SETUP_RECORD_BYTES, SETUP_TEXT_LENGTH, SETUP_TEXT_OFFSET,
                         check_ring_pointer, encode_record, pointer_to_pos, pos_to_pointer)
from .wire import meter_float


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


def check_keys(scenario):
    """Refuses unknown keys, so that a typo does not pass unnoticed."""
    if not isinstance(scenario, dict):
        raise ValueError("a scenario is a JSON object")
    unknown = set(scenario) - SCENARIO_KEYS
    if unknown:
        raise ValueError(f"scenario: unknown keys {sorted(unknown)}")
    unknown = set(scenario.get("log", {})) - LOG_KEYS
    if unknown:
        raise ValueError(f"log: unknown keys {sorted(unknown)}")


def load_channels(memory, channels):
    """Writes channel k's set-up record from `channels[k - 1]`: a name, an object or null (left
    erased); channels not listed are "Not Used"."""
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
        memory.write_setup_record(k, record)


def load_log(memory, log, start):
    """Places the log's records from the start pointer on; returns the pointer after them."""
    pos = pointer_to_pos(start)
    written = 0
    generators = log.get("generator", [])
    if isinstance(generators, dict):
        generators = [generators]
    for n, generator in enumerate(generators):
        for record in generate_records(generator, f"log.generator[{n}]"):
            memory.write_ring(pos + written, record)
            written += RECORD_BYTES
    for n, record in enumerate(log.get("records", [])):
        if isinstance(record, dict):
            data = parse_bytes(record.get("hex", record.get("bytes", "")),
                               f"log.records[{n}]")
            if "at" in record:
                at = pointer_to_pos(check_ring_pointer(record["at"], f"log.records[{n}].at"))
                memory.write_ring(at, data)
                continue
        else:
            data = parse_bytes(record, f"log.records[{n}]")
        memory.write_ring(pos + written, data)
        written += len(data)
    if written > RING_BYTES:
        raise ValueError("log: more records than the ring holds (32,768)")
    return pos_to_pointer(pos + written)


def generate_records(generator, what):
    """The 8-byte records of one `log.generator`, in the order they are logged."""
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


def load_scenario(path):
    if not path:
        return {}
    with open(path, encoding="utf-8") as f:
        return json.load(f)
