// Bounds on what one request may bring, checked before it costs time, memory
// or disk: body sizes, parameter count and the length of any one name or
// value outside uploaded files. A request over a bound is answered with a
// short refusal page (status 413) and nothing else is done for it.
#ifndef ZA_REQLIMITS_H
#define ZA_REQLIMITS_H

#include <cstddef>

class RequestInfo;

struct ZaRequestLimits {
    long maxFormBody;    // URL-encoded body or query string, bytes (ZARVO_MAX_FORM_BODY)
    long maxUploadBody;  // multipart body, bytes (ZARVO_MAX_UPLOAD_BODY)
    int maxParams;       // parameters of query and body together (ZARVO_MAX_PARAMS)
    int maxValue;        // one name or value, bytes as sent (ZARVO_MAX_VALUE)
};

// The limits of this process: 8 MB, 64 MB, 10,000 and 64 KB, each replaced
// by the environment variable named above when that holds a positive number
// (the web server's configuration can set them). Computed once.
const ZaRequestLimits& ZaGetRequestLimits();

// True when the first length bytes of a URL-encoded text hold at most
// maxParams - counted pairs and no name or value longer than maxValue. One
// pass over the text; nothing is allocated.
bool ZaUrlEncodedWithinLimits(const char* text, size_t length, int counted);

// Writes the refusal page: status 413 and a few lines naming the bounds.
void ZaRefuseRequest(RequestInfo* request);

#endif
