// Dates and times in two zones with daylight saving time, given as POSIX rules
// (no zone database needed): US Pacific, and New Zealand with its summer in the
// other half of the year.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <time.h>

#include <functional>
#include <memory>
#include <string>

#include "zadate.h"
#include "zatime.h"

namespace {

struct Zone {
  const char* tz;
  const char* timeText;  // ZaTime(849766205), 06:10:05 UTC on 5 December 1996, and a day later
  const char* nextDayText;
};

class DateTest : public ::testing::TestWithParam<Zone> {
 protected:
  void SetUp() override { setenv("TZ", GetParam().tz, 1), tzset(); }
  void TearDown() override { unsetenv("TZ"), tzset(); }
};

std::string Take(char* text) {
  std::unique_ptr<char, decltype(&free)> owned(text, &free);
  return text ? text : "(null)";
}

std::string Ymd(const ZaDate& d) { return std::to_string(d.year * 10000 + d.month * 100 + d.day); }

// The first trace line of the error that call raises, or "none".
std::string RaisedBy(const std::function<void()>& call) {
  try {
    call();
  } catch (ZaError* e) {
    std::string line = e->lines.head ? e->lines.head->value : "";
    delete e;
    return line;
  }
  return "none";
}

TEST_P(DateTest, ValidityFollowsLeapYearsAndTheSupportedYears) {
  struct { int day, month, year; bool valid; } cases[] = {
      {29, 2, 1996, true}, {29, 2, 1900, false}, {29, 2, 2000, true},  {29, 2, 1997, false},
      {1, 1, 1970, true},  {31, 12, 2037, true}, {31, 12, 1969, false}, {1, 1, 2038, false},
      {31, 4, 1997, false}, {0, 5, 1997, true},  {1, 13, 1997, false},  {-1, 5, 1997, false}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.day * 1000000 + c.month * 10000 + c.year);
    EXPECT_EQ(ZaDate::ValidateDate(c.day, c.month, c.year), c.valid ? ZaTrue : ZaFalse);
    EXPECT_EQ(RaisedBy([&] { ZaDate d(c.day, c.month, c.year); }),
              c.valid ? "none" : "Error : line 105 in file utillib/src/zadate : Incorrect date");
  }
  EXPECT_EQ(RaisedBy([] { ZaDate d("19961304"); }), "Error : line 130 in file utillib/src/zadate : Incorrect date");
}

TEST_P(DateTest, VersitTextsAndDisplayForms) {
  ZaDate plain("19961204"), timed("19961204T0905"), lower("19961204t1705");
  EXPECT_EQ(plain.hour * 100 + plain.minute, 0);
  EXPECT_EQ(timed.weekday * 10 + timed.firstWeekday, 30);  // a Wednesday; the 1st was a Sunday
  EXPECT_EQ(Take(timed.VersitStyleStringWithSeconds()), "19961204T090500");
  EXPECT_EQ(Take(timed.DateTimeString()), "December 4 1996 09:05 am");
  EXPECT_EQ(Take(lower.DateTimeString()), "December 4 1996 05:05 pm");
  EXPECT_EQ(Take(ZaDate::GetRegularDateTime("19961204T0905")), "December 4 1996 9:05 am");
  struct { const char* versit; const char* regular; } times[] = {
      {"19961204T0000", "12:00 am"}, {"19961204T1200", "12:00 pm"},
      {"19961204T1705", "5:05 pm"},  {"19961204T1159", "11:59 am"}};
  for (auto& c : times) EXPECT_EQ(Take(ZaDate::GetRegularTime(c.versit)), c.regular);
  EXPECT_EQ(ZaDate::CompareDates("19961204T2300", "19961204T0100"), 0);  // dates only
  EXPECT_EQ(ZaDate::CmpTime("19961130T0959", "19961201T1000"), 2);
}

TEST_P(DateTest, DayStepsCrossMonthsYearsAndDaylightSavingChanges) {
  // 5 November and 2 April 2000 last 25 hours in one of the zones each.
  struct { int d, m, y, by; const char* expect; } cases[] = {
      {31, 12, 1996, 1, "19970101"}, {28, 2, 1996, 1, "19960229"}, {28, 2, 1997, 1, "19970301"},
      {1, 3, 2000, -1, "20000229"},  {5, 11, 2000, 1, "20001106"}, {2, 4, 2000, 1, "20000403"},
      {6, 11, 2000, -1, "20001105"}, {13, 3, 2000, -1, "20000312"}};
  for (auto& c : cases) {
    ZaDate d(c.d, c.m, c.y);
    EXPECT_EQ(Ymd(c.by > 0 ? d.IncrementByDay() : d.DecrementByDay()), c.expect);
    EXPECT_EQ(Ymd(d), c.expect);
    EXPECT_EQ(d.weekday, (ZaDate(c.d, c.m, c.y).weekday + 7 + c.by) % 7);
  }
  struct { int d; const char* monday; } weeks[] = {{8, "19961202"}, {4, "19961202"}, {2, "19961202"}, {1, "19961125"}};
  for (auto& w : weeks) EXPECT_EQ(Ymd(ZaDate(w.d, 12, 1996).SetToStartOfWeek()), w.monday) << w.d;

  ZaDate january(15, 1, 1997);  // the month starts on a Wednesday
  EXPECT_EQ(january.GetDateOn(0, 1), 6);
  EXPECT_EQ(january.GetDateOn(4, 1), -1);
  EXPECT_EQ(january.GetDateOn(4, 3), 29);
  EXPECT_EQ(january.SetToNextOccurence(4, 3), 1997);  // the next fifth Wednesday
  EXPECT_EQ(Ymd(january) + std::to_string(january.weekday), "199704303");
}

TEST_P(DateTest, EveryRecurrenceEndsPreviousAndCounts) {
  struct {
    const char* recurrence;
    int d, m, y;
    const char *count, *end, *previous;  // GetEndDate, GetPreviousOccurence
    int remaining;                       // RemainingTimes from the start to the end
  } cases[] = {
      {"daily", 4, 12, 1996, "10", "19961213", "19961203", 9},
      {"daily", 4, 12, 1996, "0", "19961205", "19961203", 1},
      {"DAILY", 30, 12, 1996, "3", "19970101", "19961229", 2},
      {"weekly", 4, 12, 1996, "3", "19961218", "19961127", 2},
      {"biweekly", 4, 12, 1996, "2", "19961218", "19961120", 1},
      {"monthrufri", 4, 12, 1996, "3", "19961220", "19961203", 3},
      {"monthrufri", 2, 12, 1996, "1", "19961206", "19961129", 1},
      {"monwedfri", 4, 12, 1996, "2", "19961213", "19961202", 2},
      {"monwedfri", 2, 12, 1996, "1", "19961206", "19961129", 1},
      {"tuethu", 3, 12, 1996, "2", "19961212", "19961128", 2},
      {"tuethu", 5, 12, 1996, "1", "19961205", "19961203", 1},
      {"monthlybydate", 31, 1, 1997, "2", "19970331", "19970131", 1},
      {"monthlybydate", 31, 1, 1997, "4", "19970731", "19970131", 3},
      {"monthlybyweekday", 4, 12, 1996, "2", "19970101", "19961204", 1},
      {"monthlybyweekday", 29, 1, 1997, "2", "19970430", "19970129", 1},
      {"yearly", 4, 12, 1996, "3", "19981204", "19951204", 2},
      {"yearly", 29, 2, 1996, "2", "19970228", "19950228", 1},
      {"fortnightly", 4, 12, 1996, "5", "19961204", "19961204", 1}};
  for (auto& c : cases) {
    SCOPED_TRACE(std::string(c.recurrence) + " count " + c.count + " from " + Ymd(ZaDate(c.d, c.m, c.y)));
    ZaDate start(c.d, c.m, c.y);
    std::unique_ptr<ZaDate> end(start.GetEndDate(c.recurrence, c.count));
    std::unique_ptr<ZaDate> previous(start.GetPreviousOccurence(c.recurrence));
    EXPECT_EQ(Ymd(*end), c.end);
    EXPECT_EQ(end->weekday, ZaDate(end->day, end->month, end->year).weekday);
    EXPECT_EQ(Ymd(*previous), c.previous);
    EXPECT_EQ(start.RemainingTimes(*end, c.recurrence), c.remaining);
  }
  EXPECT_EQ(ZaDate(31, 1, 1997).RemainingTimes(ZaDate(31, 1, 1997), "monthlybydate"), 0);
  EXPECT_EQ(Take(ZaDate::GetEndTimeStr("weekly", "3", "19961204T0905")), "19961218T0905");
  EXPECT_EQ(Take(ZaDate::GetEndTimeStr("monthlybydate", "2", 31, 1, 1997, 17, 30)), "19970331T1730");
  // Huge counts end where stepping one by one would, at once and without overflow.
  struct { const char* recurrence; int d, m, y; const char* count; int endYear, endMonthDay; } far[] = {
      {"monthlybydate", 31, 1, 1997, "2000000001", 285716282, 1031},
      {"monthlybyweekday", 29, 1, 1997, "9000", 4151, 331},
      {"monthlybyweekday", 4, 12, 1996, "4802", 2397, 101},
      {"yearly", 4, 12, 1996, "99999999999", INT_MAX, 1204}};  // years stop at the end of int
  for (auto& f : far) {
    std::unique_ptr<ZaDate> end(ZaDate(f.d, f.m, f.y).GetEndDate(f.recurrence, f.count));
    EXPECT_EQ(end->year, f.endYear) << f.recurrence << " " << f.count;
    EXPECT_EQ(end->month * 100 + end->day, f.endMonthDay) << f.recurrence << " " << f.count;
  }
  // Each span holds a 23-hour day in one of the zones.
  EXPECT_EQ(ZaDate(1, 3, 2000).RemainingTimes(ZaDate(30, 4, 2000), "daily"), 60);
  EXPECT_EQ(ZaDate(1, 9, 2000).RemainingTimes(ZaDate(30, 11, 2000), "daily"), 90);
}

TEST_P(DateTest, LocalTimeStampsAndTimeTexts) {
  long stamp = ZaDate::IntegerDate("19961204T0905");
  time_t when = stamp;
  struct tm local;
  localtime_r(&when, &local);
  EXPECT_EQ(local.tm_year * 10000 + local.tm_mon * 100 + local.tm_mday, 961104);
  EXPECT_EQ(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec, 1);
  ZaDate date(4, 12, 1996);
  EXPECT_EQ(date.FallsOnOrBetween(stamp, stamp), ZaTrue);
  EXPECT_EQ(date.FallsOnOrBetween(stamp + 1, stamp + 100), ZaFalse);
  char buf[64];
  ZaTime given(849766205L);
  EXPECT_STREQ(given.GetCurrentTimeString(buf, sizeof buf), GetParam().timeText);
  EXPECT_STREQ(given.GetDaysFromCurrentTime(1, buf, sizeof buf), GetParam().nextDayText);
  ZaTime now;  // "... hh.mm.ss ZONE", readable again
  std::string text = now.GetCurrentTimeString(buf, sizeof buf), zone = std::string(" ") + tzname[0];
  EXPECT_EQ(text.substr(text.size() - zone.size()), zone);
  struct tm parsed;
  EXPECT_EQ(ZaTime::ZaStrpTime(buf, &parsed), 1);
  ASSERT_EQ(ZaTime::ZaStrpTime("04-Dec-96 22.10.05 PST", &parsed), 1);
  EXPECT_EQ(parsed.tm_mday * 10000 + parsed.tm_mon * 100 + parsed.tm_year, 41196);
  EXPECT_EQ(parsed.tm_hour * 10000 + parsed.tm_min * 100 + parsed.tm_sec, 221005);
  EXPECT_EQ(ZaTime::ZaStrpTime("04-Foo-96 22.10.05 PST", &parsed), 0);
  EXPECT_EQ(ZaTime::CompareTimebuf("04-Dec-96 22.11.10 PST", "04-Dec-96 22.10.05PST"), 65);
  EXPECT_NE(RaisedBy([] { ZaTime::CompareTimebuf("yesterday", "04-Dec-96 22.10.05 PST"); })
                .find("Unable to read the time yesterday"), std::string::npos);
  EXPECT_EQ(ZaTime::Find24HourTime(12, "AM") * 100 + ZaTime::Find24HourTime(12, "pm"), 12);
  EXPECT_EQ(ZaTime::Find24HourTime(9, "am") * 100 + ZaTime::Find24HourTime(11, "PM"), 923);
}

INSTANTIATE_TEST_SUITE_P(Zones, DateTest,
                         ::testing::Values(Zone{"PST8PDT,M3.2.0,M11.1.0", "04-Dec-96 22.10.05PST", "05-Dec-96 22.10.05PST"},
                                           Zone{"NZST-12NZDT,M9.5.0,M4.1.0/3", "05-Dec-96 19.10.05NZST",
                                                "06-Dec-96 19.10.05NZST"}));

}  // namespace
