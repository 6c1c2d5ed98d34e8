#include "link/web_answer.h"
#include "link/web_ipc.h"

namespace {
int write_json(int type, json_object *answer)
{
    if (answer == nullptr)
        return CGI_REPLY_UNUSABLE;
    cgi_writeback_webserver(type, json_object_to_json_string(answer));
    return CGI_REPLY_ANSWERED;
}

// A one-member object {key: value}, answered as JSON.
int answer_member(const char *key, json_object *value)
{
    json_object *answer = json_object_new_object();
    json_object_object_add(answer, key, value);
    const int done = write_json(CGI_JSON, answer);
    json_object_put(answer);
    return done;
}
}  // namespace

int cgi_answer_text(const char *text)
{
    return cgi_writeback_webserver(CGI_TEXT, text) == 0 ? CGI_REPLY_ANSWERED : CGI_REPLY_UNUSABLE;
}

int cgi_answer_json(json_object *answer)
{
    return write_json(CGI_JSON, answer);
}

int cgi_answer_json_as_text(json_object *answer)
{
    return write_json(CGI_TEXT, answer);
}

int cgi_answer_result(int count, const void *payload, const cgi_result_text *texts, size_t size, int form)
{
    int32_t result = 0;
    if (cgi_reply_result(count, payload, &result) != 0)
        return CGI_REPLY_UNUSABLE;
    for (size_t i = 0; i < size; ++i) {
        if (texts[i].result != result && texts[i].result != CGI_OTHER_RESULT)
            continue;
        if (form == CGI_JSON)
            return answer_member("status", json_object_new_string(texts[i].text));
        return cgi_answer_text(texts[i].text);
    }
    return CGI_REPLY_ANSWERED;
}

int cgi_reply_ok_error(int count, const void *payload)
{
    return cgi_reply_result_text<cgi_ok_error_texts>(count, payload);
}

int cgi_reply_status_ok_error(int count, const void *payload)
{
    return cgi_reply_result_status<cgi_ok_error_status>(count, payload);
}

int cgi_reply_result_json(int count, const void *payload)
{
    int32_t result = 0;
    if (cgi_reply_result(count, payload, &result) != 0)
        return CGI_REPLY_UNUSABLE;
    return answer_member("result", json_object_new_int(result));
}
