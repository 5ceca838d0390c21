// The application and request objects of the frame, the process's page
// loop (ModuleMain) and the handling of errors that reach it.
#include "zarvobase.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "Classes.h"
#include "cgiutil.h"
#include "groupDB.h"
#include "reqinfo.h"
#include "textsupport.h"
#include "userDB.h"
#include "vallist.h"
#include "zalog.h"
#include "zapages.h"
#include "zasession.h"
#include "zaport.h"
#include "zastyle.h"

namespace {

const char kSource[] = "zarvolib/src/zarvobase";
// Where bug reports go when not even the configuration can be read.
const char kFallbackBugReportAddr[] = "bugs@zarvo.example";
const char kErrorPageStyle[] = "style0";

[[noreturn]] void Raise(int line, const char* message) {
    ZaError* error = new ZaError();
    error->AddLine(line, kSource, message, ZaFalse);
    throw error;
}

// Holds the process-wide store-handle lock for one scope.
class HandleLock {
public:
    HandleLock() { ZaLockDBHandle(); }
    ~HandleLock() { ZaUnlockDBHandle(); }
    HandleLock(const HandleLock&) = delete;
    HandleLock& operator=(const HandleLock&) = delete;
};

// A store named `handle`: the application's own, else a shared one, else one
// made by `create` and published under the name (under the handle lock).
template <class Store, class Create>
Store* SharedStore(Store*& kept, const char* handle, Create create) {
    if (kept) return kept;
    if ((kept = static_cast<Store*>(ZaGetDBHandle(handle)))) return kept;
    HandleLock lock;
    if ((kept = static_cast<Store*>(ZaGetDBHandle(handle)))) return kept;
    Store* made = create();
    ZaSetDBHandle(handle, made);
    return kept = made;
}

const char* StoreKindWord(ZaDBFormat format) {
    switch (format) {
        case ZA_LDAP: return "LDAP";
        case ZA_SQL: return "SQL";
        default: return "ZARVO";
    }
}

const char* LookupText(ValNameList* list, const char* key) {
    ValNameListItem* item = list ? list->Lookup(key) : nullptr;
    if (!item) return nullptr;
    return item->value ? item->value : "";
}

template <class Release>
void ReleaseQuietly(Release release) {
    try {
        release();
    } catch (ZaError* e) {
        delete e;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Application object

ZarvoBaseApp::ZarvoBaseApp(const char* appName, const char* programName, const char* messagesPath,
                           const char* localMessagesPath)
    : name(CopyOrNull(appName)),
      program(CopyOrNull(programName)),
      userDB(nullptr),
      groupDB(nullptr),
      configDB(nullptr),
      messagesFile(CopyOrNull(messagesPath)),
      localMessagesFile(CopyOrNull(localMessagesPath)),
      messages(nullptr),
      localMessages(nullptr),
      threadKey(ZaThreadNewKey()),
      missingTexts(new ValList()) {}

ZarvoBaseApp::~ZarvoBaseApp() {
    // The stores are released through the loader while the configuration
    // that located their library still exists. A release that fails (its
    // library gone meanwhile) cannot be reported from a destructor, and the
    // process is ending anyway: the store then simply stays unreleased.
    ReleaseQuietly([this] { if (userDB) ZaDestroyUserDB(userDB, configDB); });
    ReleaseQuietly([this] { if (groupDB) ZaDestroyGroupDB(groupDB, configDB); });
    delete configDB;
    delete messages;
    delete localMessages;
    delete missingTexts;
    free(name);
    free(program);
    free(messagesFile);
    free(localMessagesFile);
}

ZaConfigDB* ZarvoBaseApp::GetConfigDB() {
    return SharedStore(configDB, "ConfigDB", [] { return new ZaConfigDB(nullptr); });
}

namespace {

// Opens a new store; on any failure it is released again and the error goes on.
template <class Store, class Open, class Destroy>
Store* OpenedStore(Store* db, Open open, Destroy destroy, int failedLine, const char* failedText) {
    // A plug-in whose factory hands back nothing has no store to open.
    if (!db) Raise(failedLine, failedText);
    ZaBoolean opened = ZaFalse;
    try {
        opened = open(db);
    } catch (ZaError*) {
        destroy(db);
        throw;
    }
    if (opened != ZaTrue) {
        destroy(db);
        Raise(failedLine, failedText);
    }
    return db;
}

}  // namespace

UserDB* ZarvoBaseApp::GetUserDB() {
    try {
        ZaConfigDB* config = GetConfigDB();
        return SharedStore(userDB, "UserDB", [&] {
            int kind = ZaGetGatewayKind();
            ZaBoolean inServer = (kind == 1 || kind == 2) ? ZaTrue : ZaFalse;
            return OpenedStore(
                ZaCreateUserDB(config), [&](UserDB* db) { return db->Open(inServer, config, &threadKey); },
                [&](UserDB* db) { ZaDestroyUserDB(db, config); }, 781,
                "Unable to open the database - GetUserDB() failed!");
        });
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in ZarvoBaseApp::GetUserDB", ZaFalse);
        throw;
    }
}

GroupDB* ZarvoBaseApp::GetGroupDB() {
    try {
        ZaConfigDB* config = GetConfigDB();
        return SharedStore(groupDB, "GroupDB", [&] {
            return OpenedStore(
                ZaCreateGroupDB(config), [&](GroupDB* db) { return db->Open(config, &threadKey); },
                [&](GroupDB* db) { ZaDestroyGroupDB(db, config); }, 832,
                "Unable to open the database - GetGroupDB() failed!");
        });
    } catch (ZaError* e) {
        e->AddLine(__LINE__, kSource, "Error in ZarvoBaseApp::GetGroupDB", ZaFalse);
        throw;
    }
}

const char* ZarvoBaseApp::GetMessage(const char* key, ZaBoolean noFallback) {
    if (!key) key = "";
    if (!localMessages) {
        localMessages = new ValNameList();
        localMessages->Read(localMessagesFile, ZaTrue);
    }
    if (const char* text = LookupText(localMessages, key)) return text;
    if (!messages) {
        messages = new ValNameList();
        messages->Read(messagesFile, ZaTrue);
    }
    if (const char* text = LookupText(messages, key)) return text;
    if (noFallback != ZaTrue) {
        std::string kindKey = std::string(key) + "_" + StoreKindWord(GetConfigDB()->DBFormat(ZA_EMP_DIR_DB));
        const char* text = LookupText(localMessages, kindKey.c_str());
        if (!text) text = LookupText(messages, kindKey.c_str());
        if (text) return text;
    }
    // Kept with the application like the found texts, so no caller frees it.
    // Matched exactly: the text repeats the key as the caller spelled it.
    std::string missing = std::string("Message ") + key + " not found";
    for (ValListItem* known = missingTexts->head; known; known = known->next)
        if (known->value && missing == known->value) return known->value;
    missingTexts->Append(missing.c_str());
    return missingTexts->tail->value;
}

ZarvoApplicationInfo::ZarvoApplicationInfo(const char* path)
    : version(nullptr), id(nullptr), description(nullptr), program(nullptr), navbarGif(nullptr),
      navbarGifDir(nullptr) {
    ValNameList list;
    list.Read(path, ZaTrue);
    auto take = [&list](const char* key) {
        ValNameListItem* item = list.Lookup(key);
        return item ? CopyOrNull(item->value) : nullptr;
    };
    version = take("VERSION");
    id = take("ID");
    description = take("DESCRIPTION");
    program = take("PROGRAM");
    navbarGif = take("NAVBAR_GIF");
    navbarGifDir = take("NAVBAR_GIFDIR");
}

ZarvoApplicationInfo::~ZarvoApplicationInfo() {
    for (char* text : {version, id, description, program, navbarGif, navbarGifDir}) free(text);
}

// ---------------------------------------------------------------------------
// Request object

ZarvoBaseCommon::ZarvoBaseCommon(RequestInfo* req, ZarvoBaseApp* app, ZaBoolean bufferedLog)
    : uid(nullptr), style(new ZaStyle(-1)), request(req), log(nullptr), application(app) {
    try {
        ZaConfigDB* config = app->GetConfigDB();
        log = new ZaLog(app->name, config->LogLevel(), config->LogFile(), bufferedLog);
        ZaDBThreadSetup(config, app->threadKey);
    } catch (ZaError* e) {
        // No destructor runs for an object whose constructor throws.
        delete log;
        delete style;
        e->AddLine(__LINE__, kSource, "Error in ZarvoBaseCommon::ZarvoBaseCommon", ZaFalse);
        throw;
    }
}

ZarvoBaseCommon::~ZarvoBaseCommon() {
    delete log;
    delete style;
    free(uid);
    ZaDBThreadSetupFree(application->threadKey);
}

void ZarvoBaseCommon::Initialize() {}

const char* ZarvoBaseCommon::GetMyUid() {
    if (!request) Raise(121, "NULL requestInfo");
    if (!uid) uid = CopyOrNull(FindUid());
    return uid;
}

void ZarvoBaseCommon::SetStyle(const char* styleName) {
    SetStyle(new ZaStyle(styleName, nullptr));
}

void ZarvoBaseCommon::SetStyle(ZaStyle* newStyle) {
    if (newStyle == style) return;
    delete style;
    style = newStyle;
}

// ---------------------------------------------------------------------------
// The page loop and its error handling

void ZaEmitPage(Page* page, RequestInfo* request, const char* styleName) {
    page->AddToList(ZaNewPageSecurityHeaders());
    page->emit(request, 0, 1, styleName);
}

void ZaLogTrace(ZaLog* log, const ZaError* error) {
    if (!log || !error) return;
    for (ValListItem* line = error->lines.head; line; line = line->next)
        log->AddMsg(ZA_ERROR, line->value ? line->value : "");
}

void ZaExceptHandleFunc(ZaError* error, RequestInfo* request, ZaLog* log, const char* bugReportAddr) {
    ZaLogTrace(log, error);
    std::unique_ptr<Page> page(ZaCreateErrorPage(&error->lines, bugReportAddr, request));
    ZaEmitPage(page.get(), request, kErrorPageStyle);
}

void ModuleMainExceptionHandler(ZarvoBaseCommon* app, RequestInfo* request, ZaError* error) {
    if (app) {
        ZaExceptHandleFunc(error, request, app->log, app->application->GetConfigDB()->BugReportAddr());
        return;
    }
    try {
        ZaConfigDB config(nullptr);
        ZaLog log("Unknown", config.LogLevel(), config.LogFile());
        ZaExceptHandleFunc(error, request, &log, config.BugReportAddr());
    } catch (ZaError* further) {
        std::unique_ptr<ZaError> owned(further);
        further->AddLine(1046, kSource, "No logging done!", ZaFalse);
        ZaExceptHandleFunc(further, request, nullptr, kFallbackBugReportAddr);
    }
}

// Weak, so that programs and tests which define their own take precedence,
// while a program without an application still links and answers every
// request with the bug report page.
__attribute__((weak)) ZarvoBaseCommon* GetRequestObject(RequestInfo*) {
    Raise(__LINE__, "No application is linked into this program");
}

int ModuleMain(RequestInfo* request) {
    std::unique_ptr<ZarvoBaseCommon> app;
    try {
        app.reset(GetRequestObject(request));
        if (!app) return 1;
        app->Initialize();
        const char* program = request->FindVar("program");
        std::unique_ptr<Page> page(app->CheckLogin(program));
        if (!page) {
            page.reset(app->HandleEvent(program));
            if (!page) return 1;
            if (app->BypassLoginCheck(program) != ZaTrue) app->LogPersonIn(page.get());
        }
        ZaEmitPage(page.get(), request, app->style ? app->style->imageDir : nullptr);
        return 0;
    } catch (ZaError* caught) {
        std::unique_ptr<ZaError> error(caught);
        if (error->level == 2) {
            ModuleMainExceptionHandler(app.get(), request, error.get());
        } else {
            if (app) ZaLogTrace(app->log, error.get());
            std::unique_ptr<Page> page(EmitNicePage(&error->userMessages));
            ZaEmitPage(page.get(), request, kErrorPageStyle);
        }
        return 0;
    }
}
