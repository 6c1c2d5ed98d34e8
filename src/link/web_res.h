// A web resource: a path name and the handler that serves it. Every module owns a static table of
// them, with the long waits of its requests; the front end registers the tables and dispatches each
// request to one handler.
#pragma once

#include "link/link_codes.h"

using web_handler = void (*)(const char *data);

// One web resource: a path name of at most 7 characters and its handler.
struct web_res {
    char name[8];
    web_handler handler;
};
static_assert(sizeof(web_res) == 16);

// A module's resource table and its long waits.
struct web_table {
    const web_res *res;
    int count;
    const cgi_wait_table *waits;
};
