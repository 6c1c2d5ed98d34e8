// The exchange with the main service, and the writers of the one HTTP response a request gets.
//
// A handler sends one request and waits for its reply; cgi_exchange (link/web_request.h) does it in
// one call:
//
//     cgi_start_ipc(on_storage_ipc_callback, DISK_LIST, 0, nullptr, CGI_IPC_WAIT);
//     if (g_callback_done == 0)
//         cgi_error_to_webserver(1);    // no reply handled: the handler answers the error form
//     cgi_stop_ipc();
//
// The handler's thread reads the reply itself while it waits and hands it to the module's dispatcher
// (no thread is started for an exchange; a stream's replies come on the socket client's delivery
// thread). Only a reply the request can have reaches the dispatcher: its rule's code (request + 5000)
// or one its module lists (cgi_reply_rule); any other frame is dropped and logged, so a stray reply
// to another request can never answer this one. The dispatcher (cgi_dispatch_reply) picks the reply
// routine by reply code, the routine
// writes the response, and the dispatcher stores what it returns in g_callback_done. The wait ends as
// soon as the flag is set, when a reply was unusable (cgi_end_wait: the flag stays 0), when the main
// service has closed the connection (no reply can come), or when the time-out of the request code
// has passed (cgi_ipc_poll_count x 40 ms; VX_IPC_TIMEOUT_MS, when set, caps every wait and the whole
// send-retry period of one exchange). Every wait keeps to its deadline: connecting never blocks (a
// service that does not accept is a failed attempt), a frame the service does not read gives up at the
// end of the send-retry period, and a reply sent in slow pieces must be whole by the reply's deadline.
//
// One request, one response. Once a wait has ended, with or without the reply, no further reply of
// that exchange reaches the callback: a reply that is being handled when the time-out strikes is
// handled completely before the wait gives up, and a reply after that is dropped. So the handler's
// error answer and a late reply can never both be written. A handler that must go on receiving a
// stream of replies after its wait (the recording export) uses cgi_start_ipc_stream instead.
//
// Callbacks run with the exchange's lock held: they must not call cgi_start_ipc, cgi_start_ipc_stream
// or cgi_stop_ipc (those return -1 there).
#pragma once

#include "link/link_codes.h"

#include <atomic>

// The reply callback (a module's dispatcher): unused first argument, the 24-byte frame header, the
// payload (never null from the client; a dispatcher still returns at once for a null payload).
using cgi_ipc_callback = void (*)(void *unused, const void *header, const void *payload);

// Completion flag: 0 no reply handled yet, 1 handled, 2 handled and failed, other values a status of
// the reply. Cleared by cgi_start_ipc; the dispatcher sets it from what the reply routine returns. Setting it from a reply routine
// ends the wait at once. Another thread uses cgi_set_callback_done; a wait sees it within 40 ms.
extern std::atomic<int> g_callback_done;

constexpr int CGI_IPC_WAIT = 0;
constexpr int CGI_IPC_SEND_ONLY = 1;

// Sends request `code` with `length` bytes of `payload` (null allowed when `length` is 0). `flag` 1:
// send only, return after the send (replies are dropped, g_callback_done stays 0); any other value:
// wait for the reply as the top of this file describes. The send is tried up to 3000 times, 10 ms apart, while the socket cannot
// be reached; when it never went out there is no wait. Returns -1 for a null callback (nothing sent),
// otherwise 0: the outcome is in g_callback_done and in what the callback wrote.
int cgi_start_ipc(cgi_ipc_callback callback, int code, int length, const void *payload, int flag);

// As cgi_start_ipc with a wait, but replies keep reaching `callback` after the wait has ended, until
// cgi_stop_ipc. For handlers that consume a stream of replies (the recording export): such a handler
// decides itself when the stream is over and writes its own response.
int cgi_start_ipc_stream(cgi_ipc_callback callback, int code, int length, const void *payload);

// Stops delivering replies and closes the client; a reply routine in progress completes first, and
// none runs after the return. Every cgi_start_ipc is followed by one. Returns 0 (-1 in a callback).
int cgi_stop_ipc();

// Sets g_callback_done from a thread other than the one running reply routines, waking a stream's wait
// at once and an exchange's within one 40 ms poll.
void cgi_set_callback_done(int value);

// Ends the current wait without an answer: the reply was of an expected code but unusable, and the
// handler answers its error form now instead of after its time-out. For reply dispatchers.
void cgi_end_wait();

// Number of 40 ms polls a reply to request `code` is waited for: the polls of its module's long-wait
// rule, 1000 for a code no module lists.
int cgi_ipc_poll_count(int code);

// True when `reply` is a reply code request `request` can have: request + 5000, or a rule of a
// registered table.
bool cgi_reply_expected(int request, int reply);

// Adds a module's long waits and reply rules (front/module_tables.cpp, before main). 0, or -1 when the
// table is null or no room for another module's table is left.
int cgi_register_waits(const cgi_wait_table *waits);

// The reply code (bytes 12-15) and the payload length (bytes 20-23) of a delivered frame header.
int cgi_reply_code(const void *header);
int cgi_reply_length(const void *header);

// --- Response writers. Each writes one whole response to standard output and flushes it; the
// --- writes of two threads never interleave.

// type 0: "Content-type: text/plain\r\n\r\n", 1: "Content-type: application/json\r\n\r\n", other: no
// header; then `text` as it is. 0, or -1 for a null text (nothing written).
int cgi_writeback_webserver(int type, const char *text);

// type 0: "CGI ERROR" as text; 1: {status:"CGI ERROR"} as JSON (the key is unquoted, as the pages
// expect); other types write nothing. Returns 0.
int cgi_error_to_webserver(int type);

// Text "CGI ERROR status:[n]" for a negative status, else "CGI OK status:[n]", followed by
// ", data:[text]" when `data` is not null, all cut to 255 characters; sets g_callback_done to 1.
// `count` is not used.
void on_cgi_common_text_cb(int count, int status, const char *data);

// The reply routine of replies that carry one status integer: with count > 0 and a payload, writes
// the JSON object { "status": n } and returns 1 (answered); otherwise writes nothing and returns 0.
int on_cgi_common_json_cb(int count, const void *payload);
