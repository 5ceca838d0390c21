// A moment in seconds since 1970 with an strftime format for its local-time
// text (the log's time stamps, login time-outs). Texts go into caller buffers.
#ifndef ZATIME_H
#define ZATIME_H

#include <time.h>

class ZaTime {
 public:
  int t;         // seconds since 1970
  char* format;  // owned strftime format

  // Now, formatted like "04-Dec-96 22.10.05 PST".
  ZaTime();
  // The given time, formatted like "04-Dec-96 22.10.05PST".
  explicit ZaTime(long t);
  ~ZaTime();
  ZaTime(const ZaTime&) = delete;
  ZaTime& operator=(const ZaTime&) = delete;

  long UpdateTime();  // t becomes now; returns it
  // Local time of t (plus days) in format, into buf; returns buf.
  char* GetCurrentTimeString(char* buf, int size);
  char* GetDaysFromCurrentTime(int days, char* buf, int size);

  // With "am" (any case) 12 gives 0 and other hours stay; otherwise 12 stays
  // and other hours get 12 added.
  static int Find24HourTime(int hour, const char* ampm);
  // Reads "dd-Mon-yy hh.mm.ss" into tm (tm_year is the two-digit year as read).
  // 1, or 0 when the text cannot be read.
  static int ZaStrpTime(const char* text, struct tm* tm);
  // Seconds by which a is later than b. Throws a ZaError* for unreadable text.
  static long CompareTimebuf(const char* a, const char* b);
  // 0 to 11 for "Jan" to "Dec" in any case, -1 otherwise.
  static int ConvertMonStrToNum(const char* name);
};

#endif
