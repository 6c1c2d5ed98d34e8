// A web resource: a path name and the handler that serves it. Every module owns a static table of
// them, with the long waits of its requests and the rights its pages need; the front end registers
// the tables and dispatches each request to one handler.
#pragma once

#include "link/link_codes.h"

#include <cstdint>

using web_handler = void (*)(const char *data);

// One web resource: a path name of at most 7 characters and its handler.
struct web_res {
    char name[8];
    web_handler handler;
};
static_assert(sizeof(web_res) == 16);

// What a session must hold to reach a page while the session gate is on. `unset` is no right at all:
// a page whose module declares neither a default nor a row for it is refused to everybody.
enum class web_right : uint8_t {
    unset,
    none,        // open without a session (the sign-in screen and what it reads)
    session,     // any live session
    settings,    // a session whose account may change settings remotely ("remoteSettings")
    admin,       // an administrator's session (account type 0)
};

// A page whose right differs from its module's default: WEB_RIGHT("/6102", admin).
struct web_right_row {
    char name[8];
    web_right right;
};
#define WEB_RIGHT(name, right) web_right_row{name, web_right::right}

// A module's resource table, its long waits, and its pages' rights: the default and the exceptions.
struct web_table {
    const web_res *res;
    int count;
    const cgi_wait_table *waits;
    web_right default_right;
    const web_right_row *rights;
    int right_count;
};

// The right `name` needs in `table`: its row, else the table's default. `unset` when the table does
// not hold `name`.
web_right web_table_right(const web_table &table, const char *name);
