// The registry of web resources: which handler serves which path name.
//
// Every module owns a static table of web resources. Before main runs the tables are registered in
// the fixed module order (module_tables.cpp); after main returns they are unregistered in reverse.
// The registry copies records by value into 512 slots and dispatches a path name to the handler of
// the lowest in-use slot that carries exactly that name.
#pragma once

#include "link/web_res.h"

constexpr int MAX_WEBREQ_COUNT = 512;

// Adds `count` records of `table`. 0, or -1 for a null table, a count below 1, or when the registered
// count plus `count` would reach MAX_WEBREQ_COUNT (the whole table is then refused and logged).
int WebResRegister(const web_res *table, int count);

// Frees every in-use slot whose name equals the name of any of the `count` records. 0, or -1 for a
// null table or a count below 1.
int WebResUnregister(const web_res *table, int count);

// The in-use slot record of the lowest index named `name`, or null.
const web_res *FindWebRes(const char *name);

// Runs the handler registered for `name` with `data`; does nothing for a null or unknown name.
void DispatchWebReq(const char *name, const char *data);

// The right the session gate asks for `name`, from the module tables (module_tables.cpp): the
// module's row for it or its default; `unset` for a name no module table holds.
web_right WebResRight(const char *name);

// Inspection: the number of slots in use, and the record of slot `index` (null when free).
int WebResCount();
const web_res *WebResSlot(int index);
