// The layer shared by the suite's administration programs: only
// administrators may log in, pages always use the style "style0", and the
// help navigation bar and the directory-store set-up pages live here.
// Pages returned belong to the caller; lists passed in stay the caller's.
#ifndef ZARVOADMIN_H
#define ZARVOADMIN_H

#include "zarvobase.h"

class ValList;
class ZaTable;

// The main catalogue of every administration program, relative to its folder.
inline constexpr char kAdminMessagesFile[] = "../../admin/bin/adminmsg.lst";

class ZarvoAdminApp : public ZarvoBaseApp {
public:
    // localMessagesFile may be null.
    ZarvoAdminApp(const char* name, const char* program, const char* localMessagesFile);
};

class ZarvoAdminCommon : public ZarvoBaseCommon {
public:
    ZarvoAdminCommon(RequestInfo* request, ZarvoAdminApp* application, ZaBoolean bufferedLog);

    Page* UserAuthenticateAndLogin() override;
    ~ZarvoAdminCommon() override;
    void Initialize() override;
    // Logged in as the base sees it, and flagged as webmaster ("TRUE" exactly).
    ZaBoolean IsLoggedIn() override;
    Page* HandleEvent(const char* program) override;
    virtual Page* GenHelpNavbarPage();

    // The set-up form keeps the administrator's session, so that the form can
    // be saved; saving it logs the administrator out.
    Page* GenLDAPSetupPage(const char* message, ValList* messages);
    // The "updateLDAPSetupInfo" action (a POST of the set-up form): checks the
    // values, saves them under the configuration's lock, and answers with the
    // login page once the directory answers, else with the form and the reason.
    Page* UpdateLDAPSetupInfo();
    Page* GenDBSetupErrorPage(const char* message, ValList* messages);
    // A new table of the LDAP fields; fixedValues shows the sample root DN and
    // search base as text instead of inputs.
    ZaTable* GetLDAPInfoTable(const char* machine, int port, const char* rootDN,
                              ZaBoolean fixedValues, const char* searchBase);
};

#endif
