// Shared utilities of every handler: the diagnostic log and shell runner, the operation-log record,
// the current user, the request file lock, file helpers, the MAC addresses and the chip
// identification.
#pragma once

#include "vxrt/vx_oplog.h"

#include <cstddef>
#include <cstdint>

// Appends one line "[kelp debug] <time>  <unit>:<line> in <routine>: <message>\n" to the diagnostic
// log "/mnt/nand/cgi_log.txt". The line is written with a single append, so lines of concurrent
// request processes never mix. Request text must be passed as an argument, never as the format.
// Returns 0, or -1 when the log cannot be opened or written (the line is then lost).
int cgi_log(const char *unit, int line, const char *routine, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

// Runs a fixed command text through the shell. Returns 0 when the shell ran and the command exited
// with status 0, otherwise -1. Never pass text that came from a request: use vx_spawn_wait instead.
int web_system(const char *command);

// Zeroes the record and fills main type 4, remote flag 1, the client address and the user name of
// the session cookie. 0, or -1 for a null record.
int cgi_init_log_info(operation_log *record);

// The "userName" item of the request cookie, cut to size - 1 characters. 0, or -1 when the buffer is
// null or the cookie holds no "userName" (the buffer is then "").
int get_current_username(char *buffer, size_t size);

// Exclusive lock on a file shared by request processes ("/tmp/cgilockfile"), created if missing;
// waits until the lock is free. Returns the descriptor, or -1.
int file_lock(const char *path);
void file_unlock(int fd);

constexpr size_t MAC_TEXT_SIZE = 18;  // "XX:XX:XX:XX:XX:XX" and its end

// Hardware addresses of eth0 and eth1 as "%02X:..." texts (MAC_TEXT_SIZE bytes each); an interface
// without an address gets a fixed fallback, the second one higher in its last byte. Returns 0.
int get_mac_addr(char *first, char *second);

// The whole file in a new block from __vx_malloc (release with __vx_free), its size in *length.
// Null and length 0 when the file is missing, empty or unreadable.
unsigned char *vx_get_file_data(const char *path, int *length);

// Creates or truncates the file and writes `length` bytes. 0 when all were written, else -1.
int vx_wirte_file_data(const char *path, const void *data, int length);

// 1 for the device line's own plate-recognition camera types 11 to 14, else 0.
int on_cgi_is_vx_lpr(int camera_type);

// The chip identification: the text after "Read old:" in the output of "vxchip_update -r 32" (the
// chip tool on PATH, run without a shell), cut to size - 1. 0, or 255 when it could not be read.
int get_chip_info(char *buffer, int size);

// 0 when the path exists, else -1 (also for a null or empty path).
int IsFileExisted(const char *path);
// 0 when the path itself (a final symbolic link is not followed) is a directory, else -1.
int IsDirExisted(const char *path);
// Moves `source` to `target` (rename; /bin/mv with an argument vector across file systems). 0 or -1.
int RemoveFile(const char *source, const char *target);
// Removes the file. 0 or -1.
int DeleteFile(const char *path);

// Sends a filled operation-log record (request 3485, send only) through the module's dispatcher and
// closes the exchange. The outcome never changes the handler's answer.
void cgi_send_log_record(void (*dispatcher)(void *, const void *, const void *), const operation_log *record);

// The usual operation-log record: cgi_init_log_info, then main type, sub type, parameter type and
// the channel or object number; sent as above.
void cgi_send_operation_log(void (*dispatcher)(void *, const void *, const void *), int main_type, int64_t sub_type,
                            int parameter_type, int chan_no);

// A whole decimal integer in min..max: an optional sign and digits, nothing before or after them.
// 0 with the value in *out, or -1 (out untouched) for anything else, such as "", "abc", "5x", " 5".
int web_parse_int(const char *text, long long min, long long max, int *out);
