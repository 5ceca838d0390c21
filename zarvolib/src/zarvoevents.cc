// The common events every program of the suite understands (login, logout,
// help, product information, feedback) and the pages they answer with.
#include <strings.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "textsupport.h"
#include "zaconfigDB.h"
#include "zarvobase.h"
#include "zarvoclasses.h"

namespace {

const char kSource[] = "zarvolib/src/zarvoevents";

// Product information shown on the about page.
const char kVersionText[] = "Zarvo Operator Console, version 1.0";
const char kProductNotice[] = "Zarvo: the intranet directory and groupware suite.";
const char kMakerName[] = "Zarvo Software";
const char kMakerSite[] = "http://www.zarvo.example/";
const char* const kMakerAddress[] = {"1 Directory Lane", "Springfield", "Telephone: +1 555 0100"};
struct Contact {
    const char* address;
    const char* label;
};
const Contact kContacts[] = {
    {"sales@zarvo.example", "Sales and licensing"},
    {"support@zarvo.example", "Technical support"},
};

bool SameEvent(const char* program, const char* event) {
    return program && strcasecmp(program, event) == 0;
}

Url* EventUrl(const char* program, const char* event) {
    Url* url = new Url(program);
    url->addAttribute("program", event);
    return url;
}

}  // namespace

Page* ZarvoBaseCommon::HandleEvent(const char* program) {
    if (SameEvent(program, kEventLogin)) return LoginPage();
    if (SameEvent(program, kEventLogout)) return LogoutPage();
    if (SameEvent(program, kEventHelpTop)) return GenHelpTopPage();
    if (SameEvent(program, kEventAbout)) return GenZarvoAboutPage();
    if (SameEvent(program, kEventFeedback)) return GenFeedbackPage();

    std::unique_ptr<ZaError> error(new ZaError());
    error->AddLine(136, kSource, String("Bad program name ") + (program ? program : ""), ZaFalse);
    ZaLogTrace(log, error.get());
    return ZaCreateErrorPage(&error->lines, application->GetConfigDB()->BugReportAddr(), request);
}

ZaBoolean ZarvoBaseCommon::BypassLoginCheck(const char* program) {
    return (SameEvent(program, kEventLogin) || SameEvent(program, kEventLogout)) ? ZaTrue : ZaFalse;
}

Page* ZarvoBaseCommon::GenFeedbackPage() {
    return ZaCreateGenericFeedbackPage("hzarvofeedback", application->GetMessage("FeedbackHdg"),
                                       application->GetConfigDB()->FeedbackAddr(), request);
}

Page* ZarvoBaseCommon::GenHelpTopPage() {
    std::unique_ptr<ZaFrameSetPage> page(new ZaFrameSetPage(ATTR_ROWS, "37,*"));
    page->AddNewFrame(EventUrl(application->program, kEventHelpNavbar), "about_navbar", ZaTrue);
    page->AddNewFrame(EventUrl(application->program, kEventAbout), "about_main", ZaTrue);
    return page.release();
}

Page* ZarvoBaseCommon::GenZarvoAboutPage() {
    std::unique_ptr<ZaPage> page(new ZaPage());
    page->SetHelpContext("Top");

    ZaTable* title = new ZaTable(2, ZaTrue, 4);
    page->AppendToBody(title);
    title->AddHH(ZaGetZarvoLogo(), new H1(kVersionText));

    page->AppendToBody(new Br(""));
    Center* notice = new Center(new H2(kProductNotice));
    notice->addObject(new H2(("Server platform: " + PlatformName()).c_str()));
    page->AppendToBody(notice);

    page->AppendToBody(new Br(""));
    Center* maker = new Center(new B(kMakerName));
    maker->addObject(new Br(""));
    A* site = new A(kMakerSite);
    site->addAttribute(ATTR_HREF, kMakerSite);
    site->addAttribute(ATTR_TARGET, "_top");
    maker->addObject(site);
    maker->addObject(new Br(""));
    for (const char* line : kMakerAddress) {
        maker->addObject(new B(line));
        maker->addObject(new Br(""));
    }
    page->AppendToBody(maker);

    ZaTable* contacts = new ZaTable(2, ZaTrue, 4);
    for (const Contact& contact : kContacts) {
        A* mail = new A(contact.address);
        mail->addAttribute(ATTR_HREF, new EmailUrl(contact.address));
        contacts->AddHH(mail, new B(contact.label));
    }
    A* feedback = new A("Feedback");
    feedback->addAttribute(ATTR_HREF, EventUrl(application->program, kEventFeedback));
    contacts->AddHC(feedback, "Use the Zarvo Feedback Form");
    page->AppendToBody(contacts);
    return page.release();
}
