// Test support: a request that keeps everything written to it in one string,
// header lines formatted as the CGI gateway formats them; golden-file reading.
#ifndef CAPTURE_REQUEST_H
#define CAPTURE_REQUEST_H

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "reqinfo.h"

class CaptureRequest : public RequestInfo {
public:
    std::string output;

    explicit CaptureRequest(int browser = 1) { browserType = browser; }
    int ReadPostInput(char*, int) override { return 0; }
    int GetFormDataChar() override { return -1; }
    int WriteBinary(const char* bytes, int length) override { return output.append(bytes, length), 0; }
    int Write(const char* text) override { return WriteBinary(text, static_cast<int>(strlen(text))); }
    int WriteHeader(const char* name, const char* value) override {
        return output += name && name[0] ? std::string(name) + ": " + (value ? value : "") + "\n" : "\n", 0;
    }
    int SetStatus(int code, const char* reason) override {
        return output += "Status: " + std::to_string(code) + " " + (reason ? reason : "") + "\n", 0;
    }
    int Flush() override { return 0; }
};

inline std::string TestFilePath(const std::string& name) {
    return std::string(ZA_SOURCE_DIR) + "/htmllib/tests/golden/" + name;
}

inline std::string ReadTestFile(const std::string& name) {
    std::ostringstream text;
    text << std::ifstream(TestFilePath(name), std::ios::binary).rdbuf();
    return text.str();
}

#endif
