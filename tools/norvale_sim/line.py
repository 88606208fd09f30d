"""The serial line: request frames cut from the bytes received, faults applied, replies paced."""

from .wire import crc16, describe, exception_reply, request_length


class Simulator:
    BYTE_BITS = 10  # start bit, 8 data bits, stop bit
    CHUNK_SECONDS = 0.002  # paced replies go out in slices this long

    def __init__(self, meter, faults, baud, event_log):
        self.meter = meter
        self.faults = faults
        self.byte_seconds = self.BYTE_BITS / baud if baud else 0.0
        self.start_byte_seconds = self.byte_seconds
        self.event_log = event_log
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
        self.event_log.write(entry)

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

    def set_baud(self, baud):
        """The client changed the line's speed (RFC 2217): paced replies follow it, as on a real
        line; unpaced ones stay unpaced."""
        if self.byte_seconds and baud > 0:
            self.byte_seconds = self.BYTE_BITS / baud

    def purge_received(self):
        self.buffer.clear()

    def purge_outgoing(self, now):
        self.outgoing.clear()
        self.line_free_at = min(self.line_free_at, now)

    def line_closed(self):
        """The client went away (TCP): its unfinished bytes were noise, replies still due are lost
        and the next client starts at the speed given at start."""
        self.discarded += len(self.buffer)
        self.buffer.clear()
        self.flush_discarded()
        self.outgoing.clear()
        self.line_free_at = 0.0
        self.byte_seconds = self.start_byte_seconds
        self.dropped = False

    def idle_due(self):
        """When `idle` has work: dropping an unfinished frame, or logging bytes dropped."""
        if self.buffer:
            return self.last_arrival + self.frame_gap()
        return self.last_arrival if self.discarded else None

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
            # Each drop fires once: a client that connects again (TCP) gets its answers.
            self.faults = [f for f in self.faults if f.action != "drop" or f not in firing]
            return
        if "silent" in actions:
            entry["action"] = "silent"
            self.log(entry)
            return
        exception = next((f for f in firing if f.action == "exception"), None)
        if exception is not None:
            reply = exception_reply(frame, exception.code)
            entry["action"] = "exception"
            entry["code"] = exception.code
        else:
            reply, entry["action"] = self.meter.answer(frame, entry, now)
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
