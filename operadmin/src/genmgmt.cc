// The shared log file: the view frame set with its filter form and hint, the
// filtered message table with the log's size, and archiving and purging.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "consolepage.h"
#include "operadmin.h"
#include "zalog.h"
#include "zasession.h"
#include "zarvoclasses.h"
#include "zastreamtable.h"
#include "zatime.h"

namespace {

const char kSource[] = "operadmin/src/genmgmt";
const int kTimeTextSize = 100;
const long kSecondsPerDay = 86400;

struct LevelMark {
    const char* level;
    const char* gif;
};

const LevelMark kLevelMarks[] = {
    {"ZA_ERROR", "mredball"},
    {"ZA_WARNING", "myellowball"},
    {"ZA_INFO", "mgreenball"},
    {"ZA_AUDIT", "mblueball"},
};

// The mark image for a record's level, or null for a level the suite never writes.
const char* MarkFor(const char* level) {
    for (const LevelMark& mark : kLevelMarks)
        if (Is(level, mark.level)) return mark.gif;
    return nullptr;
}

// The moment a log time stamp names, read as ZaTime::CompareTimebuf reads
// it; false when the text cannot be read.
bool StampTime(const char* stamp, time_t* when) {
    struct tm parsed;
    if (!stamp || ZaTime::ZaStrpTime(stamp, &parsed) != 1) return false;
    *when = mktime(&parsed);
    return true;
}

// True when the record's time is not earlier than the cut-off, compared as
// ZaTime::CompareTimebuf compares them; the cut-off is read once for the whole
// log instead of once per record. A time stamp that cannot be read is not
// known to be recent, so the age filter drops it.
bool RecentEnough(const char* stamp, time_t cutoff) {
    time_t when;
    return StampTime(stamp, &when) && when >= cutoff;
}

// Log time stamps carry a two-digit year that is read as a year of the
// 1900s, so they order correctly only against a cut-off within the current
// century. "The last N days" reaching back past the century's start keeps
// every message written since then, so N is held at that start; a negative N
// (a cut-off still to come, which keeps nothing) is held at the century's
// end. The bounds also keep -N within an int.
long DaysWithinCentury(long days, time_t now) {
    struct tm local;
    if (!localtime_r(&now, &local)) return 0;
    struct tm start = {};
    start.tm_mday = 1;
    start.tm_year = local.tm_year - (local.tm_year + 1900) % 100;
    start.tm_isdst = -1;
    struct tm end = start;
    end.tm_year += 100;
    const long back = static_cast<long>((now - mktime(&start)) / kSecondsPerDay);
    const long ahead = static_cast<long>((mktime(&end) - now) / kSecondsPerDay);
    return std::clamp(days, -ahead, back);
}

// "javascript:ConfirmLogOperation('<question>','operadmin.cgi?program=operOnLogFile&operation=<op>');",
// with "&zatoken=<token>" before the closing quote when the session has one
// (a token is hex text, safe in the script's literal).
std::string LogOperationLink(const char* question, const char* operation, const char* token) {
    std::string address = std::string("operadmin.cgi") + "?" + "program" + "=" + "operOnLogFile" + "&" +
                          "operation" + "=" + operation;
    if (token) address += std::string("&") + kTokenParam + "=" + token;
    return std::string("javascript:ConfirmLogOperation('") + question + "','" + address + "');";
}

}  // namespace

Page* OperAdmin::GenViewLogFileSplitPage() {
    try {
        auto page = std::make_unique<ZaFrameSetPage>(ATTR_ROWS, "190, *");
        page->AddNewFrame(ConsoleUrl("genViewLogFileChoicePage"), "logopt_frame", ZaFalse);
        Frame* view = page->AddNewFrame(ConsoleUrl("genViewLogFileStartMsgPage"), "logview_frame", ZaTrue);
        view->ModifyAttribute(ATTR_BORDER, 1);
        ShowFrameBorders(page.get());
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenViewLogFileSplitPage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenViewLogFileStartMsgPage() {
    auto page = std::make_unique<ZaPage>();
    page->AppendToBody(new B("Click on View Log button to view log messages"));
    return page.release();
}

Page* OperAdmin::GenViewLogFileChoicePage() {
    try {
        auto page = std::make_unique<ZaPage>();
        page->AddJSSubmitForm();
        page->AddJSFunction("operadmin.js", "validateViewLogFormSubmit");
        page->AddJSIsInteger();
        page->SetHelpContext("Manage Log");

        Url* action = ConsoleUrl("genViewLogFilePage");
        action->addAttribute("sub_program", "split");
        HTMLObject* form = page->AppendToBody(new ZaForm("optionform", action));
        form->addAttribute(ATTR_TARGET, "logview_frame");
        form->addObject(new ZaImage("hmanagelog"));
        form->addObject(NewBr());
        form->addObject(new B(Message("ManageLogHdg")));
        AddBreaks(form, 2);
        form->addObject(Message("ManageLogInfo1"), ZaFalse);
        form->addObject(NewBr());

        auto choices = new ZaTable(6, ZaFalse, 0);
        form->addObject(new Center(choices));
        choices->addObject(new ZaImage("tlookfor"));
        auto levels = new ZaSelect("msg_type");
        levels->AddOptionSelected("All", "All");
        levels->AddOption("Error", "ZA_ERROR");
        levels->AddOption("Warning", "ZA_WARNING");
        levels->AddOption("Audit", "ZA_AUDIT");
        levels->AddOption("Info", "ZA_INFO");
        choices->addObject(levels);
        choices->addObject(new ZaImage("tlogmessagesinlast"));
        choices->addObject(new ZaTextInput("days", "", 6));
        choices->addObject(new ZaImage("tdays"));
        choices->addObject(new ZaImageButton("bviewlog", "javascript:validateViewLogFormSubmit()", "View log file"));
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenViewLogFileChoicePage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenViewLogFilePage() {
    try {
        const char* subProgram = Param("sub_program");
        const char* msgType = ParamText("msg_type");
        const char* days = ParamText("days");
        if (Is(subProgram, "split")) {
            auto page = std::make_unique<ZaFrameSetPage>(ATTR_ROWS, "*, 70");
            Url* show = ConsoleUrl("genViewLogFilePage");
            show->addAttribute("sub_program", "show");
            show->addAttribute("msg_type", msgType);
            show->addAttribute("days", days);
            page->AddNewFrame(show, "logview_frame_show", ZaTrue);
            Url* buttons = ConsoleUrl("genLogFileOperPage");
            buttons->addAttribute("sub_program", "show");
            page->AddNewFrame(buttons, "logoper_frame", ZaTrue)->ModifyAttribute(ATTR_BORDER, 1);
            ShowFrameBorders(page.get());
            return page.release();
        }

        auto page = std::make_unique<ZaPage>();
        const long size = log->LogFileSize();
        page->AppendToBody(new H3(("Current size of log file = " + std::to_string(size) + " Bytes").c_str()));
        if (size == 0) return page.release();

        auto table = std::make_unique<ZaStreamedTable>(4, ZaTrue, 4);
        table->addObject(" ", ZaFalse);
        for (const char* heading : {"Date", "Application", "Message"}) table->addObject(new B(heading));

        const bool ageFilter = days[0] != '\0';
        time_t cutoff = 0;
        if (ageFilter) {
            ZaTime now;
            const long back = DaysWithinCentury(DecimalValue(days), static_cast<time_t>(now.t));
            char text[kTimeTextSize] = "";
            now.GetDaysFromCurrentTime(static_cast<int>(-back), text, kTimeTextSize);
            // A cut-off that cannot be written or read keeps nothing, as
            // comparing against it would fail for every record.
            if (!StampTime(text, &cutoff)) cutoff = std::numeric_limits<time_t>::max();
        }
        const bool allLevels = Is(msgType, "All");
        std::shared_ptr<LogRecord> records(log->ReadLogFile(nullptr));
        auto shown = std::make_shared<std::vector<LogRecord*>>();
        for (LogRecord* record = records.get(); record; record = record->next) {
            if (!allLevels && !Is(record->level, msgType)) continue;
            if (ageFilter && !RecentEnough(record->time, cutoff)) continue;
            shown->push_back(record);
        }
        const size_t rows = shown->size();
        table->StreamEntries(rows, [records, shown](ZaTable* t, size_t i) {
            const LogRecord* record = (*shown)[i];
            // A level the suite never writes keeps an empty mark cell, so that
            // the record's own cells stay under their headings.
            const char* mark = MarkFor(record->level);
            t->addObject(mark ? new ZaImage(mark) : static_cast<HTMLObject*>(nullptr));
            t->addObject(record->time ? record->time : "", ZaFalse);
            t->addObject(record->application ? record->application : "", ZaFalse);
            t->addObject(record->message ? record->message : "", ZaFalse);
        });
        if (rows == 0)
            page->AppendToBody(new B("No entries were found for the given search condition."));
        else
            page->AppendToBody(table.release());
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenViewLogFilePage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::GenLogFileOperPage() {
    try {
        auto page = std::make_unique<ZaPage>();
        page->AddJSConfirm();
        page->AddJSFunction("operadmin.js", "ConfirmLogOperation");
        std::unique_ptr<char, decltype(&free)> token(ZaActionToken(this, "operOnLogFile"), &free);
        page->AppendToBody(new ZaImageButton(
            "barchivelog", LogOperationLink("Do your really want to archive logfile?", "archive", token.get()).c_str(),
            "Archive log file"));
        page->AppendToBody(new ZaImageButton(
            "bpurgelog", LogOperationLink("Do your really want to purge logfile?", "purge", token.get()).c_str(),
            "Purge log file"));
        page->AppendToBody(DoneButton(new Url(kHelpSummary), "application_main"));
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::GenLogFileOperPage", ZaFalse);
        throw;
    }
}

Page* OperAdmin::OperateOnLogFile() {
    try {
        const char* operation = Param("operation");
        auto page = std::make_unique<ZaPage>();
        if (Is(operation, "archive")) {
            OwnedText archive(log->ArchiveLogFile(nullptr));
            ZaAudit(this, nullptr, "archive log", archive ? archive.get() : nullptr, archive ? "ok" : "failed");
            if (!archive) {
                Log(ZA_ERROR, "Failure in archiving log file.");
                page->AppendToBody(new H3("Failure in archiving log file"));
            } else {
                Log(ZA_INFO, (std::string("Log file has been succesfully archived to ") + archive.get()).c_str());
                // The page names the archive, not the server's folders.
                const char* slash = strrchr(archive.get(), '/');
                page->AppendToBody(new H3("Log File has been successfully archived to "));
                page->AppendToBody(new H3(slash ? slash + 1 : archive.get()));
            }
        } else if (operation && strcmp(operation, "purge") == 0) {
            // Only the exact word empties the log; archiving, which loses
            // nothing, also accepts other letter cases.
            const bool purged = log->PurgeLogFile() == ZaTrue;
            ZaAudit(this, nullptr, "purge log", nullptr, purged ? "ok" : "failed");
            page->AppendToBody(new H3(purged ? "Log file has been successfully purged" : "Failure in purging log file"));
        }
        page->AppendToBody(NewHr());
        page->AppendToBody(DoneButton(new Url(kHelpSummary), "application_main"));
        return page.release();
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in OperAdmin::OperateOnLogFile", ZaFalse);
        throw;
    }
}
