// The frame's own pages: the page of user messages, the bug report page and
// the feedback page. Mozilla 3 and later can send a form by e-mail; every
// other browser is told what to mail instead.
#include <cstdlib>
#include <memory>
#include <string>

#include "reqinfo.h"
#include "textsupport.h"
#include "vallist.h"
#include "zarvobase.h"
#include "zarvoclasses.h"

namespace {

bool CanMailForms(RequestInfo* request) {
    return request && request->browserType == 1 && request->browserVersion >= 3.0;
}

ZaSelect* BugLevelSelect(const char* selected) {
    ZaSelect* select = new ZaSelect("BugLevel");
    for (const char* level : {"Fatal", "Serious", "Irritating", "Enhancement"}) {
        if (std::string(level) == selected)
            select->AddOptionSelected(level, level);
        else
            select->AddOption(level, level);
    }
    return select;
}

// The contact fields that both mail forms ask for; nameField differs.
ZaTable* ContactFieldsTable(const char* nameField, const char* selectedLevel,
                            const char* descriptionLabel) {
    ZaTable* table = new ZaTable(2, ZaTrue, 4);
    auto row = [table](const char* label, HTMLObject* field) {
        table->addObject(label, ZaFalse);
        table->addObject(field);
    };
    row("Name", new ZaTextInput(nameField, ""));
    row("Organization", new ZaTextInput("organization", ""));
    row("Email Address", new ZaTextInput("email", ""));
    row("Phone Number", new ZaTextInput("phone", ""));
    row("Level", BugLevelSelect(selectedLevel));
    row(descriptionLabel, new ZaTextArea("description", nullptr));
    return table;
}

// What to mail, for browsers that cannot send a form by e-mail.
void AppendMailInstructions(ZaPage* page, const char* address, bool withTraceback) {
    page->AppendToBody(new Br(""));
    page->AppendToBody(new B("Your browser doesn't support sending mail automatically !"));
    page->AppendToBody(new Br(""));
    page->AppendToBody("Please e-mail to ");
    A* mail = new A(address ? address : "");
    mail->addAttribute(ATTR_HREF, new EmailUrl(address ? address : ""));
    page->AppendToBody(mail);
    page->AppendToBody(" the following information ");
    page->AppendToBody(new Br(""));
    Ul* items = new Ul("");
    for (const char* item : {"Your Name", "Organization", "Email Address", "Phone Number", "Comment"})
        items->addObject(new Li(item));
    page->AppendToBody(items);
    if (withTraceback) page->AppendToBody("Make sure to append the following traceback in the mail.");
    page->AppendToBody(new Hr(""));
}

}  // namespace

ZaPage* EmitNicePage(ValList* messages) {
    std::unique_ptr<ZaPage> page(new ZaPage());
    page->AppendToBody(new ZaCommonImage("herror"));
    page->AppendToBody(new Br(""));
    page->AppendToBody(new H2("The following messages were produced by the product. "
                              "Please contact your webmaster to fix the problem."));
    page->AppendToBody(new Br(""));
    page->AppendToBody(new Br(""));
    for (ValListItem* item = messages ? messages->head : nullptr; item; item = item->next) {
        page->AppendToBody(new B(item->value ? item->value : ""));
        page->AppendToBody(new Br(""));
    }
    return page.release();
}

ZaPage* ZaCreateErrorPage(ValList* trace, const char* bugReportAddr, RequestInfo* request) {
    const char* address = bugReportAddr ? bugReportAddr : "";
    const std::string platform = PlatformName();
    std::unique_ptr<ZaPage> page(new ZaPage());
    // The report replaces any frame set it was shown in.
    page->AddJSFunction("sendtotop");
    page->body->AppendToAttribute(ATTR_ONLOAD, "sendtotop()");
    page->AddToList(new WindowTarget("_top"));

    page->AppendToBody(ZaGetZarvoLogo());
    page->AppendToBody(new H1("Bug Report Form"));
    page->AppendToBody("An error has occurred while executing the application.");

    if (CanMailForms(request)) {
        page->AppendToBody(" Please fill in your contact information and a brief description of the "
                           "bug and submit this form.\tThe information will be mailed to Zarvo.");
        ZaEmailForm* form = new ZaEmailForm("createform", new EmailUrl(address));
        form->addObject(ContactFieldsTable("name", "Fatal", "Description"));
        form->addObject(new ZaSubmitButton("button", "Submit"));
        std::string joined;
        for (ValListItem* line = trace ? trace->head : nullptr; line; line = line->next)
            joined += line->value ? line->value : "";
        form->addObject(new ZaHiddenInput("traceback", joined.c_str()));
        form->addObject(new ZaHiddenInput("platform", platform.c_str()));
        page->AppendToBody(form);
    } else {
        AppendMailInstructions(page.get(), address, true);
    }

    ZaTable* details = new ZaTable(2, ZaTrue, 4);
    details->SetVerticalAlignment("top");
    HTMLObject* lines = new HTMLObject();
    for (ValListItem* line = trace ? trace->head : nullptr; line; line = line->next) {
        lines->addObject(line->value ? line->value : "", ZaFalse);
        lines->addObject(new Br(""));
    }
    details->addObject("Traceback", ZaFalse);
    details->addObject(lines);
    details->addObject("Platform", ZaFalse);
    details->addObject(platform.c_str(), ZaFalse);
    page->AppendToBody(details);
    return page.release();
}

ZaPage* ZaCreateGenericFeedbackPage(const char* headingImage, const char* heading,
                                    const char* address, RequestInfo* request) {
    std::unique_ptr<ZaPage> page(new ZaPage());
    page->AppendToBody(new ZaCommonImage(headingImage));
    page->AppendToBody(new Br(""));
    if (!CanMailForms(request)) {
        AppendMailInstructions(page.get(), address, false);
        return page.release();
    }
    page->AppendToBody(heading ? heading : "");
    page->SetHelpContext("Feedback");
    page->AddFormFocusTo("createform", "person_name");
    ZaEmailForm* form = new ZaEmailForm("createform", new EmailUrl(address ? address : ""));
    form->addObject(ContactFieldsTable("person_name", "Enhancement", "Comments"));
    form->addObject(new ZaSubmitButton("button", "Submit"));
    page->AppendToBody(form);
    return page.release();
}
