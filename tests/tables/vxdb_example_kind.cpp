// Registers the example record kind in the test programs (the test CGI program and vxdb-test).
#include "vxdb_example_kind.h"

VXDB_REGISTER_KIND(example_kind);
