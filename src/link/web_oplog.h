// The operation-log record: who changed what, sent to the main service after a change.
#pragma once

#include "link/link_codes.h"
#include "vxrt/vx_oplog.h"

#include <cstddef>
#include <cstdint>

// Zeroes the record and fills main type 4, remote flag 1, the client address and the user name: that
// of the session the gate let through, else (gate off) that of the "userName" cookie. 0, or -1 for a
// null record.
int cgi_init_log_info(operation_log *record);

// The "userName" item of the request cookie, cut to size - 1 characters. 0, or -1 when the buffer is
// null or the cookie holds no "userName" (the buffer is then "").
int get_current_username(char *buffer, size_t size);

// Sends a filled operation-log record (request 3485, send only) through the module's dispatcher and
// closes the exchange. The outcome never changes the handler's answer.
void cgi_send_log_record(void (*dispatcher)(void *, const void *, const void *), const operation_log *record);

// The usual operation-log record: cgi_init_log_info, then main type, sub type, parameter type and
// the channel or object number; sent as above.
void cgi_send_operation_log(void (*dispatcher)(void *, const void *, const void *), int main_type, int64_t sub_type,
                            int parameter_type, int chan_no);

// The same, for a record kind named in a module's codes header.
void cgi_send_operation_log(void (*dispatcher)(void *, const void *, const void *), const oplog_kind &kind,
                            int chan_no);

// One change logged for every channel of `mask` (request 3509, send only): the record filled as
// cgi_send_operation_log fills it, `chan_no` as the log shows it (a channel's is channel + 1, the
// edited one), followed by the mask.
void cgi_send_operation_log_mask(void (*dispatcher)(void *, const void *, const void *), const oplog_kind &kind,
                                 int chan_no, uint64_t mask);
