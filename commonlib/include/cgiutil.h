// Process-level helpers of the CGI gateway: environment reading, the fixed
// error page, and the entry point that the application defines.
#ifndef ZA_CGIUTIL_H
#define ZA_CGIUTIL_H

#include "zaerror.h"

class RequestInfo;

// Stores in *result a malloc copy of the variable's value, or a malloc empty
// string when it is not set; the caller frees it.
void GetEnvironmentVar(char** result, const char* name);

// Writes the gateway's fixed error page with message through request->Write.
// The caller ends the process right after it (exit status 0).
void exitFunc(RequestInfo* request, const char* message);

// Fills the request from the CGI environment (QUERY_STRING, REQUEST_METHOD,
// cookies, ...) and decodes its parameters, body first for a POST. Returns the
// message for exitFunc when the request cannot be served, kZaRequestRefused
// when it passed a request limit (the refusal page is written then), else
// null. A multipart body is not decoded here: see ZaDecodeDeferredBody.
const char* ZaDecodeCGIRequest(RequestInfo* request);
extern const char kZaRequestRefused[];

// Decodes a multipart body that ZaDecodeCGIRequest left (nothing when there
// is none); its parameters go in front of the URL's. Uploaded files are kept
// only when acceptUploads is ZaTrue, else their bytes are read and dropped.
// False when the body passed a request limit: nothing of it is kept and the
// caller answers with ZaRefuseRequest.
bool ZaDecodeDeferredBody(RequestInfo* request, ZaBoolean acceptUploads);

// Removes the request's upload files (closes the descriptors that keep
// them); called once the request is answered.
void ZaRemoveUploadFiles(RequestInfo* request);

// The application's entry, called once per request; non-zero means failure.
int ModuleMain(RequestInfo* request);

#endif
