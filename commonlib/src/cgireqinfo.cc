// The CGI request object: body from standard input, response to standard
// output, header lines ended by single line feeds.
#include "cgireqinfo.h"

#include <cstring>
#include <string>

CGIRequestInfo::CGIRequestInfo() : inputStream(nullptr), bodyRead(0) {}

CGIRequestInfo::~CGIRequestInfo() = default;

int CGIRequestInfo::ReadPostInput(char* buffer, int length) {
    if (!buffer || length <= 0) return 0;
    return fread(buffer, static_cast<size_t>(length), 1, stdin) == 1 ? length : 0;
}

int CGIRequestInfo::SetupInputStream() {
    inputStream = stdin;
    return 0;
}

FILE* CGIRequestInfo::SetupOutputStream() { return stdout; }

// The body ends after CONTENT_LENGTH bytes even when more would come.
int CGIRequestInfo::GetFormDataChar() {
    if (!inputStream || bodyRead >= static_cast<long>(contentLength)) return -1;
    int c = getc(inputStream);
    if (c == EOF) return -1;
    ++bodyRead;
    return c;
}

int CGIRequestInfo::CloseInputStream() { return 0; }

int CGIRequestInfo::WriteBinary(const char* data, int length) {
    if (!outputStream || length < 0 || (!data && length > 0)) return -1;
    if (length == 0) return 0;
    return fwrite(data, 1, static_cast<size_t>(length), outputStream) ==
                   static_cast<size_t>(length)
               ? 0
               : -1;
}

int CGIRequestInfo::Write(const char* text) {
    if (!text) return 0;
    return WriteBinary(text, static_cast<int>(strlen(text)));
}

// An empty name writes the lone line feed that ends the header block.
int CGIRequestInfo::WriteHeader(const char* name, const char* value) {
    std::string line;
    if (name && *name) {
        line = std::string(name) + ": ";
        if (value) line += value;
    }
    line += '\n';
    return WriteBinary(line.data(), static_cast<int>(line.size()));
}

int CGIRequestInfo::SetStatus(int code, const char* reason) {
    std::string line = "Status: " + std::to_string(code);
    if (reason && *reason) line += std::string(" ") + reason;
    line += '\n';
    return WriteBinary(line.data(), static_cast<int>(line.size()));
}

int CGIRequestInfo::Flush() {
    if (outputStream) fflush(outputStream);
    return 0;
}
