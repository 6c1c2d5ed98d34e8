#include "link/web_oplog.h"
#include "link/web_env.h"
#include "link/web_ipc.h"
#include "link/web_session.h"

#include <cstdio>

#include <cstring>

int get_current_username(char *buffer, size_t size)
{
    if (buffer == nullptr || size == 0)
        return -1;
    buffer[0] = '\0';
    const char *match = strstr(cgiCookie, "userName");
    if (match == nullptr)
        return -1;
    // The item's value starts after "userName="; a value that still holds '=' keeps what follows it.
    const char *start = match + strnlen(match, sizeof "userName=" - 1);
    size_t length = strcspn(start, ";");
    const char *equals = static_cast<const char *>(memchr(start, '=', length));
    if (equals != nullptr) {
        length -= static_cast<size_t>(equals + 1 - start);
        start = equals + 1;
    }
    if (length > size - 1)
        length = size - 1;
    memcpy(buffer, start, length);
    buffer[length] = '\0';
    return 0;
}

int cgi_init_log_info(operation_log *record)
{
    if (record == nullptr)
        return -1;
    memset(record, 0, sizeof *record);
    record->main_type = 4;
    record->remote = 1;
    // Behind the session gate the name is the session's: the cookie is whatever the client wrote.
    if (const web_session *session = web_current_session())
        snprintf(record->user, sizeof record->user, "%.*s", static_cast<int>(sizeof session->name), session->name);
    else
        get_current_username(record->user, sizeof record->user);
    strncpy(record->ip, cgiRemoteAddr, sizeof record->ip - 1);
    return 0;
}

void cgi_send_log_record(void (*dispatcher)(void *, const void *, const void *), const operation_log *record)
{
    cgi_start_ipc(dispatcher, OPERATION_LOG, sizeof *record, record, CGI_IPC_SEND_ONLY);
    cgi_stop_ipc();
}

void cgi_send_operation_log(void (*dispatcher)(void *, const void *, const void *), int main_type, int64_t sub_type,
                            int parameter_type, int chan_no)
{
    operation_log record;
    cgi_init_log_info(&record);
    record.main_type = main_type;
    record.sub_type = sub_type;
    record.parameter_type = parameter_type;
    record.chan_no = chan_no;
    cgi_send_log_record(dispatcher, &record);
}

void cgi_send_operation_log(void (*dispatcher)(void *, const void *, const void *), const oplog_kind &kind,
                            int chan_no)
{
    cgi_send_operation_log(dispatcher, kind.main_type, kind.sub_type, kind.parameter_type, chan_no);
}

void cgi_send_operation_log_mask(void (*dispatcher)(void *, const void *, const void *), const oplog_kind &kind,
                                 int chan_no, uint64_t mask)
{
    operation_log_mask record;
    cgi_init_log_info(&record.log);
    record.log.main_type = kind.main_type;
    record.log.sub_type = kind.sub_type;
    record.log.parameter_type = kind.parameter_type;
    record.log.chan_no = chan_no;
    record.channel_mask = mask;
    cgi_start_ipc(dispatcher, OPERATION_LOG_MASK, sizeof record, &record, CGI_IPC_SEND_ONLY);
    cgi_stop_ipc();
}
