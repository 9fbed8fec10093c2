// The MS-DOS date and time encoding (platform.h): one conversion for the
// archive records, the file systems of both platforms and the listings.
#include "platform/platform.h"

namespace zf::os {

uint16_t EncodeDosDate(int year, int month, int day) {
  return static_cast<uint16_t>((((year - 1980) & 0x7F) << 9) | ((month & 0x0F) << 5) |
                               (day & 0x1F));
}

uint16_t EncodeDosTime(int hour, int minute, int second) {
  return static_cast<uint16_t>(((hour & 0x1F) << 11) | ((minute & 0x3F) << 5) |
                               ((second / 2) & 0x1F));
}

uint32_t EncodeDosDateTime(const DosDateTimeParts& p) {
  if (p.Year < 1980) return MakeDosDateTime(EncodeDosDate(1980, 1, 1), EncodeDosTime(0, 0, 0));
  if (p.Year > 2107)
    return MakeDosDateTime(EncodeDosDate(2107, 12, 31), EncodeDosTime(23, 59, 58));
  return MakeDosDateTime(EncodeDosDate(p.Year, p.Month, p.Day),
                         EncodeDosTime(p.Hour, p.Minute, p.Second));
}

DosDateTimeParts DecodeDosDateTime(uint32_t dosDateTime) {
  const uint16_t date = DosDateOf(dosDateTime);
  const uint16_t time = DosTimeOf(dosDateTime);
  DosDateTimeParts p;
  p.Year = 1980 + (date >> 9);
  p.Month = (date >> 5) & 0x0F;
  p.Day = date & 0x1F;
  p.Hour = time >> 11;
  p.Minute = (time >> 5) & 0x3F;
  p.Second = (time & 0x1F) * 2;
  return p;
}

bool IsPossibleDosDateTime(const DosDateTimeParts& p) {
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (p.Month < 1 || p.Month > 12 || p.Day < 1 || p.Day > kDays[p.Month - 1]) return false;
  const bool leap = p.Year % 4 == 0 && (p.Year % 100 != 0 || p.Year % 400 == 0);
  if (p.Month == 2 && p.Day == 29 && !leap) return false;
  return p.Hour <= 23 && p.Minute <= 59 && p.Second <= 59;
}

}  // namespace zf::os
