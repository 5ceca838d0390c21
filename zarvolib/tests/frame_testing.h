// Helpers for the frame's unit tests: a request object that records what is
// written to it, and a throw-away tree (TOP/config, TOP/logs and the program
// folder TOP/web/admin/bin as working directory) with its settings file and
// message catalogues.
#ifndef ZA_TESTS_FRAME_TESTING_H
#define ZA_TESTS_FRAME_TESTING_H

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "reqinfo.h"
#include "vallist.h"

// Headers as "Name: value" lines, then a blank line, then the page.
class CaptureRequest : public RequestInfo {
public:
    std::string out;

    // cookies: "name=value; ..." as a browser sends them.
    explicit CaptureRequest(const std::string& query = "", const std::string& cookieText = "") {
        ValNameList* decoded = ParseGETString(query.c_str(), static_cast<int>(query.size()));
        AddParams(decoded);
        delete decoded;
        cookies = ParseNameValString(cookieText.c_str(), ZaTrue);
        if (!cookies) cookies = new ValNameList();
    }
    int ReadPostInput(char*, int) override { return 0; }
    int GetFormDataChar() override { return -1; }
    int WriteBinary(const char* data, int length) override {
        out.append(data, length);
        return 0;
    }
    int Write(const char* text) override {
        out += text ? text : "";
        return 0;
    }
    int WriteHeader(const char* name, const char* value) override {
        out += (name && *name) ? std::string(name) + ": " + (value ? value : "") + "\n" : "\n";
        return 0;
    }
    int SetStatus(int code, const char* reason) override {
        out += "Status: " + std::to_string(code) + " " + (reason ? reason : "") + "\n";
        return 0;
    }
    int Flush() override { return 0; }
    bool Contains(const std::string& text) const { return out.find(text) != std::string::npos; }
};

class FrameTree {
public:
    FrameTree() {
        char pattern[] = "/tmp/za_frame_XXXXXX";
        top_ = mkdtemp(pattern);
        for (const char* dir : {"config", "logs", "web/admin/bin"}) std::filesystem::create_directories(top_ / dir);
        home_ = std::filesystem::current_path();
        std::filesystem::current_path(top_ / "web/admin/bin");
        WriteConfig("");
    }
    ~FrameTree() {
        std::filesystem::current_path(home_);
        std::filesystem::remove_all(top_);
    }
    FrameTree(const FrameTree&) = delete;
    FrameTree& operator=(const FrameTree&) = delete;

    // The settings file: the log inside the tree plus `lines` ("name:value\n").
    // Plain cookies unless the lines choose the kind of session: the tests
    // of the document's cookies write them by hand.
    void WriteConfig(const std::string& lines) const {
        std::string session = lines.find("sessionSecurity:") == std::string::npos ? "sessionSecurity:ZA_PLAIN\n" : "";
        WriteList("config/configInfo.lst", "logFileName:" + LogFile() + "\nlogLevel:ZA_INFO\n" + session + lines);
    }
    // A name/value list file under TOP.
    void WriteList(const std::string& relative, const std::string& lines) const {
        std::ofstream(top_ / relative) << "BEGIN:vNameList\n" << lines << "END:vNameList\n";
    }
    std::string LogFile() const { return (top_ / "logs" / "zalogfile").string(); }
    std::string ReadLog() const {
        std::stringstream content;
        content << std::ifstream(LogFile()).rdbuf();
        return content.str();
    }
    std::string Path(const std::string& relative) const { return (top_ / relative).string(); }

private:
    std::filesystem::path top_, home_;
};

// A login cookie text valid for `seconds` from now.
inline std::string LoginCookies(const std::string& uid, long seconds, const char* webmaster = "TRUE") {
    return "ZarvoUidCookie=" + uid + "; ZarvoIsWebmaster=" + webmaster +
           "; ZarvoUserLoginTime=" + std::to_string(time(nullptr) + seconds);
}

#endif
