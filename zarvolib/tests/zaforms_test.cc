// Form widgets, the date selector and reading a chosen date back.
#include <memory>
#include <string>

#include "widget_support.h"
#include "zaforms.h"

namespace {

// One form of each kind, holding every kind of field.
TEST(ZaFormGolden, EachKindWithItsFields) {
    Url* action = new Url("operadmin.cgi");
    action->addAttribute("program", "genResUsagePage");
    ZaForm* form = new ZaForm("condform", action);
    form->addObject(new ZaTextInput("name", "Jo \"J\" & co"));
    form->addObject(new ZaTextInput("login", "", 20));
    form->addObject(new ZaTextInput("count", 7));
    form->addObject(new ZaTextInput("top", 10, 3));
    form->addObject(new ZaPasswordInput("password"));
    form->addObject(new ZaPasswordInput("password2", 20));
    form->addObject(new ZaPasswordInput("old", "secret"));
    form->addObject(new ZaPasswordInput("older", "secret", 8));
    form->addObject(new ZaHiddenInput("fromPage", "resSearchCondPage"));
    form->addObject(new ZaHiddenInput("page", 2));
    ZaCheckBox* box = new ZaCheckBox("oper_uid_val", "u1", " Select users ");
    box->MarkChecked();
    form->addObject(box);
    form->addObject(new ZaCheckBox("plain", "v"));
    ZaRadioButton* radio = new ZaRadioButton("select_u", "all", "All users");
    radio->MarkChecked();
    form->addObject(radio);
    form->addObject(new ZaRadioButton("select_u", "top"));
    form->addObject(new ZaTextArea("description", "Line <one>"));
    form->addObject(new ZaTextArea("notes", 2, 60, nullptr));
    ZaSelect* level = new ZaSelect("BugLevel");
    level->AddOptionSelected("Fatal", "Fatal");
    level->AddOption("No value", nullptr);
    level->AddOption("Two", 2);
    level->AddOptionSelected("Three", 3);
    level->AddOptionWithSelectCheck("Serious", "serious", "SERIOUS");
    level->AddOptionWithSelectCheck("Minor", "minor", "SERIOUS");
    form->addObject(level);
    form->addObject(new ZaFileInput("upload", 30));
    form->addObject(new ZaSubmitButton("button", "Submit"));

    P* forms = new P(static_cast<const char*>(nullptr));
    forms->addObject(form);
    forms->addObject(new ZaForm("plainform", "operadmin.cgi"));
    forms->addObject(new ZaMultiPartForm("upform", "upload.cgi"));
    forms->addObject(new ZaMultiPartForm("upform2", new Url("upload.cgi")));
    forms->addObject(new ZaEmailForm("createform", "mailto:bugs@example.com"));
    forms->addObject(new ZaEmailForm("createform2", new Url("mailto:x@example.com")));
    ExpectGolden("forms.html", Emitted(forms));
}

// Years 1987 to 2006 around the date, all 31 days, December 4 selected.
TEST(ZaDateSelectGolden, DecemberFourth1997) {
    ExpectGolden("date_select.html", Emitted(new ZaDateSelect("start", "19971204T0905")));
}

TEST(ZaDateSelect, GetDate) {
    struct Case {
        const char *month, *day, *year, *expected;  // expected null: no date
    };
    const Case cases[] = {
        {"12", "4", "1997", "19971204T000000"}, {"2", "29", "2000", "20000229T000000"},
        {"2", "31", "1997", nullptr},           {"2", "29", "1999", nullptr},
        {"13", "1", "1997", nullptr},           {nullptr, "1", "1997", nullptr},
        {"1", nullptr, "1997", nullptr},        {"1", "1", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        ValNameList params;
        params.Append("other_month", "5");
        if (c.month) params.Append("Start_Month", c.month);
        if (c.day) params.Append("start_date", c.day);
        if (c.year) params.Append("start_year", c.year);
        std::unique_ptr<char, decltype(&free)> date(ZaDateSelect::GetDate("start", &params), &free);
        if (c.expected) {
            ASSERT_NE(nullptr, date.get()) << c.expected;
            EXPECT_STREQ(c.expected, date.get());
        } else {
            EXPECT_EQ(nullptr, date.get());
        }
    }
    EXPECT_EQ(nullptr, ZaDateSelect::GetDate("start", nullptr));
}

}  // namespace
