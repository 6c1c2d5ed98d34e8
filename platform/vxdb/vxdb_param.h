// Named parameters of a configuration database (table `params`, see vxdb.h).
//
// There is one text representation: set_param_int stores the integer's decimal text, and
// get_param_int parses the stored text, so a key written as an integer reads back as text and a key
// written as decimal text reads back as an integer. Every setter creates a missing key.
#pragma once

#include <cstddef>
#include <string>

// The stored integer; `def` when the file or key is missing or the stored text is not a decimal
// integer that fits an int (surrounding white space is allowed).
int get_param_int(const char *path, const char *key, int def);

// As get_param_int, but a read that fails is told apart from a key that is missing: 0 with the stored
// integer (or `def` for a missing file, table or key, or text that is no integer) in *out; -1 when the
// database cannot be read (busy past VXDB_BUSY_TIMEOUT_MS, I/O error, not a database), *out untouched.
int get_param_int_checked(const char *path, const char *key, int def, int *out);

// Copies the stored text, or `def` when the file or key is missing ("" for a null `def`), into
// `buffer`, cut to size - 1 characters and always terminated. 0 when the stored text was copied, -1
// when the default was (nothing is written for a null buffer or a size of 0).
int get_param_value(const char *path, const char *key, char *buffer, size_t size, const char *def);

// As get_param_value, but a read that fails is told apart from a key that is missing: 0 with the
// stored text (or `def`, "" for a null `def`, when the file, table or key is missing) in `buffer`,
// cut and terminated as above; -1 when the database cannot be read (busy past VXDB_BUSY_TIMEOUT_MS,
// I/O error, not a database) or for a null buffer or a size of 0, `buffer` then untouched.
int get_param_value_checked(const char *path, const char *key, const char *def, char *buffer, size_t size);

// Store the value, creating the file, the table and the key as needed. 0, or -1 on failure.
int set_param_int(const char *path, const char *key, int value);
int set_param_value(const char *path, const char *key, const char *value);

// Non-zero when the key does NOT exist (also when the file does not), 0 when it does.
int check_param_key(const char *path, const char *key);

// Creates the key with the value. When another process created it in the meantime the value is
// stored all the same, so the check_param_key / add_param_value sequence of two concurrent callers
// never fails for the second. 0, or -1 on failure.
int add_param_value(const char *path, const char *key, const char *value);

// For tools: the stored text whole (0), or -1 when missing.
int vxdb_param_text(const char *path, const char *key, std::string *value);

// For tools: calls `visit` for every parameter in key order. The number of parameters, or -1 when the
// file cannot be read.
int vxdb_param_list(const char *path, void (*visit)(const char *key, const char *value, void *context),
                    void *context);
