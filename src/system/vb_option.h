// The service commands of "/vb.htm": short name=value options joined by '&' ("decode=1&hotplug=0"),
// or one of a few bare names ("softversion"). The request is split into option records, each name
// is looked up in a 64-bucket hash of HttpOptionTable, and each option's handler writes its own
// whole text answer, so a request of two options gets two answers one after the other.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int HTTP_OPTION_TEXT = 64;      // name and value each, with the terminating zero
constexpr int HTTP_OPTION_MAX = 64;       // records one request may hold
constexpr int HTTP_OPTION_SPAN = 64;      // every character of the options lies in the first 64
constexpr int HTTP_OPTION_COUNTED = 255;  // '=' characters are counted in the first 255
constexpr int HTTP_OPTION_BUCKETS = 64;
constexpr int HTTP_OPTION_NO_ARG_SLOTS = 10;

// One option of a request: its name and value, both terminated.
struct http_option {
    char name[HTTP_OPTION_TEXT];
    char value[HTTP_OPTION_TEXT];
};
static_assert(sizeof(http_option) == 128);
static_assert(offsetof(http_option, value) == 64);
static_assert(sizeof(http_option[HTTP_OPTION_MAX]) == 8192);

using http_option_handler = void (*)(const http_option *option);

// An entry of the option table; `next` chains the entries of one hash bucket.
struct http_option_entry {
    const char *name;
    http_option_handler handler;
    int32_t flags;    // read by nothing: 2 for "softversion", else 0
    int32_t enabled;  // read by nothing: 1 for every entry
    http_option_entry *next;
};

extern http_option_entry HttpOptionTable[9];
extern const char HTTP_OPTION_NO_ARG[HTTP_OPTION_NO_ARG_SLOTS][HTTP_OPTION_TEXT];

// The hash of a name: h = h * 37 + byte over its bytes, from 0, in 32 bits; its bucket is the low
// six bits.
uint32_t hash_cal_value(const char *name);
// Builds the buckets of the request with the nine entries. 0, or -1 when they cannot be allocated.
int hash_table_init();
void hash_table_destory();
void hash_insert_entry(int bucket, http_option_entry *entry);
// The entry whose name equals the record's exactly, or null.
http_option_entry *http_option_search(const http_option *record);

// 1 when `data` equals a slot of HTTP_OPTION_NO_ARG (the empty text equals an empty slot), else 0.
int is_httpoption_no_arg(const char *data);
// The number of '=' among the first 255 characters (0 for null).
int get_httpoption_argnum(const char *data);
// Splits `data` into `count` records: each a name up to '=' (or the end), then a value up to '&' (or
// the end). 0; or -1 for a count outside 1..HTTP_OPTION_MAX, a character of a name or value beyond
// the first 64 of the whole text, or a name or value longer than 63 characters.
int ui_decodeing(const char *data, http_option *records, int count);

// The options (vb_settings.cpp, vb_chip.cpp, vb_oemclean.cpp).
void on_vb_setlang(const http_option *option);
void on_vb_setdefault(const http_option *option);
void on_vb_decode(const http_option *option);
void on_vb_hotplug(const http_option *option);
void on_vb_softversion(const http_option *option);
void on_vb_oemclean(const http_option *option);
void on_vb_paratest(const http_option *option);
void on_vb_chipupdate(const http_option *option);
void on_vb_modelupdate(const http_option *option);
