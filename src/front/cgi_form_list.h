// The process-wide list of form entries, shared by the multipart parser and the form lookups.
#pragma once

#include "front/cgic.h"

// Appends an entry the caller built with cgi_form_entry_new(); the list owns it from then on.
void cgi_form_list_append(cgiFormEntry *entry);

// The first entry in body order, or null; walk on with `next`.
cgiFormEntry *cgi_form_list_first();

// A new entry with all texts "" and no link; null when memory runs out.
cgiFormEntry *cgi_form_entry_new();

// Frees an entry and its texts; deletes its temporary file when `delete_file` is set and it names one.
void cgi_form_entry_free(cgiFormEntry *entry, bool delete_file);
