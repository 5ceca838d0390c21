// A moment with its local-time text.
#include "zatime.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "zadate.h"
#include "zaerror.h"

namespace {

// The time format followed by the standard zone name; a '%' in the zone name
// is doubled so that strftime prints it as it is.
char* FormatWithZone(const char* separator) {
  tzset();
  std::string format = std::string("%d-%b-%y %H.%M.%S") + separator;
  for (const char* p = tzname[0]; p && *p; p++) {
    if (*p == '%') format += '%';
    format += *p;
  }
  return strdup(format.c_str());
}

// Takes the text from *pos up to the next separator (or the end when the
// separator is 0) and moves past the separator; false when it is missing.
bool NextField(const std::string& text, size_t* pos, char separator, std::string* field) {
  size_t end = separator ? text.find(separator, *pos) : std::string::npos;
  if (separator && end == std::string::npos) return false;
  *field = text.substr(*pos, end == std::string::npos ? std::string::npos : end - *pos);
  *pos = end == std::string::npos ? text.size() : end + 1;
  return true;
}

}  // namespace

ZaTime::ZaTime() : t(static_cast<int>(time(nullptr))), format(FormatWithZone(" ")) {}

ZaTime::ZaTime(long when) : t(static_cast<int>(when)), format(FormatWithZone("")) {}

ZaTime::~ZaTime() { free(format); }

long ZaTime::UpdateTime() {
  t = static_cast<int>(time(nullptr));
  return t;
}

char* ZaTime::GetCurrentTimeString(char* buf, int size) { return GetDaysFromCurrentTime(0, buf, size); }

char* ZaTime::GetDaysFromCurrentTime(int days, char* buf, int size) {
  if (!buf || size <= 0) return buf;
  time_t when = static_cast<time_t>(t) + static_cast<time_t>(days) * 86400;
  struct tm local;
  // strftime leaves the buffer undefined when the text does not fit.
  if (!localtime_r(&when, &local) || strftime(buf, static_cast<size_t>(size), format, &local) == 0)
    buf[0] = '\0';
  return buf;
}

int ZaTime::Find24HourTime(int hour, const char* ampm) {
  if (ampm && strcasecmp(ampm, "am") == 0) return hour == 12 ? 0 : hour;
  return hour == 12 ? 12 : hour + 12;
}

int ZaTime::ZaStrpTime(const char* text, struct tm* tm) {
  if (!text || !tm) return 0;
  std::string s(text), day, mon, year, hour, minute, second;
  size_t pos = 0;
  if (!NextField(s, &pos, '-', &day) || !NextField(s, &pos, '-', &mon) || !NextField(s, &pos, ' ', &year) ||
      !NextField(s, &pos, '.', &hour) || !NextField(s, &pos, '.', &minute))
    return 0;
  // The seconds run up to a blank, or to the end when the zone name follows
  // them directly.
  size_t blank = s.find(' ', pos);
  second = s.substr(pos, blank == std::string::npos ? std::string::npos : blank - pos);
  int month = ConvertMonStrToNum(mon.c_str());
  if (month < 0) return 0;

  memset(tm, 0, sizeof *tm);
  tm->tm_mday = atoi(day.c_str());
  tm->tm_mon = month;
  tm->tm_year = atoi(year.c_str());
  tm->tm_hour = atoi(hour.c_str());
  tm->tm_min = atoi(minute.c_str());
  tm->tm_sec = atoi(second.c_str());
  return 1;
}

namespace {

struct tm ReadTimeText(const char* text) {
  struct tm parsed;
  if (ZaTime::ZaStrpTime(text, &parsed) != 1) {
    ZaError* e = new ZaError();
    e->AddLine(__LINE__, "utillib/src/zatime", String("Unable to read the time ") + text, ZaFalse);
    throw e;
  }
  return parsed;
}

}  // namespace

long ZaTime::CompareTimebuf(const char* a, const char* b) {
  struct tm ta = ReadTimeText(a);
  struct tm tb = ReadTimeText(b);
  return static_cast<long>(mktime(&ta) - mktime(&tb));
}

int ZaTime::ConvertMonStrToNum(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < 12; i++)
    if (strcasecmp(name, ZaDate::monStr[i]) == 0) return i;
  return -1;
}
