// Opening files that must not be readable or writable by other users.
#include "zaprivfile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int ZaOpenPrivateFile(const char* path, int flags, mode_t mode) {
    int fd = open(path, flags | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    struct stat st;
    // The umask only ever narrows what open grants; an older file may be wider.
    if (fstat(fd, &st) != 0 || ((st.st_mode & 07777 & ~mode) != 0 && fchmod(fd, st.st_mode & mode) != 0)) {
        int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}
