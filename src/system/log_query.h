// The query of the log search ("/1002") and the log export ("/1003"): the keys both pages send, read
// into the 840-byte record the main service takes.
#pragma once

#include "system/log_records.h"

#include <cstddef>

constexpr size_t LOG_LANGUAGE_SIZE = 16;  // a language code of up to 15 characters

enum log_query_form {
    LOG_QUERY_SEARCH,  // times "%Y-%m-%d %H:%M:%S", channels from "chnMask", "searchNoChn", the page asked for
    LOG_QUERY_EXPORT,  // times "%Y-%m-%dT%H:%M:%S", channels from "ch", "na", page 1, sub types expanded
};

// Reads a query of `form` into *query (zeroed first) and its "language" into `language`. 0, or -1
// when a key is missing or wrong: "language", "mainType" (1..64), "subTypeArr" (1 to 100 integers, the
// first above 9), "startTime", "endTime" (whole local-time texts of the form's pattern) and
// "curPageNum" must be there; "chnMask" takes its first 64 characters. *query is then zero.
int log_read_query(const char *data, log_query_form form, log_query *query, char (&language)[LOG_LANGUAGE_SIZE]);

// The export's reading of main type 4 with a first sub type other than 10: each of the first three
// values (10 + a bit set) names up to 30 sub types of its base (101, 131, 200), bit i naming base + i.
// A value below 10 names none. The named sub types, in that order, replace the list.
void log_expand_operation_sub_types(log_query *query);

// Local time text "YYYY-mm-dd HH:MM:SS" to seconds, by `pattern` (strptime, then mktime with the
// daylight saving time left to the zone). 0, or -1 when the text does not match the pattern whole.
int log_parse_time(const char *text, const char *pattern, int64_t *seconds);
