// The diagnostic log and the runner of fixed shell commands.
#pragma once

// Appends one line "[kelp debug] <time>  <unit>:<line> in <routine>: <message>\n" to the diagnostic
// log "/mnt/nand/cgi_log.txt". The line is written with a single append, so lines of concurrent
// request processes never mix. Request text must be passed as an argument, never as the format.
// Returns 0, or -1 when the log cannot be opened or written (the line is then lost).
int cgi_log(const char *unit, int line, const char *routine, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

// Runs a fixed command text through the shell. Returns 0 when the shell ran and the command exited
// with status 0, otherwise -1. Never pass text that came from a request: use vx_spawn_wait instead.
int web_system(const char *command);
