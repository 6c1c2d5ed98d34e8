// The main-service client: one connection to the main service's socket "/var/run/vxsocket" per
// vx_sock_init ... vx_sock_uninit cycle, speaking the VXS1 framing of vxs_frame.h.
//
// The client connects on the first send, so a main service that starts late is reached by a later
// attempt. Reply frames are read by a delivery thread of the client and handed, one at a time and in
// the order they arrived, to the callback given to vx_sock_init; a client set up with
// VX_SOCK_CALLER_READS has no such thread and its caller reads them with vx_sock_receive, which saves
// the start of a thread and a hand-over between threads on every request. The callback receives a
// pointer to the 24-byte frame header (reply code at bytes 12-15, payload length at 20-23) and a pointer to the
// payload, which is never null (it points at an empty block for a zero-length payload) and is aligned
// for any record. Both pointers are valid only during the call.
//
// Promises: no callback runs after vx_sock_uninit has returned; a frame with a wrong magic, a header
// size other than 24 or a length outside 0..16 MiB closes the connection (nothing after it can be
// framed); a send-only client never hands a reply to the callback (with a delivery thread it reads
// and drops them; without one it leaves them unread until the connection closes). One client per
// process.
#pragma once

// The first argument is not used (null); the header is a vxs_header.
using vx_sock_callback = void (*)(void *unused, const void *header, const void *payload);

// Flags of vx_sock_init.
constexpr int VX_SOCK_SEND_ONLY = 1;     // requests want no reply; replies that come anyway are dropped
constexpr int VX_SOCK_CALLER_READS = 2;  // no delivery thread: replies reach the callback in vx_sock_receive

// Sets up the client for `path` (a device path, resolved through vx_path when connecting) and
// `callback`. A client still open from an earlier cycle is closed first. `reserved` and `version`
// (0 and 3 on the device) are not interpreted. `flags`: 0, VX_SOCK_SEND_ONLY or VX_SOCK_CALLER_READS.
// Nothing is connected yet. 0, or -1 for a null callback or path.
int vx_sock_init(vx_sock_callback callback, int reserved, int version, const char *path, int flags);

// Sends one request frame: connects when there is no connection yet (or the last one has failed),
// then writes the whole frame before returning. `target` (1, the main service) and `options` (0) are
// not interpreted. 0 when the frame has been handed over; -1 when the client is not set up, the
// payload is invalid, the socket is not there yet, the service does not take the connection (its
// listen queue is full: connecting never blocks) or the connection failed (the caller may retry).
int vx_sock_send_msg(int target, int code, const void *payload, int length, int options);

// As vx_sock_send_msg, but writing the frame gives up `timeout_ms` after the call (-1: no limit) when
// the service does not read it; the connection is then closed, as part of the frame may be out.
int vx_sock_send_msg_within(int code, const void *payload, int length, int timeout_ms);

// For a VX_SOCK_CALLER_READS client: waits up to `timeout_ms` for the next reply frame to begin and
// hands it to the callback on the calling thread. A frame that has begun is read whole, as long as
// the service never pauses more than 5 s within it and, with `frame_ms` >= 0, it is complete within
// `frame_ms` of the call (the caller's whole deadline, however short the wait for the beginning); a
// frame left unfinished leaves the connection out of step, so it is closed. 1 when a frame was
// delivered, 0 when none began in time, -1 when there is no connection, the connection has ended
// (closed by the service, garbled or left unfinished: the next send connects again), the client has
// a delivery thread, or when called from the callback.
int vx_sock_receive(int timeout_ms, int frame_ms = -1);

// Closes the connection and waits for the delivery thread, or for a callback in progress on another
// thread. Returns 0 (also when nothing was open), or -1 when called from the callback, where it does
// nothing.
int vx_sock_uninit();
