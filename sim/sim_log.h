// The simulator's log: one line per event, with the time, to a file or to standard error. Lines of
// concurrent connections never mix (one write per line under a mutex).
#pragma once

#include <cstdio>
#include <string>

// Opens `path` for appending, or uses standard error for an empty path. 0, or -1 when the file
// cannot be opened.
int sim_log_open(const std::string &path);
void sim_log_close();

// Writes "YYYY-mm-dd HH:MM:SS.mmm " and the formatted text as one line.
void sim_log(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Text from a request made fit for one log line: printable ASCII kept, anything else as \xNN,
// cut at the first NUL and at `limit` characters ("..." marks the cut).
std::string sim_printable(const char *text, size_t size, size_t limit = 80);
