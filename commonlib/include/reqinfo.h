// RequestInfo: the abstract request object. It holds the CGI values, the
// browser/system/server recognition, the decoded parameters and cookies, and
// the output operations through which every byte of the response is written.
// All text fields and both lists are owned and freed by the destructor.
// Lookups (FindVar, FindVar2, FindCookie) return borrowed pointers; the
// Parse..., GetValList..., FindFormattedCookie operations and FindVarCopy
// return new objects (lists with new, texts with malloc) owned by the caller.
#ifndef ZA_REQINFO_H
#define ZA_REQINFO_H

#include <cstdint>
#include <cstdio>

#include "zaerror.h"

class ValList;
class ValNameList;

class RequestInfo {
public:
    int32_t pendingCR;       // 1 while a CR is held back between two multipart lines
    char* queryString;       // QUERY_STRING
    char* scriptName;        // SCRIPT_NAME
    char* requestMethod;     // REQUEST_METHOD
    FILE* outputStream;      // where the response goes (not owned)
    int32_t contentLength;   // CONTENT_LENGTH; for GET the length of queryString
    char* serverName;        // SERVER_NAME
    char* serverPort;        // SERVER_PORT
    int32_t browserType;     // 0 not recognised, 1 Mozilla, 2 MSIE
    int32_t systemType;      // 1 Macintosh, 0 any other
    double browserVersion;   // 0 when not recognised
    int32_t serverType;      // 0 other, 1 Netscape, 2 Microsoft
    double serverVersion;    // 0 when not recognised
    char* remoteUser;        // REMOTE_USER, empty when none
    ValNameList* params;     // request parameters in arrival order (never null)
    ValNameList* cookies;    // request cookies, or null before they are decoded
    int32_t overLimit;       // 1 once a decoder met a request over a bound (reqlimits.h)
    int32_t acceptUploads;   // 0: file parts of a multipart body are read and dropped
    char* deferredBodyType;  // content type of a multipart body not decoded yet, or null

    RequestInfo();
    RequestInfo(const RequestInfo&) = delete;
    RequestInfo& operator=(const RequestInfo&) = delete;

    // Virtual slots, in this order.
    virtual ~RequestInfo();
    // Fills buffer with exactly length body bytes: length on success, 0 otherwise.
    virtual int ReadPostInput(char* buffer, int length) = 0;
    virtual int SetupInputStream();
    virtual FILE* SetupOutputStream();
    // Next body byte, or -1 at the end or without input.
    virtual int GetFormDataChar() = 0;
    // One line of a multipart body into buffer: at most size - 2 bytes, no
    // terminator. Returns the byte count, or -1 when the input ended before
    // any byte. A line ends after CR LF, on reading exactly stopText, when the
    // buffer is full (a CR at the cut is held back in pendingCR) or at the end.
    virtual int GetFormDataLine(char* buffer, int size, char* stopText);
    virtual int CloseInputStream();
    // 0 when all bytes were written, -1 otherwise.
    virtual int WriteBinary(const char* data, int length) = 0;
    virtual int Write(const char* text) = 0;
    // Empty name: a lone line feed that ends the header block.
    virtual int WriteHeader(const char* name, const char* value) = 0;
    virtual int SetStatus(int code, const char* reason) = 0;
    virtual int Flush() = 0;

    // Browser, system and server recognition.
    void SetSystemType(const char* userAgent);
    void SetBrowserType(const char* userAgent);
    void SetServerInfo(const char* serverSoftware);
    int GetMaxUrlLength();
    int GetMaxCookieLength();

    // Parameter and cookie lookups (names compared ignoring case).
    char* FindVar(const char* name);      // borrowed value, or null
    char* FindVarCopy(const char* name);  // malloc copy, or null
    char* FindVar2(const char* name);     // borrowed extra1, or null
    void ReplaceVal(const char* name, const char* value);
    char* FindCookie(const char* name);   // borrowed value, or null
    ValList* FindFormattedCookie(const char* name);
    ValList* GetValList(const char* name);
    ValNameList* GetValListPrefix(const char* prefix);
    void AddParams(ValNameList* list);    // copies the items; null adds nothing
    void AddParam(const char* name, const char* value);

    // Decoders. None of them fails: malformed input yields fewer pairs.
    static ValNameList* ParseGETString(const char* text, int length);
    static ValNameList* ParsePOSTString(const char* text, int length);
    // These two decode only within the request limits: over them they set
    // overLimit and give an empty list (a body is then not even read).
    ValNameList* ParseGetInput();
    ValNameList* ParsePostInput();
    static ValNameList* ParseNameValString(const char* text, ZaBoolean unescape);
    static ValNameList* ParseHTTPHeader(const char* line);  // null when not a header
    static void ParseFormattedCookie(const char* value, ValList* list);

    // Multipart (file upload) decoding; null when the input cannot be set up,
    // a temporary file cannot be made, or the body passes a request limit
    // (overLimit is then set and no upload is kept). Upload files have no
    // name in any folder: extra1 is a /proc/self/fd path valid while the
    // process runs, so nothing is left behind however the process ends.
    ValNameList* ParseMultiPartForm(char* contentType);
    static ZaBoolean IsBoundary(const char* line, int length, const char* boundary);
    static ZaBoolean IsEndBoundary(const char* line, int length, const char* boundary);
};

#endif
