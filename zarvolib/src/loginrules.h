// The login steps that every kind of program of the suite shares, and the
// rules by which a kind decides whom it lets in.
#ifndef LOGINRULES_H
#define LOGINRULES_H

class Page;
class ZarvoBaseCommon;

struct ZaLoginRules {
    bool storeMustBeSetUp;    // refuse every login while the store is not set up
    bool administratorsOnly;  // only people whose login flag is set come in, as webmasters
    bool personalStyle;       // a person's own style replaces the default on login
};

// Null when the request is logged in, or has just been through the web
// server's login or the login form; else a login page (owned by the caller)
// with the reason for the refusal.
Page* ZaAuthenticateAndLogIn(ZarvoBaseCommon* common, const ZaLoginRules& rules);

#endif
