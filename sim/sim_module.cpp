#include "sim_module.h"

#include <cstdarg>
#include <cstdio>

std::string sim_format(const char *pattern, ...)
{
    char text[512];
    va_list args;
    va_start(args, pattern);
    vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

std::string sim_short_payload(const sim_payload &payload, size_t needed)
{
    return sim_format("payload of %zu bytes, %zu needed", payload.size(), needed);
}

void sim_reply_bytes(sim_answer &answer, int32_t reply_code, const void *data, size_t size)
{
    answer.reply = true;
    answer.code = reply_code;
    if (size > 0)  // an empty canned reply may carry no pointer at all
        answer.payload.assign(static_cast<const char *>(data), size);
}

void sim_reply_int(sim_answer &answer, int32_t request, int32_t value)
{
    sim_reply_bytes(answer, reply_of(request), &value, sizeof value);
}
