// Files shared by request processes: the request file lock, whole-file reads and writes, tests of
// existence, moves and removals. Every path is a device path (looked up under VX_ROOT).
#pragma once

// Exclusive lock on a file shared by request processes ("/tmp/cgilockfile"), created if missing;
// waits until the lock is free. Returns the descriptor, or -1.
int file_lock(const char *path);
void file_unlock(int fd);

// The whole file in a new block from __vx_malloc (release with __vx_free), its size in *length.
// Null and length 0 when the file is missing, empty or unreadable.
unsigned char *vx_get_file_data(const char *path, int *length);

// Creates or truncates the file and writes `length` bytes. 0 when all were written, else -1.
int vx_wirte_file_data(const char *path, const void *data, int length);

// 0 when the path exists, else -1 (also for a null or empty path).
int IsFileExisted(const char *path);
// 0 when the path itself (a final symbolic link is not followed) is a directory, else -1.
int IsDirExisted(const char *path);
// Moves `source` to `target` (rename; /bin/mv with an argument vector across file systems). 0 or -1.
int RemoveFile(const char *source, const char *target);
// Removes the file. 0 or -1.
int DeleteFile(const char *path);
