// Process-level helpers of the CGI gateway: environment reading, the fixed
// error page, and the entry point that the application defines.
#ifndef ZA_CGIUTIL_H
#define ZA_CGIUTIL_H

class RequestInfo;

// Stores in *result a malloc copy of the variable's value, or a malloc empty
// string when it is not set; the caller frees it.
void GetEnvironmentVar(char** result, const char* name);

// Writes the gateway's fixed error page with message through request->Write.
// The caller ends the process right after it (exit status 0).
void exitFunc(RequestInfo* request, const char* message);

// Fills the request from the CGI environment (QUERY_STRING, REQUEST_METHOD,
// cookies, ...) and decodes its parameters, body first for a POST. Returns the
// message for exitFunc when the request cannot be served, else null.
const char* ZaDecodeCGIRequest(RequestInfo* request);

// Removes the temporary files of the request's uploads (the paths the
// multipart decoder put in extra1); called once the request is answered.
void ZaRemoveUploadFiles(RequestInfo* request);

// The application's entry, called once per request; non-zero means failure.
int ModuleMain(RequestInfo* request);

#endif
