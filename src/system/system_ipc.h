// The system module's reply dispatcher and its reply routines.
//
// Every request of the module's pages goes out with on_system_ipc_callback as its callback; the
// dispatcher hands each reply to the routine of its reply code with the number of whole records the
// payload holds, and the routine writes the response and sets g_callback_done last.
#pragma once

void on_system_ipc_callback(void *unused, const void *header, const void *payload);

// Reply 8504 to the e-mail link check (request 3504): one status integer, 0 for a valid link.
void on_user_login_from_mail_cb(int count, const void *payload);
