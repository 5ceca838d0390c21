// A request object for tests whose body comes from a string and whose output
// goes nowhere; ReadFile gives a file's bytes.
#ifndef ZA_TEST_STRING_REQUEST_H
#define ZA_TEST_STRING_REQUEST_H

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "reqinfo.h"

inline std::string ReadFile(const std::string& path) {
    std::stringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

class StringRequest : public RequestInfo {
public:
    std::string body;
    size_t position = 0;

    explicit StringRequest(std::string b = "") : body(std::move(b)) {}

    // Delivers what the body holds; a short body is a failed read.
    int ReadPostInput(char* buffer, int length) override {
        size_t n = std::min(body.size() - position, static_cast<size_t>(length));
        memcpy(buffer, body.data() + position, n);
        position += n;
        return n == static_cast<size_t>(length) ? length : 0;
    }
    int GetFormDataChar() override {
        return position < body.size() ? static_cast<unsigned char>(body[position++]) : -1;
    }
    int WriteBinary(const char*, int) override { return 0; }
    int Write(const char*) override { return 0; }
    int WriteHeader(const char*, const char*) override { return 0; }
    int SetStatus(int, const char*) override { return 0; }
    int Flush() override { return 0; }
};

#endif
