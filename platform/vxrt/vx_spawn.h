// Running external programs without a shell.
//
// The program and its arguments are passed as a vector to posix_spawnp, so no character of any
// argument is ever interpreted (quotes, '$', back-quotes, ';', spaces reach the program as they are).
#pragma once

// Runs argv[0] (an absolute path, or a program name looked up on PATH) with the null-terminated
// argument vector and waits for it. When `stdout_path` is given, the program's standard output goes
// to that file (a file-system path, created or truncated). Returns the program's exit status (0 to
// 255), or -1 when it could not be started or was killed by a signal.
int vx_spawn_wait(const char *const argv[], const char *stdout_path = nullptr);

// The platform's command runner for fixed command texts (never request text): runs `command`
// through /bin/sh. Returns the raw wait status as system() does, or -1.
int vx_system(const char *command);
