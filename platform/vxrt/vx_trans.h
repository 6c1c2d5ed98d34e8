// Translation of the device log's numbers into words, and the log's rule for which entries concern a
// disk.
//
// A text id is one of: 1..6 for the log's main types (1 All, 2 Event, 4 Operation, 8 Information,
// 32 Exception, 64 Debug, in that order), a sub type (10, the "all" entry of every main type, then the
// sub types of each main type) or a parameter type (900..925, which setting an operation changed).
// Only English texts are built in: any language code reads them.
#pragma once

#include <cstdint>

// Selects the language of the texts that follow. Every language falls back to English. 0, or -1 for
// a null code (English all the same).
int trans_init(const char *language);

// The text of `id` in `buffer`, cut to size - 1 characters and terminated. An id without a text
// gives "". 0 when the id has a text, -1 otherwise (also for a null buffer or a size below 1, when
// nothing is written).
int trans_get_value(int64_t id, char *buffer, int size);

// Ends the use of the texts. Returns 0.
int trans_deinit();

// 1 when the channel number of a log entry of this main type and sub type names a disk port (a
// format, a disk's settings, a disk exception or a disk found or lost), 0 when it names a camera
// channel or nothing.
int log_channo_is_disk(int main_type, int64_t sub_type);
