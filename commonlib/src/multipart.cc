// Decoding of multipart/form-data bodies (form uploads): ordinary fields
// become parameters, uploaded files go to new temporary files whose path the
// parameter carries in extra1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "reqinfo.h"
#include "stringutil.h"
#include "vallist.h"
#include "zafile.h"

namespace {

// Lines are read with a limit of 1023 into a buffer of 1024, so a line of
// more than 1021 bytes arrives in pieces.
const int kLineBufferSize = 1024;
const int kLineLimit = 1023;

enum PartState {
    kValue = 0,           // field value, no complete line yet
    kValueAfterBreak = 1, // field value, last line ended with CR LF (held back)
    kHeaders = 2,         // header lines of a part
    kFile = 3,            // file content, no complete line yet
    kFileAfterBreak = 4,  // file content, last line ended with CR LF (held back)
    kPreamble = 5         // before the first boundary
};

bool EndsWithLineBreak(const char* line, int length) {
    return length >= 2 && line[length - 2] == '\r' && line[length - 1] == '\n';
}

// Where uploads go and how their names begin: the temporary directory + "/zaup".
std::string UploadPrefix() {
    std::unique_ptr<char, decltype(&free)> dir(ZaGetTmpdir(), &free);
    return std::string(dir.get()) + "/zaup";
}

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};

// The file of the upload under way. Its parameter is appended only when the
// part is complete, in the place the part had; an unfinished upload leaves
// neither a parameter nor a file behind.
class Upload {
public:
    ~Upload() { Discard(); }

    // Creates the temporary file; false when that is not possible. The
    // directory is TMPDIR (default /tmp) and mkstemp makes the name, so no
    // other process can slip in between naming and opening.
    bool Open(const char* field, const char* fileName) {
        Discard();
        path_ = UploadPrefix() + "XXXXXX";
        int fd = mkstemp(&path_[0]);
        if (fd < 0) return false;
        file_.reset(fdopen(fd, "wb"));
        if (!file_) {
            close(fd);
            unlink(path_.c_str());
            return false;
        }
        field_ = field ? field : "";
        hasField_ = field != nullptr;
        // Browsers on Windows send the whole client path.
        const char* backslash = strrchr(fileName, '\\');
        shownName_ = backslash ? backslash + 1 : fileName;
        return true;
    }

    bool IsOpen() const { return file_ != nullptr; }

    void Write(const char* data, size_t length) {
        if (file_ && length > 0) fwrite(data, 1, length, file_.get());
    }

    // Closes the file and appends its parameter to list.
    void Finish(ValNameList* list) {
        if (!file_) return;
        file_.reset();
        list->Append(hasField_ ? field_.c_str() : nullptr, shownName_.c_str(), path_.c_str());
    }

    void Discard() {
        if (!file_) return;
        file_.reset();
        unlink(path_.c_str());
    }

private:
    std::unique_ptr<FILE, FileCloser> file_;
    std::string path_;
    std::string field_;
    bool hasField_ = false;
    std::string shownName_;
};

// The field named by the part headers read so far; a part without a name
// parameter gives a parameter without a name, which no lookup finds.
struct PartField {
    bool named = false;
    std::string name;
    const char* Get() const { return named ? name.c_str() : nullptr; }
};

const char* FindBoundaryMarker(const char* contentType) {
    return contentType ? strcasestr(contentType, "boundary=") : nullptr;
}

// The uploaded file's name from a "filename" parameter: empty when there is
// none. Browsers on a Macintosh send it percent-encoded.
std::string UploadFileName(const ValNameList* header, int systemType) {
    ValNameListItem* file = header->Lookup("filename");
    if (!file || !file->value || !*file->value) return std::string();
    if (systemType != 1) return file->value;
    std::unique_ptr<char, void (*)(void*)> decoded(
        StringUnescape(file->value, static_cast<int>(strlen(file->value)), ZaFalse), free);
    return decoded ? std::string(decoded.get()) : std::string();
}

}  // namespace

ZaBoolean RequestInfo::IsBoundary(const char* line, int length, const char* boundary) {
    if (!line || !boundary) return ZaFalse;
    int boundaryLength = static_cast<int>(strlen(boundary));
    if (length < boundaryLength) return ZaFalse;
    int shortened = length;
    for (int i = 0; i < 2 && shortened > 0; ++i) {
        if (line[shortened - 1] == '\r' || line[shortened - 1] == '\n') --shortened;
    }
    // The text after the line's first two characters must be the whole
    // boundary: a mere prefix of it would turn short content lines (such as
    // "--" alone) into boundaries.
    if (shortened - 2 != boundaryLength) return ZaFalse;
    return strncmp(line + 2, boundary, boundaryLength) == 0 ? ZaTrue : ZaFalse;
}

ZaBoolean RequestInfo::IsEndBoundary(const char* line, int length, const char* boundary) {
    if (!line || !boundary) return ZaFalse;
    int boundaryLength = static_cast<int>(strlen(boundary));
    if (length < boundaryLength + 4) return ZaFalse;
    return line[boundaryLength + 2] == '-' && line[boundaryLength + 3] == '-' &&
                   strncmp(line + 2, boundary, boundaryLength) == 0
               ? ZaTrue
               : ZaFalse;
}

int RequestInfo::GetFormDataLine(char* buffer, int size, char* stopText) {
    // Room for at least a held-back CR and one more byte.
    if (!buffer || size < 4) return -1;
    const int limit = size - 2;
    const size_t stopLength = stopText ? strlen(stopText) : 0;
    int count = 0;
    if (pendingCR) {
        pendingCR = 0;
        buffer[count++] = '\r';
    }
    for (;;) {
        int c = GetFormDataChar();
        if (c == -1) return count > 0 ? count : -1;
        buffer[count++] = static_cast<char>(c);
        if (EndsWithLineBreak(buffer, count)) break;
        if (stopLength > 0 && static_cast<size_t>(count) == stopLength &&
            memcmp(buffer, stopText, stopLength) == 0)
            break;
        if (count >= limit) {
            // A CR at the cut may be the first half of a line break: hold it
            // back so that the next piece starts with it.
            if (buffer[count - 1] == '\r') {
                --count;
                pendingCR = 1;
            }
            break;
        }
    }
    return count;
}

ValNameList* RequestInfo::ParseMultiPartForm(char* contentType) {
    if (SetupInputStream() != 0) return nullptr;
    const char* marker = FindBoundaryMarker(contentType);
    // Without a boundary no part can be told apart: no parameters at all.
    if (!marker || !marker[strlen("boundary=")]) {
        CloseInputStream();
        return new ValNameList();
    }
    std::string boundary(marker + strlen("boundary="));
    std::string closing = "--" + boundary + "--";

    std::unique_ptr<ValNameList> list(new ValNameList());
    std::unique_ptr<char[]> buffer(new char[kLineBufferSize]);
    char* line = buffer.get();
    const char* b = boundary.c_str();
    const bool joinsLines = browserType == 2 && browserVersion >= 4.0;
    PartField field;
    Upload upload;
    std::string value;
    int state = kPreamble;
    pendingCR = 0;

    bool done = false;
    while (!done) {
        int length = GetFormDataLine(line, kLineLimit, &closing[0]);
        if (length == -1) break;
        line[length] = '\0';
        switch (state) {
        case kPreamble:
            if (IsBoundary(line, length, b)) state = kHeaders;
            break;
        case kHeaders:
            if (length == 2 && line[0] == '\r' && line[1] == '\n') {
                state = upload.IsOpen() ? kFile : kValue;
            } else if (!IsBoundary(line, length, b)) {
                std::unique_ptr<ValNameList> header(ParseHTTPHeader(line));
                if (!header || !header->Lookup("content-disposition")) break;
                ValNameListItem* name = header->Lookup("name");
                field.named = name && name->value;
                field.name = field.named ? name->value : "";
                std::string fileName = UploadFileName(header.get(), systemType);
                if (!fileName.empty()) {
                    if (!upload.Open(field.Get(), fileName.c_str())) {
                        CloseInputStream();
                        return nullptr;
                    }
                } else {
                    upload.Discard();
                    value.clear();
                }
            }
            break;
        case kValueAfterBreak:
            if (IsBoundary(line, length, b)) {
                list->Append(field.Get(), value.c_str());
                field = PartField();
                value.clear();
                state = kHeaders;
                break;
            }
            if (IsEndBoundary(line, length, b)) {
                list->Append(field.Get(), value.c_str());
                done = true;
                break;
            }
            // MSIE 4 and later join the lines of a text area without breaks.
            if (!joinsLines) value += "\r\n";
            [[fallthrough]];
        case kValue:
            if (EndsWithLineBreak(line, length)) {
                value.append(line, length - 2);
                state = kValueAfterBreak;
            } else {
                value.append(line, length);
                state = kValue;
            }
            break;
        case kFileAfterBreak:
            if (IsBoundary(line, length, b)) {
                upload.Finish(list.get());
                field = PartField();
                state = kHeaders;
                break;
            }
            if (IsEndBoundary(line, length, b)) {
                upload.Finish(list.get());
                done = true;
                break;
            }
            upload.Write("\r\n", 2);
            [[fallthrough]];
        case kFile:
            if (EndsWithLineBreak(line, length)) {
                upload.Write(line, length - 2);
                state = kFileAfterBreak;
            } else {
                upload.Write(line, length);
                state = kFile;
            }
            break;
        }
    }
    CloseInputStream();
    return list.release();
}

// The uploads of a request are only read while the request runs, so they are
// removed once it has been answered; otherwise every upload would stay in the
// temporary folder for good. Only files the decoder itself names are touched.
void ZaRemoveUploadFiles(RequestInfo* request) {
    if (!request || !request->params) return;
    const std::string prefix = UploadPrefix();
    for (ValNameListItem* item = request->params->head; item; item = item->next) {
        const char* path = item->extra1;
        if (path && strncmp(path, prefix.c_str(), prefix.size()) == 0 && !strchr(path + prefix.size(), '/'))
            unlink(path);
    }
}
