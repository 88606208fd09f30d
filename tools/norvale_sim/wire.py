"""Modbus RTU as the meter speaks it: the CRC, request lengths and fields, the meter's numbers."""

import struct

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


def exception_reply(frame, code):
    """slave, function | 0x80, code, CRC: the refusal of the request `frame`."""
    return with_crc(bytes((frame[0], frame[1] | 0x80, code & 0xFF)))


# --- Numbers ---------------------------------------------------------------------------------


def meter_float(value):
    """The meter's four-byte number: IEEE single precision, most significant byte first."""
    return struct.pack(">f", float(value))


def float_value(data):
    return struct.unpack(">f", data)[0]


def total_bytes(value):
    """Four bytes whose value is b1 * 65536 + b2 * 4096 + b3 * 256 + b4 (the live totals)."""
    value = int(value)
    if not 0 <= value < 256 * 65536:
        raise ValueError(f"total {value} does not fit the live block's four bytes")
    rest = value % 65536
    return bytes((value // 65536, rest // 4096, (rest % 4096) // 256, rest % 256))


def total_value(data):
    return data[0] * 65536 + data[1] * 4096 + data[2] * 256 + data[3]


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
