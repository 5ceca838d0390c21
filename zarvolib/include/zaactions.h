// Action URLs: the targets of buttons and links that call the suite's common
// JavaScript functions or services. Each is meant to be held by an href (or
// action) attribute, whose quotes it is written into. The page that uses one
// must also include the JavaScript function it calls (ZaWindow::AddJS...).
// Target Urls handed to a confirmation belong to it from then on.
#ifndef ZAACTIONS_H
#define ZAACTIONS_H

#include "Classes.h"

class GroupDB;
class UserDB;
class ValList;

// "javascript:donothing()"
class DoNothingUrl : public Url {
public:
    DoNothingUrl();
};

// "javascript:submitForm()"
class SubmitFormUrl : public Url {
public:
    SubmitFormUrl();
};

// "javascript:denyWithAlert('<message>')"; the message is put in unchanged.
class DenyWithAlertUrl : public Url {
public:
    explicit DenyWithAlertUrl(const char* message);
};

// "javascript:submitFormAfterConfirm('<message>')"; message unchanged.
class SubmitFormAfterConfirmUrl : public Url {
public:
    explicit SubmitFormAfterConfirmUrl(const char* message);
};

// Opens the help window on the (URL-encoded) topic.
class HelpUrl : public Url {
public:
    explicit HelpUrl(const char* topic);
};

// Adds users (groups) to the hotlist through the common services program;
// an empty list does nothing.
class AddUidItemToHotlistUrl : public Url {
public:
    explicit AddUidItemToHotlistUrl(const char* uid);
    explicit AddUidItemToHotlistUrl(ValList* uids);
};

class AddGidItemToHotlistUrl : public Url {
public:
    explicit AddGidItemToHotlistUrl(const char* gid);
    explicit AddGidItemToHotlistUrl(ValList* gids);
};

// "mailto:" with addresses from the text or from the stores, joined by ",";
// "javascript:donothing()" when there is no address at all.
class EmailUrl : public Url {
public:
    explicit EmailUrl(const char* address);
    EmailUrl(const char* uid, UserDB* users);
    EmailUrl(ValList* uids, UserDB* users);
    // The users' addresses, then those of the groups' members not yet listed.
    EmailUrl(ValList* uids, ValList* gids, UserDB* users, GroupDB* groups);
};

// "addbook:add"
class AddBookUrl : public Url {
public:
    AddBookUrl();
};

// Confirmations: "javascript:<Function>('<message>','<target>');" with the
// message escaped for a single-quoted JavaScript string.
class ConfirmUrl : public HTMLObject {
public:
    ConfirmUrl(const char* message, Url* target);
};

class ConfirmDeleteUrl : public HTMLObject {
public:
    ConfirmDeleteUrl(const char* message, Url* target);
};

class ConfirmDeleteMeetingUrl : public HTMLObject {
public:
    ConfirmDeleteMeetingUrl(const char* message, Url* target);
};

class ConfirmClearUrl : public HTMLObject {
public:
    ConfirmClearUrl(const char* message, Url* target);
};

// "javascript:ConfirmDeleteMeetingSubmit('<message>');"
class ConfirmDeleteMeetingSubmitUrl : public HTMLObject {
public:
    explicit ConfirmDeleteMeetingSubmitUrl(const char* message);
};

#endif
