// Action URLs as they are written inside an href attribute.
#include <memory>
#include <string>

#include "widget_support.h"
#include "zaactions.h"

namespace {

// The text between the quotes of the href that holds the action.
std::string InHref(HTMLObject* action) {
    A* link = new A(static_cast<const char*>(nullptr));
    link->addAttribute(ATTR_HREF, action);
    std::string html = Emitted(link);
    const std::string start = "\n<a href=\"";
    EXPECT_EQ(0u, html.find(start)) << html;
    EXPECT_EQ("\"></a>", html.substr(html.size() - 6)) << html;
    return html.substr(start.size(), html.size() - start.size() - 6);
}

Url* Target() {
    Url* url = new Url("operadmin.cgi");
    url->addAttribute("program", "operOnUser");
    url->addAttribute("uid", "jo smith");
    return url;
}

Url* QuotedTarget() {
    Url* url = new Url("a.cgi");
    url->addAttribute("uid", "x');");
    return url;
}

class ActionUrlTest : public ::testing::Test {
protected:
    FakeUserDB users;
    FakeGroupDB groups;

    void SetUp() override {
        users.Add("u1", "Ann", "ann@example.com");
        users.Add("u2", "Bob", "bob@example.com");
        users.Add("u3", "Cy", "cy@example.com");
        users.Add("nomail", "Nobody", "");
        users.Add("u5", "Ann again", "ANN@Example.com");
        groups.groups["g1"] = {"Team", {"u2", "u3", "u1"}};
        groups.groups["g2"] = {"Other", {"u3"}};
        groups.groups["g3"] = {"Mixed", {"u5", "nomail", "u2"}};
    }
};

TEST_F(ActionUrlTest, WrittenText) {
    std::unique_ptr<ValList> three(MakeList({"u1", "u2 x", "u3"}));
    std::unique_ptr<ValList> pair(MakeList({"u1", "nomail", "u2"}));
    std::unique_ptr<ValList> empty(new ValList());
    std::unique_ptr<ValList> gids(MakeList({"g1", "g2"}));
    std::unique_ptr<ValList> someone(MakeList({"u2"}));
    std::unique_ptr<ValList> twice(MakeList({"u1", "u1"}));
    std::unique_ptr<ValList> mixed(MakeList({"g3"}));
    struct Case {
        const char* name;
        HTMLObject* action;
        const char* expected;
    };
    const Case cases[] = {
        {"do nothing", new DoNothingUrl(), "javascript:donothing()"},
        {"submit", new SubmitFormUrl(), "javascript:submitForm()"},
        {"deny", new DenyWithAlertUrl("Can't do \"that\""), "javascript:denyWithAlert('Can't do &quot;that&quot;')"},
        {"submit after confirm", new SubmitFormAfterConfirmUrl("Sure & certain?"),
         "javascript:submitFormAfterConfirm('Sure &amp; certain?')"},
        {"help topic with a space", new HelpUrl("Manage Users"),
         "javascript:ZaHelp('../../help/bin/help.cgi?program=help_window','Manage%20Users')"},
        {"confirm", new ConfirmUrl("Go on?", Target()),
         "javascript:MyConfirm('Go on?','operadmin.cgi?program=operOnUser&uid=jo%2520smith');"},
        {"confirm delete with apostrophe", new ConfirmDeleteUrl("Delete O'Brien's account?", Target()),
         "javascript:ConfirmDelete('Delete O\\'Brien\\'s account?','operadmin.cgi?program=operOnUser&"
         "uid=jo%2520smith');"},
        {"confirm delete meeting", new ConfirmDeleteMeetingUrl("<Drop> it", Target()),
         "javascript:ConfirmDeleteMeeting('&lt;Drop&gt; it','operadmin.cgi?program=operOnUser&"
         "uid=jo%2520smith');"},
        {"confirm clear", new ConfirmClearUrl("Clear?", new Url("a.cgi")), "javascript:ConfirmClear('Clear?','a.cgi');"},
        // The browser percent-decodes the link before running it: no "%27" may reach the script as a quote.
        {"confirm with encoded quotes", new ConfirmUrl("50%27 off\\", QuotedTarget()),
         "javascript:MyConfirm('50%2527 off\\\\','a.cgi?uid=x%2527%2529%253B');"},
        {"confirm without target", new ConfirmUrl("Sure?", nullptr), "javascript:MyConfirm('Sure?','');"},
        {"confirm delete meeting submit", new ConfirmDeleteMeetingSubmitUrl("It's gone"),
         "javascript:ConfirmDeleteMeetingSubmit('It\\'s gone');"},
        {"hotlist one user", new AddUidItemToHotlistUrl("jo smith"),
         "../../common/bin/common.cgi?program=add_uid_to_hotlist&uid=jo%20smith"},
        {"hotlist three users", new AddUidItemToHotlistUrl(three.get()),
         "../../common/bin/common.cgi?program=add_uid_to_hotlist&uid=u1&uid=u2%20x&uid=u3"},
        {"hotlist no users", new AddUidItemToHotlistUrl(empty.get()), "javascript:donothing()"},
        {"hotlist one group", new AddGidItemToHotlistUrl("g1"),
         "../../common/bin/common.cgi?program=add_gid_to_hotlist&gid=g1"},
        {"hotlist groups", new AddGidItemToHotlistUrl(gids.get()),
         "../../common/bin/common.cgi?program=add_gid_to_hotlist&gid=g1&gid=g2"},
        {"hotlist no groups", new AddGidItemToHotlistUrl(empty.get()), "javascript:donothing()"},
        {"mail an address", new EmailUrl("a&b@example.com"), "mailto:a%26b@example.com"},
        {"mail no extra headers", new EmailUrl("bob@example.com?bcc=eve@evil.example&body=x, c"),
         "mailto:bob@example.com%3Fbcc%3Deve@evil.example%26body%3Dx%2C%20c"},
        {"mail a user", new EmailUrl("u2", &users), "mailto:bob@example.com"},
        {"mail a user without address", new EmailUrl("nomail", &users), "javascript:donothing()"},
        {"mail users", new EmailUrl(pair.get(), &users), "mailto:ann@example.com,bob@example.com"},
        {"mail no users", new EmailUrl(empty.get(), &users), "javascript:donothing()"},
        {"mail users and groups", new EmailUrl(someone.get(), gids.get(), &users, &groups),
         "mailto:bob@example.com,cy@example.com,ann@example.com"},
        {"mail users twice, members known in other case", new EmailUrl(twice.get(), mixed.get(), &users, &groups),
         "mailto:ann@example.com,ann@example.com,bob@example.com"},
        {"mail nobody", new EmailUrl(empty.get(), empty.get(), &users, &groups), "javascript:donothing()"},
        {"address book", new AddBookUrl(), "addbook:add"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, InHref(c.action)) << c.name;
}

}  // namespace
