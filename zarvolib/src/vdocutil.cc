// Sending files to the browser and handing out private copies of them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "reqinfo.h"
#include "stringutil.h"
#include "textsupport.h"
#include "zaconfigDB.h"
#include "zaerror.h"
#include "zafile.h"
#include "zastyle.h"

namespace {

constexpr int kBlockSize = 16384;

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;
using Buffer = OwnedText;

// The type a browser should be told: the caller's, else the configured type
// of the name's extension. Without a configuration or an answer from it,
// plain text (what the configuration gives unknown extensions too).
Buffer ContentType(const char* name, ZaConfigDB* config, const char* mimeType) {
    if (mimeType) return Buffer(strdup(mimeType));
    if (!config) return Buffer(strdup("text/plain"));
    Buffer extension(StringFindExtension(name));
    Buffer type(config->FindMimeType(extension.get()));
    return type ? std::move(type) : Buffer(strdup("text/plain"));
}

void SendBody(RequestInfo* out, FILE* file, const char* path, char* block) {
    if (ZaGetFileSize(path) == 0) {
        // Browsers treat a response without body bytes as a failed download.
        out->Write("\n");
        return;
    }
    int got = 0;
    while (ZaReadFileIntoBuf(file, block, kBlockSize, &got) == ZaTrue) out->WriteBinary(block, got);
}

}  // namespace

char* ZaGetFilePath(const char* path) {
    if (!path) return nullptr;
    char* copy = ZaGetTmpFileName();
    if (!copy) return nullptr;
    if (ZaFileCopy(path, copy) != ZaTrue) {
        ZaRemoveFile(copy);
        free(copy);
        return nullptr;
    }
    return copy;
}

int ZaStreamFile(RequestInfo* out, const char* name, const char* path, ZaConfigDB* config,
                 const char* mimeType) {
    if (!path) return 0;
    FileHandle file(fopen(path, "rb"));
    if (!file) return 0;
    Buffer block(static_cast<char*>(malloc(kBlockSize)));
    if (!block) return 0;
    try {
        Buffer type = ContentType(name, config, mimeType);
        out->WriteHeader("Content-type", type.get());
        out->SetStatus(200, "OK");
        out->WriteHeader("Content-disposition", (std::string("filename=") + (name ? name : "")).c_str());
        out->WriteHeader("", "");
        SendBody(out, file.get(), path, block.get());
    } catch (ZaError* error) {
        // The guards free the buffers and close the file on the way out.
        error->AddLine(__LINE__, "zarvolib/src/vdocutil", "Error streaming the file", ZaFalse);
        throw;
    }
    return 1;
}
