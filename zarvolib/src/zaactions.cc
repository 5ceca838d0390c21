// Action URLs: JavaScript calls, hotlist and mail targets, confirmations.
#include "zaactions.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>

#include "groupDB.h"
#include "reqinfo.h"
#include "string_class.h"
#include "stringutil.h"
#include "textsupport.h"
#include "userDB.h"
#include "vallist.h"

namespace {

const char* const kNoText = nullptr;  // a Url without a base
const char kCommonProgram[] = "../../common/bin/common.cgi";
const char kDoNothing[] = "javascript:donothing()";

// The whole target as one text, HTML-escaped when the attribute is written.
void HoldText(Url* url, const std::string& text) {
    HTMLObject* node = url->addObject(text.c_str(), ZaFalse);
    node->enhance = 0;
}

const char* HotlistBase(ValList* ids) { return ids && ids->count ? kCommonProgram : nullptr; }

void AddHotlistItems(Url* url, const char* program, const char* key, ValList* ids) {
    if (!url->data) {
        HoldText(url, kDoNothing);
        return;
    }
    url->addAttribute("program", program);
    for (ValListItem* item = ids->head; item; item = item->next) url->addAttribute(key, item->value);
}

// Addresses gathered for one mail link. Where duplicates are to be left out,
// a set of the lower-cased addresses answers "already listed?" at once, so a
// link to the members of large groups is not built in quadratic time; the
// addresses keep their order and spelling.
class AddressList {
public:
    ValList addresses;

    void Add(UserDB* users, const char* uid, bool skipKnown) {
        OwnedText address(users->GetEmailAddress(const_cast<char*>(uid)));
        // A person without an address adds nothing rather than an empty entry.
        if (!address) return;
        bool fresh = known_.insert(Lowered(address.get())).second;
        if (fresh || !skipKnown) addresses.Append(address.get());
    }

private:
    std::unordered_set<std::string> known_;

    static std::string Lowered(const char* text) {
        std::string lowered(text);
        StringToLower(lowered.data());
        return lowered;
    }
};

// An address percent-encoded for a "mailto:" link: a "?", "&", "," or blank
// in a stored address cannot add headers, a body or recipients.
std::string MailAddress(const char* address) {
    String encoded(address ? address : "");
    encoded.PrepForURL();
    return encoded.text ? encoded.text : "";
}

// "mailto:" and the addresses joined by ","; a list without any address
// would open an empty mail, so it does nothing instead.
void HoldMailTo(Url* url, const ValList& addresses) {
    if (!addresses.count) {
        HoldText(url, kDoNothing);
        return;
    }
    std::string text = "mailto:";
    for (ValListItem* item = addresses.head; item; item = item->next) {
        text += MailAddress(item->value);
        if (item->next) text += ",";
    }
    HoldText(url, text);
}

std::string ForJS(const char* message) {
    String text(message ? message : "");
    text.PrepForJS();
    return text.text ? text.text : "";
}

// Text for a single-quoted literal inside a "javascript:" link. The browser
// percent-decodes such a link before it runs it, so every "%" is written as
// "%25": an encoded quote in the text ("%27") then stays three characters
// and cannot end the literal.
std::string ForScriptLink(const char* text) {
    const std::string js = ForJS(text);
    std::string out;
    for (char c : js) out += c == '%' ? std::string("%25") : std::string(1, c);
    return out;
}

// Passes everything written on to another request object, each "%" as "%25".
class PercentEscapingRequest : public RequestInfo {
public:
    explicit PercentEscapingRequest(RequestInfo* out) : out_(out) {
        outputStream = out->outputStream;
        browserType = out->browserType;
        browserVersion = out->browserVersion;
        systemType = out->systemType;
        serverType = out->serverType;
    }
    int ReadPostInput(char*, int) override { return 0; }
    int GetFormDataChar() override { return -1; }
    int WriteBinary(const char* data, int length) override {
        std::string escaped;
        for (int i = 0; i < length; ++i) escaped += data[i] == '%' ? std::string("%25") : std::string(1, data[i]);
        return out_->WriteBinary(escaped.data(), static_cast<int>(escaped.size()));
    }
    int Write(const char* text) override { return text ? WriteBinary(text, static_cast<int>(strlen(text))) : 0; }
    int WriteHeader(const char* name, const char* value) override { return out_->WriteHeader(name, value); }
    int SetStatus(int code, const char* reason) override { return out_->SetStatus(code, reason); }
    int Flush() override { return out_->Flush(); }

private:
    RequestInfo* out_;
};

// The target of a confirmation link (owned), written as ForScriptLink
// writes text, so that its encoded parameters reach the script as encoded.
class ScriptLinkTarget : public HTMLObject {
public:
    explicit ScriptLinkTarget(Url* target) { addObject(target); }
    void emit(RequestInfo* out, int indent, int lineBreaks, const char* style) override {
        PercentEscapingRequest escaped(out);
        if (child) child->emit(&escaped, indent, lineBreaks, style);
        if (next) next->emit(out, indent, lineBreaks, style);
    }
};

// "javascript:<function>('<message>','<target>');" (without a target place:
// "javascript:<function>('<message>');"): the pieces are children written in
// order, the target in place between them. A missing target still leaves the
// second argument, empty, so the function is called the way it expects.
void BuildConfirm(HTMLObject* confirm, const char* function, const char* message, bool takesTarget,
                  Url* target) {
    confirm->activateURLs = 0;
    confirm->enhance = 0;
    std::string call = std::string("javascript:") + function + "('" + ForScriptLink(message) + "'";
    if (!takesTarget) {
        confirm->addObject((call + ");").c_str(), ZaFalse);
        return;
    }
    confirm->addObject((call + ",'").c_str(), ZaFalse);
    if (target) confirm->addObject(new ScriptLinkTarget(target));
    confirm->addObject("');", ZaFalse);
}

}  // namespace

DoNothingUrl::DoNothingUrl() : Url(kNoText) { HoldText(this, kDoNothing); }

SubmitFormUrl::SubmitFormUrl() : Url(kNoText) { HoldText(this, "javascript:submitForm()"); }

DenyWithAlertUrl::DenyWithAlertUrl(const char* message) : Url(kNoText) {
    HoldText(this, std::string("javascript:denyWithAlert('") + (message ? message : "") + "')");
}

SubmitFormAfterConfirmUrl::SubmitFormAfterConfirmUrl(const char* message) : Url(kNoText) {
    HoldText(this, std::string("javascript:submitFormAfterConfirm('") + (message ? message : "") + "')");
}

HelpUrl::HelpUrl(const char* topic) : Url(kNoText) {
    String encoded(topic ? topic : "");
    encoded.PrepForURL();
    HoldText(this, std::string("javascript:ZaHelp('../../help/bin/help.cgi?program=help_window','") +
                       (encoded.text ? encoded.text : "") + "')");
}

AddUidItemToHotlistUrl::AddUidItemToHotlistUrl(const char* uid) : Url(kCommonProgram) {
    addAttribute("program", "add_uid_to_hotlist");
    addAttribute("uid", uid);
}

AddUidItemToHotlistUrl::AddUidItemToHotlistUrl(ValList* uids) : Url(HotlistBase(uids)) {
    AddHotlistItems(this, "add_uid_to_hotlist", "uid", uids);
}

AddGidItemToHotlistUrl::AddGidItemToHotlistUrl(const char* gid) : Url(kCommonProgram) {
    addAttribute("program", "add_gid_to_hotlist");
    addAttribute("gid", gid);
}

AddGidItemToHotlistUrl::AddGidItemToHotlistUrl(ValList* gids) : Url(HotlistBase(gids)) {
    AddHotlistItems(this, "add_gid_to_hotlist", "gid", gids);
}

EmailUrl::EmailUrl(const char* address) : Url(kNoText) {
    HoldText(this, "mailto:" + MailAddress(address));
}

EmailUrl::EmailUrl(const char* uid, UserDB* users) : Url(kNoText) {
    AddressList list;
    list.Add(users, uid, false);
    HoldMailTo(this, list.addresses);
}

EmailUrl::EmailUrl(ValList* uids, UserDB* users) : Url(kNoText) {
    AddressList list;
    for (ValListItem* item = uids ? uids->head : nullptr; item; item = item->next) list.Add(users, item->value, false);
    HoldMailTo(this, list.addresses);
}

// The users' own addresses all count; a group member's address is added only
// when no earlier entry has it (in any letter case).
EmailUrl::EmailUrl(ValList* uids, ValList* gids, UserDB* users, GroupDB* groups) : Url(kNoText) {
    AddressList list;
    for (ValListItem* item = uids ? uids->head : nullptr; item; item = item->next) list.Add(users, item->value, false);
    if (gids && gids->count) {
        ValList members;
        groups->GetMembersOfGroups(gids, &members);
        for (ValListItem* item = members.head; item; item = item->next) list.Add(users, item->value, true);
    }
    HoldMailTo(this, list.addresses);
}

AddBookUrl::AddBookUrl() : Url("addbook:add") {}

ConfirmUrl::ConfirmUrl(const char* message, Url* target) : HTMLObject() {
    BuildConfirm(this, "MyConfirm", message, true, target);
}

ConfirmDeleteUrl::ConfirmDeleteUrl(const char* message, Url* target) : HTMLObject() {
    BuildConfirm(this, "ConfirmDelete", message, true, target);
}

ConfirmDeleteMeetingUrl::ConfirmDeleteMeetingUrl(const char* message, Url* target) : HTMLObject() {
    BuildConfirm(this, "ConfirmDeleteMeeting", message, true, target);
}

ConfirmClearUrl::ConfirmClearUrl(const char* message, Url* target) : HTMLObject() {
    BuildConfirm(this, "ConfirmClear", message, true, target);
}

ConfirmDeleteMeetingSubmitUrl::ConfirmDeleteMeetingSubmitUrl(const char* message) : HTMLObject() {
    BuildConfirm(this, "ConfirmDeleteMeetingSubmit", message, false, nullptr);
}
