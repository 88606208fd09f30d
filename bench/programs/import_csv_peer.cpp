// What the handheld import's CSV costs without the program around it: a plain program that reads
// a database as `norvale-cli import` does (every module's records, 32 bytes apart from the first
// AA 55 pair) and writes the same bytes, its numbers made with printf or with std::to_chars.
// handheld_bench runs it beside the import and checks that the bytes are the same.
// Usage: import_csv_peer printf|to_chars DATABASE OUTPUT
// It keeps each logged time's values as numbers and formats only the last value of each cell,
// once the channels in use are known; the output is flushed to disk like the program's. It is
// written apart from the program's code (its own BCD, float and number text), so the byte
// comparison checks the import as well.
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kChannels = 8;
constexpr int kRecordBytes = 32;
constexpr int kChunkBytes = 64 * 1024;

struct Row {
  char stamp[17];  // "mm/dd/yyyy hh:mm", or empty
  unsigned char has;
  double values[kChannels];
};

struct Import {
  Row* rows = nullptr;
  long count = 0;
  long room = 0;
  bool named[kChannels] = {};
  bool used[kChannels] = {};
  bool total[kChannels] = {};
  char titles[kChannels][10] = {};
  int titleLengths[kChannels] = {};
  // The last valid date and time, and the time of the current row.
  bool hasDate = false, hasTime = false, hasRowTime = false;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, rowHour = 0, rowMinute = 0;
};

bool usePrintf = false;

int bcd(unsigned char packed) {
  return (packed >> 4) > 9 || (packed & 15) > 9 ? -1 : (packed >> 4) * 10 + (packed & 15);
}

int daysIn(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12) return 0;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

double meterFloat(const unsigned char* b) {
  const bool negative = b[0] > 127;
  const int exponent = (b[0] & 127) * 2 + (b[1] > 127 ? 1 : 0);
  const double mantissa = (b[1] | 128) * 65536.0 + b[2] * 256.0 + b[3];
  if (exponent < 2) return negative ? -1e-37 : 0.0;
  if (exponent > 252) return negative ? -1e37 : 1e37;
  double value = std::ldexp(mantissa / 16777215.0, exponent - 126);
  if (negative) value = -value;
  return value > 1e37 ? 1e37 : value;
}

void putTwo(char* out, int value) {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
}

void writeStamp(char* out, int y, int mo, int d, int h, int mi) {
  if (usePrintf) {
    std::snprintf(out, 17, "%02d/%02d/%04d %02d:%02d", mo, d, y, h, mi);
    return;
  }
  putTwo(out, mo);
  out[2] = '/';
  putTwo(out + 3, d);
  out[5] = '/';
  putTwo(out + 6, y / 100);
  putTwo(out + 8, y % 100);
  out[10] = ' ';
  putTwo(out + 11, h);
  out[13] = ':';
  putTwo(out + 14, mi);
  out[16] = '\0';
}

void newRow(Import& im) {
  if (im.count == im.room) {
    im.room = im.room ? im.room * 2 : 4096;
    Row* rows = static_cast<Row*>(std::realloc(im.rows, sizeof(Row) * im.room));
    if (rows == nullptr) std::abort();
    im.rows = rows;
  }
  Row& row = im.rows[im.count++];
  row.has = 0;
  row.stamp[0] = '\0';
  if (!im.hasDate || !im.hasTime) return;
  int y = im.year, mo = im.month, d = im.day;
  // The end of a day carries that day's date: it shows as the next day.
  if (im.hour == 0 && im.minute == 0 && ++d > daysIn(y, mo)) {
    d = 1;
    if (++mo > 12) {
      mo = 1;
      ++y;
    }
  }
  writeStamp(row.stamp, y, mo, d, im.hour, im.minute);
}

void take(Import& im, const unsigned char* r) {
  if (r[0] != 0xAA || r[1] != 0x55) return;
  const int kind = r[7];
  if (kind % 16 != 0 || kind < 0x10 || kind > 0x80) return;
  const int k = kind / 16 - 1;
  if (!im.named[k]) {
    im.named[k] = true;
    // The ten name bytes without the fill bytes 254 and 255; any other byte, NUL too, stays.
    char name[10];
    int length = 0;
    for (int i = 8; i < 18; ++i) {
      if (r[i] < 254) name[length++] = static_cast<char>(r[i]);
    }
    if (length >= 8 && std::memcmp(name, "Not Used", 8) == 0) {
      im.used[k] = false;
    } else if (length > 0) {
      im.used[k] = true;
      std::memcpy(im.titles[k], name, sizeof name);
      im.titleLengths[k] = length;
      im.total[k] = false;
      for (int i = 0; i + 3 <= length; ++i) {
        if (std::memcmp(name + i, "Tot", 3) == 0) im.total[k] = true;
      }
    }
  }
  const int y = bcd(r[22]), d = bcd(r[24]), h = bcd(r[25]), mi = bcd(r[26]);
  if (y >= 0 && d >= 1 && d <= daysIn(2000 + y, r[23])) {
    im.hasDate = true;
    im.year = 2000 + y;
    im.month = r[23];
    im.day = d;
  }
  if (h >= 0 && h <= 23 && mi >= 0 && mi <= 59) {
    im.hasTime = true;
    im.hour = h;
    im.minute = mi;
  }
  const bool sameRow = im.count > 0 && (im.hasTime ? im.hasRowTime && im.rowHour == im.hour &&
                                                         im.rowMinute == im.minute
                                                   : !im.hasRowTime);
  if (!sameRow) {
    newRow(im);
    im.hasRowTime = im.hasTime;
    im.rowHour = im.hour;
    im.rowMinute = im.minute;
  }
  double value = meterFloat(r + 27);
  if (im.total[k]) value = std::floor(value);
  Row& row = im.rows[im.count - 1];
  row.values[k] = value;
  row.has |= static_cast<unsigned char>(1 << k);
}

// The program's number text: " " or "-", at most 15 significant digits without trailing zeros,
// no "0" before the point, exponent form below 1E-4 and from 1E15 on.
char* putNumber(char* out, double value) {
  if (std::isnan(value) || std::isinf(value)) {
    std::memcpy(out, std::isnan(value) ? " NaN" : value < 0 ? "-Inf" : " Inf", 4);
    return out + 4;
  }
  *out++ = value < 0 ? '-' : ' ';
  const double magnitude = std::fabs(value);
  if (magnitude == 0) {
    *out++ = '0';
    return out;
  }
  // "d.dddddddddddddde+XX"
  char scientific[32];
  if (usePrintf) {
    std::snprintf(scientific, sizeof scientific, "%.14e", magnitude);
  } else {
    *std::to_chars(scientific, scientific + sizeof scientific - 1, magnitude,
                   std::chars_format::scientific, 14)
         .ptr = '\0';
  }
  char digits[15];
  digits[0] = scientific[0];
  std::memcpy(digits + 1, scientific + 2, 14);
  int count = 15;
  while (count > 1 && digits[count - 1] == '0') --count;
  const int exponent = std::atoi(scientific + 17);
  if (exponent < -4 || exponent > 14) {
    *out++ = digits[0];
    if (count > 1) {
      *out++ = '.';
      std::memcpy(out, digits + 1, count - 1);
      out += count - 1;
    }
    *out++ = 'E';
    *out++ = exponent < 0 ? '-' : '+';
    const int e = exponent < 0 ? -exponent : exponent;
    if (e >= 100) *out++ = static_cast<char>('0' + e / 100);
    putTwo(out, e % 100);
    return out + 2;
  }
  if (exponent < 0) {
    *out++ = '.';
    for (int i = -1; i > exponent; --i) *out++ = '0';
    std::memcpy(out, digits, count);
    return out + count;
  }
  for (int i = 0; i <= exponent; ++i) *out++ = i < count ? digits[i] : '0';
  if (count > exponent + 1) {
    *out++ = '.';
    std::memcpy(out, digits + exponent + 1, count - exponent - 1);
    out += count - exponent - 1;
  }
  return out;
}

void writeCsv(const Import& im, FILE* out) {
  std::fputs("Date / Time", out);
  for (int k = 0; k < kChannels; ++k) {
    if (!im.used[k]) continue;
    std::fputc(',', out);
    std::fwrite(im.titles[k], 1, static_cast<size_t>(im.titleLengths[k]), out);
  }
  std::fputs("\r\n", out);
  char line[512];
  for (long i = 0; i < im.count; ++i) {
    const Row& row = im.rows[i];
    char* p = line;
    const size_t stamp = std::strlen(row.stamp);
    std::memcpy(p, row.stamp, stamp);
    p += stamp;
    for (int k = 0; k < kChannels; ++k) {
      if (!im.used[k]) continue;
      *p++ = ',';
      if (row.has & (1 << k)) p = putNumber(p, row.values[k]);
    }
    *p++ = '\r';
    *p++ = '\n';
    std::fwrite(line, 1, static_cast<size_t>(p - line), out);
  }
}

// False when the file holds no AA 55 pair.
bool readRecords(FILE* in, Import& im) {
  static unsigned char chunk[kChunkBytes + kRecordBytes];
  size_t have = 0;
  bool found = false;
  for (;;) {
    const size_t got = std::fread(chunk + have, 1, kChunkBytes, in);
    if (got == 0) break;
    have += got;
    size_t at = 0;
    if (!found) {
      // The first record is at the first AA 55 pair; a pair split between reads counts too.
      while (at + 1 < have && !(chunk[at] == 0xAA && chunk[at + 1] == 0x55)) ++at;
      if (at + 1 >= have) {
        chunk[0] = chunk[have - 1];
        have = 1;
        continue;
      }
      found = true;
    }
    for (; at + kRecordBytes <= have; at += kRecordBytes) take(im, chunk + at);
    std::memmove(chunk, chunk + at, have - at);
    have -= at;
  }
  return found;
}

// The exit status: 0 when the file was written and flushed to disk.
int writeFile(const Import& im, const char* path) {
  if (im.count + 1 > 65534) {
    std::fputs("import_csv_peer: more logged times than the table holds\n", stderr);
    return 3;
  }
  FILE* out = std::fopen(path, "wb");
  if (!out) {
    std::perror(path);
    return 4;
  }
  writeCsv(im, out);
  const bool written = std::fflush(out) == 0 && ::fsync(fileno(out)) == 0;
  return std::fclose(out) == 0 && written ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "printf") != 0 && std::strcmp(argv[1], "to_chars") != 0)) {
    std::fputs("usage: import_csv_peer printf|to_chars DATABASE OUTPUT\n", stderr);
    return 64;
  }
  usePrintf = std::strcmp(argv[1], "printf") == 0;
  FILE* in = std::fopen(argv[2], "rb");
  if (!in) {
    std::perror(argv[2]);
    return 2;
  }
  Import im;
  const bool found = readRecords(in, im);
  std::fclose(in);
  const int status = found ? writeFile(im, argv[3]) : 1;
  std::free(im.rows);
  return status;
}
