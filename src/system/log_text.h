// How the log pages show an entry's numbers and texts: the main type's text, the client address, the
// time, and the fields of the export's CSV rows.
#pragma once

#include "vxrt/vx_oplog.h"

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t LOG_TEXT_SIZE = 128;  // a translated text

// The translated text of a main type (1, 2, 4, 8, 32, 64); "" for any other value.
std::string log_main_type_text(int32_t main_type);

// The translated text of a sub type or parameter type; "" when it has none.
std::string log_type_text(int64_t id);

// The entry's client address as the pages show it: an IPv4-mapped address ("::ffff:" and a dotted
// address) without its prefix, any other address cut at its zone ('%').
std::string log_client_address(const operation_log &entry);

// A terminated text of a fixed field that may fill the field without its zero.
std::string log_field_text(const char *field, size_t size);

// The local time of `seconds` as "YYYY-mm-dd HH:MM:SS" (`separator` between date and time) or, with
// separator 0, "YYYYmmddHHMMSS".
std::string log_local_time(int64_t seconds, char separator = ' ');

// A CSV field: quoted, with every '"' doubled, when `always` or when it holds ',', '"', CR or LF;
// as it is otherwise.
std::string log_csv_field(const std::string &text, bool always = false);
