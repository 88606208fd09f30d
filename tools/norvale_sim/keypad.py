"""The KX40's front panel as the simulator plays it: key presses in, four display lines out."""

import math


class Keypad:
    """The KX40's front panel, small: a home screen, a menu and four screens behind it."""

    MENU = ("1 Flow Units", "2 Totalizer", "3 Alarms", "4 Meter ID")
    SCREENS = ("units", "totals", "alarms", "id")
    UNITS = (("CFS", 1.0), ("CFM", 60.0), ("GPM", 448.831), ("MGD", 0.646316),
             ("LPS", 28.317016), ("M3H", 101.952))
    ALARMS = ((1, "Setpoint 1"), (2, "Setpoint 2"), (4, "Setpoint 3"), (8, "Lost Signal"),
              (16, "4-20 Loop#1"), (32, "4-20 Loop#2"))
    HELP = {"home": "M=Menu  .=Help", "menu": "N/L move E=open M=bk",
            "units": "N/L unit E=store", "totals": "2nd 0=reset M=back",
            "alarms": "M=back", "id": "M=back"}

    def __init__(self, options, slave, reset_totals):
        if options is True:
            options = {}
        if not isinstance(options, dict) or set(options) - {"unit"}:
            raise ValueError('keypad: true, or an object with "unit"')
        names = [name for name, _ in self.UNITS]
        unit = options.get("unit", "CFS")
        if unit not in names:
            raise ValueError(f"keypad.unit: one of {', '.join(names)}")
        self.unit = self.choice = names.index(unit)
        self.slave = slave
        self.reset_totals = reset_totals
        self.screen = "home"
        self.cursor = 0
        self.second = False
        self.note = None  # replaces line 4 until the next key

    def press(self, key, now):
        second, self.second, self.note = self.second, False, None
        if key == ".":
            self.note = self.HELP[self.screen]
        elif key == "F":
            self.second, self.note = True, "2nd"
        elif key == "M":
            if self.screen == "home":
                self.screen, self.cursor = "menu", 0
            else:
                self.screen = "home" if self.screen == "menu" else "menu"
        elif self.screen == "menu":
            if key in "NL":
                self.cursor = (self.cursor + (1 if key == "N" else -1)) % len(self.MENU)
            elif key in "1234" or key == "E":
                if key != "E":
                    self.cursor = int(key) - 1
                self.screen = self.SCREENS[self.cursor]
                self.choice = self.unit
        elif self.screen == "units":
            if key in "NL":
                self.choice = (self.choice + (1 if key == "N" else -1)) % len(self.UNITS)
            elif key == "E":
                self.unit = self.choice
                self.note = f"Stored {self.UNITS[self.unit][0]}"
        elif self.screen == "totals" and key == "0" and second:
            self.reset_totals(now)
            self.note = "Totals reset"

    def lines(self, home, values):
        screen = self.screen
        if screen == "home":
            lines = list(home)
        elif screen == "menu":
            lines = [(">" if i == self.cursor else " ") + text for i, text in enumerate(self.MENU)]
        elif screen == "units":
            name, factor = self.UNITS[self.choice]
            lines = ["Flow Units", f"Flow {values['flow'] * factor:11.3f} {name}",
                     f"Unit {name}" + ("  (stored)" if self.choice == self.unit else ""),
                     "N/L unit  E=store"]
        elif screen == "totals":
            lines = ["Totalizer", f"Fwd {values['forward_total']:16d}",
                     f"Rev {values['reverse_total']:16d}", "2nd 0=reset"]
        elif screen == "alarms":
            alarm = values["alarm"]
            word = math.floor(alarm) if math.isfinite(alarm) else 0
            labels = [text for bit, text in self.ALARMS if word & bit] or ["None"]
            if len(labels) > 3:
                labels = labels[:2] + [f"+{len(labels) - 2} more"]
            lines = [f"Alarms {word:13d}"] + labels
        else:
            lines = ["Meter ID", f"ID {self.slave:03d}", f"Modbus slave {self.slave}"]
        lines += [""] * (4 - len(lines))
        if self.note is not None:
            lines[3] = self.note
        return lines
