// Decoding of multipart/form-data bodies (form uploads): ordinary fields
// become parameters, uploaded files go to new temporary files whose path the
// parameter carries in extra1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "reqinfo.h"
#include "reqlimits.h"
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

// Descriptors of this process's kept uploads. An upload file has no name in
// any folder, so it lives exactly as long as its descriptor: until
// ZaRemoveUploadFiles or the end of the process, however that comes.
std::vector<int>& KeptUploads() {
    static std::vector<int> kept;
    return kept;
}

// A new file in the temporary folder that has no name: O_TMPFILE where the
// file system offers it, else a named file unlinked at once.
int OpenNamelessFile() {
    std::unique_ptr<char, decltype(&free)> dir(ZaGetTmpdir(), &free);
#ifdef O_TMPFILE
    int fd = open(dir.get(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
#endif
    std::string path = std::string(dir.get()) + "/zaupXXXXXX";
    fd = mkstemp(&path[0]);
    if (fd >= 0) unlink(path.c_str());
    return fd;
}

// The file of the upload under way. Its parameter is appended only when the
// part is complete, in the place the part had; an unfinished upload leaves
// neither a parameter nor a file behind. A refused upload (no session) reads
// its part and writes nothing anywhere.
class Upload {
public:
    ~Upload() { Discard(); }

    // Starts a file part; false when its file cannot be made.
    bool Open(const char* field, const char* fileName, bool accept) {
        Discard();
        active_ = true;
        if (accept) {
            fd_ = OpenNamelessFile();
            if (fd_ < 0) {
                active_ = false;
                return false;
            }
        }
        field_ = field ? field : "";
        hasField_ = field != nullptr;
        // Browsers on Windows send the whole client path.
        const char* backslash = strrchr(fileName, '\\');
        shownName_ = backslash ? backslash + 1 : fileName;
        return true;
    }

    bool IsActive() const { return active_; }

    void Write(const char* data, size_t length) {
        while (fd_ >= 0 && length > 0) {
            ssize_t n = write(fd_, data, length);
            if (n <= 0) return;
            data += n;
            length -= static_cast<size_t>(n);
        }
    }

    // Ends the part; a kept file's parameter goes to list, its descriptor to
    // the kept uploads.
    void Finish(ValNameList* list) {
        if (fd_ >= 0) {
            lseek(fd_, 0, SEEK_SET);
            std::string path = "/proc/self/fd/" + std::to_string(fd_);
            list->Append(hasField_ ? field_.c_str() : nullptr, shownName_.c_str(), path.c_str());
            KeptUploads().push_back(fd_);
            fd_ = -1;
        }
        active_ = false;
    }

    void Discard() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        active_ = false;
    }

private:
    int fd_ = -1;
    bool active_ = false;
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

// Closes the uploads that this parse kept (those after the first `from`
// kept ones), so that a refused body leaves no file behind.
void DropUploads(size_t from) {
    std::vector<int>& kept = KeptUploads();
    for (size_t i = from; i < kept.size(); ++i) close(kept[i]);
    kept.resize(from);
}

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

    const ZaRequestLimits& limits = ZaGetRequestLimits();
    const size_t keptBefore = KeptUploads().size();
    bool done = false;
    while (!done) {
        if (list->count + params->count > limits.maxParams ||
            value.size() > static_cast<size_t>(limits.maxValue)) {
            overLimit = 1;
            DropUploads(keptBefore);
            CloseInputStream();
            return nullptr;
        }
        int length = GetFormDataLine(line, kLineLimit, &closing[0]);
        if (length == -1) break;
        line[length] = '\0';
        switch (state) {
        case kPreamble:
            if (IsBoundary(line, length, b)) state = kHeaders;
            break;
        case kHeaders:
            if (length == 2 && line[0] == '\r' && line[1] == '\n') {
                state = upload.IsActive() ? kFile : kValue;
            } else if (!IsBoundary(line, length, b)) {
                std::unique_ptr<ValNameList> header(ParseHTTPHeader(line));
                if (!header || !header->Lookup("content-disposition")) break;
                ValNameListItem* name = header->Lookup("name");
                field.named = name && name->value;
                field.name = field.named ? name->value : "";
                std::string fileName = UploadFileName(header.get(), systemType);
                if (!fileName.empty()) {
                    if (!upload.Open(field.Get(), fileName.c_str(), acceptUploads != 0)) {
                        DropUploads(keptBefore);
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

// The uploads are only read while the request runs; their descriptors are
// closed once it has been answered, which removes the files.
void ZaRemoveUploadFiles(RequestInfo*) {
    for (int fd : KeptUploads()) close(fd);
    KeptUploads().clear();
}
