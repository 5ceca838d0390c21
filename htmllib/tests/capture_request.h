// Test support: a request that keeps everything written to it in one string
// (header lines formatted as the CGI gateway formats them), a byte-exact
// comparison that points at the first difference, and golden-file reading.
#ifndef CAPTURE_REQUEST_H
#define CAPTURE_REQUEST_H

#include <gtest/gtest.h>

#include <algorithm>
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
    int WriteBinary(const char* bytes, int length) override {
        output.append(bytes, static_cast<size_t>(length));
        return 0;
    }
    int Write(const char* text) override { return WriteBinary(text, static_cast<int>(strlen(text))); }
    int WriteHeader(const char* name, const char* value) override {
        output += name && name[0] ? std::string(name) + ": " + (value ? value : "") + "\n" : "\n";
        return 0;
    }
    int SetStatus(int code, const char* reason) override {
        output += "Status: " + std::to_string(code) + (reason ? std::string(" ") + reason : "") + "\n";
        return 0;
    }
    int Flush() override { return 0; }
};

// Shows a stretch of text with line feeds visible.
inline std::string Visible(const std::string& text, size_t from, size_t count) {
    std::string shown;
    for (size_t i = from; i < std::min(text.size(), from + count); ++i)
        shown += text[i] == '\n' ? std::string("\\n") : std::string(1, text[i]);
    return shown;
}

inline ::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    if (at == expected.size() && at == actual.size()) return ::testing::AssertionSuccess();
    size_t from = at > 30 ? at - 30 : 0;
    return ::testing::AssertionFailure()
           << "first difference at byte " << at << " (expected " << expected.size() << " bytes, got "
           << actual.size() << ")\n  expected: ..." << Visible(expected, from, 60) << "\n  actual:   ..."
           << Visible(actual, from, 60);
}

inline std::string TestFilePath(const std::string& name) {
    return std::string(ZA_SOURCE_DIR) + "/htmllib/tests/golden/" + name;
}

inline std::string ReadTestFile(const std::string& name) {
    std::ifstream in(TestFilePath(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

#endif
