// A request object for the fuzz programs: its body is the fuzzer's bytes and
// everything it would write is dropped.
#ifndef ZA_FUZZ_REQUEST_H
#define ZA_FUZZ_REQUEST_H

#include <cstddef>
#include <cstring>

#include "reqinfo.h"

class FuzzRequest : public RequestInfo {
public:
    const unsigned char* body = nullptr;
    size_t size = 0;
    size_t position = 0;

    int ReadPostInput(char* buffer, int length) override {
        if (length < 0 || size - position < static_cast<size_t>(length)) return 0;
        memcpy(buffer, body + position, static_cast<size_t>(length));
        position += static_cast<size_t>(length);
        return length;
    }
    int GetFormDataChar() override { return position < size ? body[position++] : -1; }
    int WriteBinary(const char*, int) override { return 0; }
    int Write(const char*) override { return 0; }
    int WriteHeader(const char*, const char*) override { return 0; }
    int SetStatus(int, const char*) override { return 0; }
    int Flush() override { return 0; }
};

#endif
