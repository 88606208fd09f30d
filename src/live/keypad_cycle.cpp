#include "live/keypad_cycle.h"

#include "live/keypad.h"

namespace norvale {
namespace {

constexpr int kKeyRegister = 208;
constexpr int kFirstDisplayRegister = 24;
constexpr int kRegistersPerLine = 10;
constexpr int kDisplayLines = 4;

}  // namespace

void KeypadCycle::press(int buttonIndex) {
  if (char code = KeyCodeOf(buttonIndex)) KeyQueue += code;
}

void KeypadCycle::RunTick(MeterLink& link, int slave, LiveDisplayView& view) {
  if (!KeyQueue.empty()) {
    const auto code = static_cast<unsigned char>(KeyQueue.front());
    link.state().WriteHiBytes[0] = code;
    link.state().WriteLoBytes[0] = code;
    if (link.WriteMultipleRegisters(slave, kKeyRegister, 1, 2)) KeyQueue.erase(0, 1);
  }
  for (int line = 0; line < kDisplayLines; ++line) {
    if (link.ReadHoldingRegisters(slave, 0, kFirstDisplayRegister + kRegistersPerLine * line,
                                  kRegistersPerLine)) {
      view.setDisplayLine(line, MaskDisplayText(link.state().ReplyText));
    }
  }
}

}  // namespace norvale
