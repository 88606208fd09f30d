"""The meter's log memory: the ring of 8-byte records (banks 8..23) and the set-up records (24)."""

import datetime

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


def stamp_of(when):
    """The date a record logged at `when` carries, in the meter's log and the handheld's alike.

    The program moves a record stamped exactly 00:00 on to the next day, because the meter stamps
    the end of a day's last interval with that day's date. A midnight reading is therefore
    written with the previous day's date.
    """
    return when - datetime.timedelta(days=1) if when.hour == 0 and when.minute == 0 else when


def encode_record(channel, when, value_bytes):
    """One 8-byte log record for `channel` logged at `when` (a datetime)."""
    if not 1 <= channel <= 8:
        raise ValueError(f"channel {channel} is outside 1..8")
    stamp = stamp_of(when)
    y = year_field(stamp.year)
    b1 = channel << 4 | stamp.month
    b2 = ((y >> 3) & 3) << 6 | bcd(stamp.day)
    b3 = ((y >> 1) & 3) << 6 | bcd(when.hour)
    b4 = (y & 1) << 7 | bcd(when.minute)
    return bytes((b1, b2, b3, b4)) + bytes(value_bytes)


# --- The memory ------------------------------------------------------------------------------


class LogMemory:
    """What function 96 reads: the log ring and the set-up bank, erased (0xFF) until written."""

    def __init__(self):
        self.ring = bytearray([ERASED]) * RING_BYTES
        self.setup = bytearray([ERASED]) * BANK_BYTES

    def write_ring(self, pos, data):
        for i, byte in enumerate(data):
            self.ring[(pos + i) % RING_BYTES] = byte

    def write_setup_record(self, channel, record):
        """Channel k's set-up record sits at address high 128 + k, low 0 of bank 24."""
        offset = channel * 256
        self.setup[offset:offset + SETUP_RECORD_BYTES] = record

    def read(self, bank, hi, lo, length):
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
