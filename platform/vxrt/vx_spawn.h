// Running external programs without a shell.
//
// The program and its arguments are passed as a vector to posix_spawn, so no character of any
// argument is ever interpreted (quotes, '$', back-quotes, ';', spaces reach the program as they are).
#pragma once

// Runs argv[0] (an absolute file-system path) with the null-terminated argument vector and waits for
// it. Returns the program's exit status (0 to 255), or -1 when it could not be started or was killed
// by a signal.
int vx_spawn_wait(const char *const argv[]);
