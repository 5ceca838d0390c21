// A calendar date with a time of day (local time), its text forms among them the
// compact versit form "19961204T0905", and the arithmetic of recurring dates.
// Every char* or ZaDate* returned is new: texts are malloc'ed and freed by the
// caller, dates are deleted by the caller.
#ifndef ZADATE_H
#define ZADATE_H

#include "zaerror.h"

class ZaDate {
 public:
  int day;           // 1 to 31; 0 means no day
  int month;         // 1 to 12
  int year;          // with century
  int firstWeekday;  // weekday of the 1st of the month, 0 Sunday to 6 Saturday
  int weekday;       // weekday of the date
  int second;
  int minute;
  int hour;

  static const char* const monthStrings[13];   // [1..12] "January".."December"
  static const char* const monStr[12];         // "Jan".."Dec"
  static const char* const dayStrings[7];      // "Sunday".."Saturday"
  static const char* const shortDayStrings[7]; // "SU".."SA"
  static const int daysInMonth[13];            // [1..12]; February from DaysInFeb

  // Each constructor throws a ZaError* "Incorrect date" for an invalid date
  // (month 1-12, year 1970-2037, day 0 or within the month).
  ZaDate();                                // now, local time
  ZaDate(int day, int month, int year);    // at 00:00:00
  explicit ZaDate(const char* versit);     // "YYYYMMDD[Thhmm...]"

  void InitFirstDay();  // recomputes firstWeekday and weekday

  int DaysInFeb() const;
  static int DaysInFeb(int year);
  ZaBoolean ValidateDate() const;
  static ZaBoolean ValidateDate(int day, int month, int year);
  int DaysInMonth() const;

  char* GetMonthString() const;
  static char* GetMonthString(int month);
  char* GetWeekDayString() const;
  static char* GetWeekDayString(int weekday);
  char* GetWeekDayShortString() const;
  static char* GetWeekDayShortString(int weekday);

  char* DateString() const;                          // "December 4 1996"
  static char* DateString(const char* versit);
  char* DateTimeString() const;                      // "December 4 1996 09:05 am"
  static char* GetRegularTime(const char* versit);   // "9:05 am"
  static char* GetRegularDateTime(const char* versit);
  char* VersitStyleString() const;                   // "19961204T0905"
  char* VersitStyleStringWithSeconds() const;        // "19961204T090500"
  static char* GetVersitStyleStringFromToday(int days);
  static char* GetTimeString(int hour, int minute, int day, int month, int year);

  // Fields of a versit text; 0 when the text is too short to hold them.
  static int GetDay(const char* versit);
  static int GetMonth(const char* versit);
  static int GetYear(const char* versit);
  static int GetHourInt(const char* versit);
  static int GetMinuteInt(const char* versit);
  static char* GetHour(const char* versit);    // two characters
  static char* GetMinute(const char* versit);  // two characters
  static void ChangeOnlyTime(char* dst, const char* src);  // hhmm of src into dst

  static long IntegerDate(const char* versit);  // time stamp at 00:00:01 local
  int CmpDate(const ZaDate* other) const;       // 0 same day, 1 later, 2 earlier
  static int CompareDates(const char* a, const char* b);  // 0, 1 a later, -1
  static int CmpTime(const char* a, const char* b);       // 0, 1 a later, 2
  ZaBoolean FallsOnOrBetween(long from, long to) const;

  ZaDate IncrementByDay();
  ZaDate DecrementByDay();
  ZaDate SetToStartOfWeek();  // back to Monday
  int GetDateOn(int week, int weekday) const;  // -1 when the month is too short
  int SetToNextOccurence(int week, int weekday);  // returns the year
  static ZaBoolean ShouldChangeFromBeginning(const char* versit, int day, int month, int year);

  // Recurrences: "daily", "weekly", "biweekly", "monthlybydate",
  // "monthlybyweekday", "yearly", "monthrufri", "monwedfri", "tuethu" (any case).
  ZaDate* GetEndDate(const char* recurrence, const char* count) const;
  static char* GetEndTimeStr(const char* recurrence, const char* count, const char* versitStart);
  static char* GetEndTimeStr(const char* recurrence, const char* count, int day, int month,
                             int year, int hour, int minute);
  ZaDate* GetPreviousOccurence(const char* recurrence) const;
  int RemainingTimes(const ZaDate& end, const char* recurrence) const;

  static long AbsoluteCurrentTime();  // time(NULL)
};

#endif
