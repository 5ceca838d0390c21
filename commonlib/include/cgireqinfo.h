// CGIRequestInfo: the request object of a CGI process. The body is read from
// standard input and the response written to standard output; neither stream
// is owned (nor closed) by the object.
#ifndef ZA_CGIREQINFO_H
#define ZA_CGIREQINFO_H

#include <cstdio>

#include "reqinfo.h"

class CGIRequestInfo : public RequestInfo {
public:
    FILE* inputStream;  // the POST body; null until SetupInputStream
    long bodyRead;      // body bytes delivered by GetFormDataChar

    CGIRequestInfo();
    ~CGIRequestInfo() override;

    int ReadPostInput(char* buffer, int length) override;
    int SetupInputStream() override;
    FILE* SetupOutputStream() override;
    int GetFormDataChar() override;
    int CloseInputStream() override;
    int WriteBinary(const char* data, int length) override;
    int Write(const char* text) override;
    int WriteHeader(const char* name, const char* value) override;
    int SetStatus(int code, const char* reason) override;
    int Flush() override;
};

#endif
