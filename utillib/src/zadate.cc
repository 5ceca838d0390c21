// Calendar dates, their text forms and recurring dates.
#include "zadate.h"

#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <time.h>

#include <memory>
#include <string>

const char* const ZaDate::monthStrings[13] = {"",     "January", "February",  "March",   "April",
                                              "May",  "June",    "July",      "August",  "September",
                                              "October", "November", "December"};
const char* const ZaDate::monStr[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const ZaDate::dayStrings[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};
const char* const ZaDate::shortDayStrings[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
const int ZaDate::daysInMonth[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

namespace {

const char kSource[] = "utillib/src/zadate";
const long long kSecondsPerDay = 86400;

[[noreturn]] void RaiseIncorrectDate(int line) {
  ZaError* e = new ZaError();
  e->AddLine(line, kSource, "Incorrect date", ZaFalse);
  throw e;
}

// A new malloc'ed text made with printf formatting.
__attribute__((format(printf, 1, 2))) char* Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  char* text = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
  vsnprintf(text, static_cast<size_t>(length) + 1, format, again);
  va_end(again);
  return text;
}

// Calendar day numbers (days since 1 January 1970). Stepping through dates
// counts calendar days rather than adding 86 400 seconds to a local time
// stamp: on the days that daylight saving time begins or ends a local day
// lasts 23 or 25 hours, and the stamp would land on the wrong date.
long long DayNumber(long long year, long long month, long long day) {
  year -= month <= 2;
  long long era = (year >= 0 ? year : year - 399) / 400;
  long long yearOfEra = year - era * 400;
  long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int WeekdayOf(long long dayNumber) {  // 1 January 1970 was a Thursday
  return static_cast<int>(((dayNumber + 4) % 7 + 7) % 7);
}

long long DayNumber(const ZaDate& d) { return DayNumber(d.year, d.month, d.day); }

void SetDayNumber(ZaDate& d, long long dayNumber) {
  long long z = dayNumber + 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long dayOfEra = z - era * 146097;
  long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  long long mp = (5 * dayOfYear + 2) / 153;
  d.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  d.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  d.year = static_cast<int>(yearOfEra + era * 400 + (d.month <= 2));
  d.InitFirstDay();
}

void AddDays(ZaDate& d, long long days) { SetDayNumber(d, DayNumber(d) + days); }

int LengthOfMonth(int month, int year) {
  if (month == 2) return ZaDate::DaysInFeb(year);
  return month >= 1 && month <= 12 ? ZaDate::daysInMonth[month] : 0;
}

void NextMonth(ZaDate& d) {
  if (++d.month > 12) {
    d.month = 1;
    d.year++;
  }
}

// One step of "monthlybydate": the next month long enough to hold the day.
// A day that no month holds leaves the date where it is.
void StepMonthByDate(ZaDate& d, int dayOfMonth) {
  if (dayOfMonth > 31) return;
  do {
    NextMonth(d);
  } while (LengthOfMonth(d.month, d.year) < dayOfMonth);
  d.day = dayOfMonth;
  d.InitFirstDay();
}

// Monthly patterns repeat every 400 years: 4800 months, which are exactly
// 20 871 weeks, so the same days of the same months qualify again.
const long long kCycleMonths = 4800;

long long MonthIndex(const ZaDate& d) { return d.year * 12LL + d.month - 1; }

// Moves by whole years; 29 February becomes 28 February in a common year.
// Years beyond the range of int stop at its end.
void AddYears(ZaDate& d, long long years) {
  long long year = d.year + years;
  d.year = static_cast<int>(year < INT_MIN ? INT_MIN : year > INT_MAX ? INT_MAX : year);
  if (d.day > LengthOfMonth(d.month, d.year)) d.day = LengthOfMonth(d.month, d.year);
  d.InitFirstDay();
}

// Takes n steps of a monthly pattern. A count too large to step through one by
// one skips whole 400-year cycles first: the n-th qualifying month after any
// month lies 4800 months after the (n - k)-th, k being the number of qualifying
// months per cycle.
template <typename Step>
void StepMonthly(ZaDate& d, long long n, Step step) {
  if (n > kCycleMonths) {
    ZaDate probe(d);
    long long perCycle = 0, last = MonthIndex(d) + kCycleMonths;
    for (;;) {
      long long before = MonthIndex(probe);
      step(probe);
      if (MonthIndex(probe) <= before) return;  // a pattern that names no day never moves
      if (MonthIndex(probe) > last) break;
      perCycle++;
    }
    if (perCycle > 0) {
      long long cycles = (n - 1) / perCycle;
      AddYears(d, 400 * cycles);
      n -= cycles * perCycle;
    }
  }
  for (long long i = 0; i < n; i++) step(d);
}

// The number of occurrences in a count text; texts beyond the range of int
// count as its ends rather than overflowing.
long long CountOf(const char* count) {
  if (!count) return 0;
  long long n = strtoll(count, nullptr, 10);
  return n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : n;
}

bool Is(const char* recurrence, const char* name) { return recurrence && strcasecmp(recurrence, name) == 0; }

// The number of width characters at pos of a versit text; 0 when the text
// ends before them.
int VersitNumber(const char* versit, size_t pos, size_t width) {
  if (!versit || strnlen(versit, pos + width) < pos + width) return 0;
  return atoi(std::string(versit + pos, width).c_str());
}

char* VersitChars(const char* versit, size_t pos) {
  if (!versit || strnlen(versit, pos + 2) < pos + 2) return strdup("");
  return strndup(versit + pos, 2);
}

int TwelveHour(int hour) { return hour == 0 ? 12 : hour > 12 ? hour - 12 : hour; }

const char* AmPm(int hour) { return hour < 12 ? "am" : "pm"; }

time_t LocalStampAtOneSecond(int day, int month, int year) {
  struct tm local;
  memset(&local, 0, sizeof local);
  local.tm_mday = day;
  local.tm_mon = month - 1;
  local.tm_year = year - 1900;
  local.tm_sec = 1;
  local.tm_isdst = -1;  // the system knows whether daylight saving time applies
  return mktime(&local);
}

int Compare(int a, int b) { return a > b ? 1 : a < b ? -1 : 0; }

int CompareYmd(int y1, int m1, int d1, int y2, int m2, int d2) {
  if (int c = Compare(y1, y2)) return c;
  if (int c = Compare(m1, m2)) return c;
  return Compare(d1, d2);
}

}  // namespace

ZaDate::ZaDate() {
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  day = local.tm_mday;
  month = local.tm_mon + 1;
  year = local.tm_year + 1900;
  hour = local.tm_hour;
  minute = local.tm_min;
  second = local.tm_sec;
  InitFirstDay();
  if (ValidateDate() != ZaTrue) RaiseIncorrectDate(86);
}

ZaDate::ZaDate(int d, int m, int y) : day(d), month(m), year(y), second(0), minute(0), hour(0) {
  InitFirstDay();
  if (ValidateDate() != ZaTrue) RaiseIncorrectDate(105);
}

ZaDate::ZaDate(const char* versit)
    : day(GetDay(versit)), month(GetMonth(versit)), year(GetYear(versit)), second(0), minute(0), hour(0) {
  if (versit && strpbrk(versit, "Tt")) {
    hour = GetHourInt(versit);
    minute = GetMinuteInt(versit);
  }
  InitFirstDay();
  if (ValidateDate() != ZaTrue) RaiseIncorrectDate(130);
}

void ZaDate::InitFirstDay() {
  firstWeekday = WeekdayOf(DayNumber(year, month, 1));
  weekday = WeekdayOf(DayNumber(*this));
}

int ZaDate::DaysInFeb() const { return DaysInFeb(year); }

int ZaDate::DaysInFeb(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0 ? 29 : 28; }

ZaBoolean ZaDate::ValidateDate() const { return ValidateDate(day, month, year); }

ZaBoolean ZaDate::ValidateDate(int d, int m, int y) {
  bool valid = m >= 1 && m <= 12 && y >= 1970 && y <= 2037 && d >= 0 && d <= LengthOfMonth(m, y);
  return valid ? ZaTrue : ZaFalse;
}

int ZaDate::DaysInMonth() const { return LengthOfMonth(month, year); }

// Names of numbers outside the tables are empty texts, never null.
char* ZaDate::GetMonthString() const { return GetMonthString(month); }
char* ZaDate::GetMonthString(int m) { return strdup(m >= 1 && m <= 12 ? monthStrings[m] : ""); }
char* ZaDate::GetWeekDayString() const { return GetWeekDayString(weekday); }
char* ZaDate::GetWeekDayString(int wd) { return strdup(wd >= 0 && wd <= 6 ? dayStrings[wd] : ""); }
char* ZaDate::GetWeekDayShortString() const { return GetWeekDayShortString(weekday); }
char* ZaDate::GetWeekDayShortString(int wd) { return strdup(wd >= 0 && wd <= 6 ? shortDayStrings[wd] : ""); }

char* ZaDate::DateString() const {
  std::unique_ptr<char, decltype(&free)> name(GetMonthString(month), &free);
  return Format("%s %d %d", name.get(), day, year);
}

char* ZaDate::DateString(const char* versit) {
  std::unique_ptr<char, decltype(&free)> name(GetMonthString(GetMonth(versit)), &free);
  return Format("%s %d %d", name.get(), GetDay(versit), GetYear(versit));
}

char* ZaDate::DateTimeString() const {
  std::unique_ptr<char, decltype(&free)> date(DateString(), &free);
  return Format("%s %.2d:%.2d %s", date.get(), TwelveHour(hour), minute, AmPm(hour));
}

char* ZaDate::GetRegularTime(const char* versit) {
  int h = GetHourInt(versit);
  return Format("%d:%.2d %s", TwelveHour(h), GetMinuteInt(versit), AmPm(h));
}

char* ZaDate::GetRegularDateTime(const char* versit) {
  std::unique_ptr<char, decltype(&free)> date(DateString(versit), &free);
  std::unique_ptr<char, decltype(&free)> timeOfDay(GetRegularTime(versit), &free);
  return Format("%s %s", date.get(), timeOfDay.get());
}

char* ZaDate::VersitStyleString() const {
  return Format("%.4d%.2d%.2dT%.2d%.2d", year, month, day, hour, minute);
}

char* ZaDate::VersitStyleStringWithSeconds() const {
  return Format("%.4d%.2d%.2dT%.2d%.2d%.2d", year, month, day, hour, minute, second);
}

char* ZaDate::GetVersitStyleStringFromToday(int days) {
  time_t when = time(nullptr) + static_cast<time_t>(days) * kSecondsPerDay;
  struct tm local;
  localtime_r(&when, &local);
  return Format("%.4d%.2d%.2dT0000", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

char* ZaDate::GetTimeString(int h, int m, int d, int mon, int y) {
  return Format("%4d%.2d%.2dT%.2d%.2d", y, mon, d, h, m);
}

int ZaDate::GetDay(const char* versit) { return VersitNumber(versit, 6, 2); }
int ZaDate::GetMonth(const char* versit) { return VersitNumber(versit, 4, 2); }
int ZaDate::GetYear(const char* versit) { return VersitNumber(versit, 0, 4); }
int ZaDate::GetHourInt(const char* versit) { return VersitNumber(versit, 9, 2); }
int ZaDate::GetMinuteInt(const char* versit) { return VersitNumber(versit, 11, 2); }
char* ZaDate::GetHour(const char* versit) { return VersitChars(versit, 9); }
char* ZaDate::GetMinute(const char* versit) { return VersitChars(versit, 11); }

// Texts too short to hold a time are left as they are.
void ZaDate::ChangeOnlyTime(char* dst, const char* src) {
  if (!dst || !src || strnlen(dst, 13) < 13 || strnlen(src, 13) < 13) return;
  memcpy(dst + 9, src + 9, 4);
}

long ZaDate::IntegerDate(const char* versit) {
  return static_cast<long>(LocalStampAtOneSecond(GetDay(versit), GetMonth(versit), GetYear(versit)));
}

int ZaDate::CmpDate(const ZaDate* other) const {
  int c = CompareYmd(year, month, day, other->year, other->month, other->day);
  return c == 0 ? 0 : c > 0 ? 1 : 2;
}

// Only the dates are compared; CmpTime compares the times of day.
int ZaDate::CompareDates(const char* a, const char* b) {
  return CompareYmd(GetYear(a), GetMonth(a), GetDay(a), GetYear(b), GetMonth(b), GetDay(b));
}

int ZaDate::CmpTime(const char* a, const char* b) {
  int c = Compare(GetHourInt(a) * 60 + GetMinuteInt(a), GetHourInt(b) * 60 + GetMinuteInt(b));
  return c == 0 ? 0 : c > 0 ? 1 : 2;
}

ZaBoolean ZaDate::FallsOnOrBetween(long from, long to) const {
  long stamp = static_cast<long>(LocalStampAtOneSecond(day, month, year));
  return stamp >= from && stamp <= to ? ZaTrue : ZaFalse;
}

ZaDate ZaDate::IncrementByDay() {
  AddDays(*this, 1);
  return *this;
}

ZaDate ZaDate::DecrementByDay() {
  AddDays(*this, -1);
  return *this;
}

ZaDate ZaDate::SetToStartOfWeek() {
  AddDays(*this, weekday == 0 ? -6 : 1 - weekday);
  return *this;
}

int ZaDate::GetDateOn(int week, int wd) const {
  int date = 1 + ((wd - firstWeekday) % 7 + 7) % 7 + 7 * week;
  return date >= 1 && date <= DaysInMonth() ? date : -1;
}

// Every month has a first to fourth of each weekday, and a fifth turns up within
// four months, so the search ends for weeks 0 to 4. Other weeks and weekdays
// name no day: the date then stays as it is.
int ZaDate::SetToNextOccurence(int week, int wd) {
  if (week < 0 || week > 4 || wd < 0 || wd > 6) return year;
  ZaDate probe(*this);
  for (;;) {
    NextMonth(probe);
    probe.day = 1;
    probe.InitFirstDay();
    int date = probe.GetDateOn(week, wd);
    if (date != -1) {
      month = probe.month;
      year = probe.year;
      day = date;
      InitFirstDay();
      return year;
    }
  }
}

ZaBoolean ZaDate::ShouldChangeFromBeginning(const char* versit, int d, int m, int y) {
  return GetDay(versit) == d && GetMonth(versit) == m && GetYear(versit) == y ? ZaTrue : ZaFalse;
}

ZaDate* ZaDate::GetEndDate(const char* recurrence, const char* count) const {
  long long steps = CountOf(count) - 1;
  if (steps < 0) steps = 1;
  ZaDate* end = new ZaDate(*this);
  if (Is(recurrence, "daily")) {
    AddDays(*end, steps);
  } else if (Is(recurrence, "weekly")) {
    AddDays(*end, 7LL * steps);
  } else if (Is(recurrence, "biweekly")) {
    AddDays(*end, 14LL * steps);
  } else if (Is(recurrence, "monthrufri") || Is(recurrence, "monwedfri")) {
    AddDays(*end, 5 - weekday + 7LL * steps);
  } else if (Is(recurrence, "tuethu")) {
    AddDays(*end, 4 - weekday + 7LL * steps);
  } else if (Is(recurrence, "monthlybydate")) {
    StepMonthly(*end, steps, [this](ZaDate& d) { StepMonthByDate(d, day); });
  } else if (Is(recurrence, "monthlybyweekday")) {
    StepMonthly(*end, steps, [this](ZaDate& d) { d.SetToNextOccurence((day - 1) / 7, weekday); });
  } else if (Is(recurrence, "yearly")) {
    AddYears(*end, steps);
  }
  return end;
}

char* ZaDate::GetEndTimeStr(const char* recurrence, const char* count, const char* versitStart) {
  ZaDate start(versitStart);
  std::unique_ptr<ZaDate> end(start.GetEndDate(recurrence, count));
  return GetTimeString(start.hour, start.minute, end->day, end->month, end->year);
}

char* ZaDate::GetEndTimeStr(const char* recurrence, const char* count, int d, int m, int y, int h, int min) {
  ZaDate start(d, m, y);
  std::unique_ptr<ZaDate> end(start.GetEndDate(recurrence, count));
  return GetTimeString(h, min, end->day, end->month, end->year);
}

// Names outside the list, and the monthly patterns, give the same date.
ZaDate* ZaDate::GetPreviousOccurence(const char* recurrence) const {
  ZaDate* previous = new ZaDate(*this);
  if (Is(recurrence, "daily")) {
    AddDays(*previous, -1);
  } else if (Is(recurrence, "weekly")) {
    AddDays(*previous, -7);
  } else if (Is(recurrence, "biweekly")) {
    AddDays(*previous, -14);
  } else if (Is(recurrence, "monthrufri")) {
    AddDays(*previous, weekday == 1 ? -3 : -1);
  } else if (Is(recurrence, "monwedfri")) {
    AddDays(*previous, weekday == 1 ? -3 : -2);
  } else if (Is(recurrence, "tuethu")) {
    AddDays(*previous, weekday == 2 ? -5 : -2);
  } else if (Is(recurrence, "yearly")) {
    AddYears(*previous, -1);
  }
  return previous;
}

// The monthly counts step from this date until they reach end; an end that the
// pattern skips over counts the steps up to the first date past it.
int ZaDate::RemainingTimes(const ZaDate& end, const char* recurrence) const {
  long long s = DayNumber(*this) * kSecondsPerDay;
  long long e = DayNumber(end) * kSecondsPerDay;
  const long long week = 7 * kSecondsPerDay;
  if (Is(recurrence, "daily")) return static_cast<int>((e - s) / kSecondsPerDay);
  if (Is(recurrence, "weekly")) return static_cast<int>((e - s) / week);
  if (Is(recurrence, "biweekly")) return static_cast<int>((e - s) / (2 * week));
  if (Is(recurrence, "monthrufri") || Is(recurrence, "monwedfri"))
    return static_cast<int>((e + (5 - end.weekday) * kSecondsPerDay - s) / week + 1);
  if (Is(recurrence, "tuethu")) return static_cast<int>((e + (4 - end.weekday) * kSecondsPerDay - s) / week + 1);
  if (Is(recurrence, "monthlybydate") || Is(recurrence, "monthlybyweekday")) {
    bool byDate = Is(recurrence, "monthlybydate");
    ZaDate step(*this);
    int steps = 0;
    while (step.CmpDate(&end) == 2) {
      long long before = MonthIndex(step);
      if (byDate)
        StepMonthByDate(step, day);
      else
        step.SetToNextOccurence((day - 1) / 7, weekday);
      if (MonthIndex(step) == before) break;  // a pattern that names no day never gets there
      steps++;
    }
    return steps;
  }
  if (Is(recurrence, "yearly")) return end.year - year;
  return 1;
}

long ZaDate::AbsoluteCurrentTime() { return static_cast<long>(time(nullptr)); }
