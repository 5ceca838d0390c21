// Files that hold secrets or a record of who did what: created with at most
// the permissions asked for whatever the process's umask, and narrowed to
// them when an older copy of the file is wider.
#ifndef ZAPRIVFILE_H
#define ZAPRIVFILE_H

#include <sys/types.h>

// open(2) of path with flags (O_CLOEXEC is added) and, for a file it
// creates, mode; an existing file whose permissions go beyond mode is
// narrowed to them. The descriptor (the caller closes it), or -1 with errno set.
int ZaOpenPrivateFile(const char* path, int flags, mode_t mode);

#endif
