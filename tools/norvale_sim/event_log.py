"""The simulators' event log: one JSON object per line."""

import json


class EventLog:
    """Appends to the file at `path`, or writes nothing without one. Each line is flushed at once,
    so that a test reads what happened so far while the simulator runs on."""

    def __init__(self, path):
        self.file = open(path, "a", encoding="utf-8") if path else None

    def write(self, entry):
        if self.file is None:
            return
        self.file.write(json.dumps(entry, separators=(",", ":")) + "\n")
        self.file.flush()

    def close(self):
        if self.file is not None:
            self.file.close()
