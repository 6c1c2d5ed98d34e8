// The CSV rows of a log export, read from the result file the main service wrote.
#pragma once

#include <cstdio>
#include <string>

// The header line of the export.
extern const char LOG_CSV_HEADER[];

// Reads the result file (an int32 entry count, then each entry with its description) and appends
// one row per entry to *csv: number from 1, local time, main type, sub type, parameter ("N/A" when it
// has no text), user, client address, channel, description ("N/A" when empty), each followed by a
// comma, then CR LF. The description is always quoted, the other texts only when they need it. A
// negative count reads nothing; the rows stop at the end of the file. Returns the rows appended.
int log_csv_rows(FILE *result, std::string *csv);
