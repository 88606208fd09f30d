// A minimal libmodbus RTU client for the start-up bench: it opens the device, reads the eight
// status registers the download starts with and ends, as norvale-cli download does against a
// device that is not there. Usage: modbus_read_peer DEVICE
#include <modbus.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: modbus_read_peer DEVICE\n", stderr);
    return 64;
  }
  modbus_t* context = modbus_new_rtu(argv[1], 38400, 'N', 8, 1);
  if (context == nullptr) return 3;
  modbus_set_slave(context, 1);
  if (modbus_connect(context) == -1) {
    std::fprintf(stderr, "modbus_read_peer: %s: %s\n", argv[1], modbus_strerror(errno));
  }
  uint16_t registers[8];
  const int read = modbus_read_registers(context, 76, 8, registers);
  modbus_close(context);
  modbus_free(context);
  return read == 8 ? 0 : 3;
}
