#include "system/log_text.h"

#include "vxrt/vx_trans.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
constexpr char MAPPED_PREFIX[] = "::ffff:";
constexpr size_t MAPPED_PREFIX_LENGTH = sizeof MAPPED_PREFIX - 1;

// Text ids of the main types 1, 2, 4, 8, 32, 64: 1..6.
int main_type_text_id(int32_t main_type)
{
    const int32_t main_types[] = {1, 2, 4, 8, 32, 64};
    for (int i = 0; i < 6; ++i) {
        if (main_types[i] == main_type)
            return i + 1;
    }
    return 0;
}
}  // namespace

std::string log_main_type_text(int32_t main_type)
{
    const int id = main_type_text_id(main_type);
    return id != 0 ? log_type_text(id) : "";
}

std::string log_type_text(int64_t id)
{
    char text[LOG_TEXT_SIZE];
    trans_get_value(id, text, sizeof text);
    return text;
}

std::string log_field_text(const char *field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

std::string log_client_address(const operation_log &entry)
{
    std::string address = log_field_text(entry.ip, sizeof entry.ip);
    if (address.compare(0, MAPPED_PREFIX_LENGTH, MAPPED_PREFIX) == 0 && address.find('.') != std::string::npos)
        return address.substr(MAPPED_PREFIX_LENGTH);
    return address.substr(0, address.find('%'));
}

std::string log_local_time(int64_t seconds, char separator)
{
    const time_t t = static_cast<time_t>(seconds);
    tm local{};
    if (localtime_r(&t, &local) == nullptr)
        local = tm{};
    // A time from the main service may lie so far ahead that its year no longer fits an int.
    const long long year = static_cast<long long>(local.tm_year) + 1900;
    char text[64];
    if (separator == 0)
        snprintf(text, sizeof text, "%4lld%02d%02d%02d%02d%02d", year, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                 local.tm_min, local.tm_sec);
    else
        snprintf(text, sizeof text, "%4lld-%02d-%02d%c%02d:%02d:%02d", year, local.tm_mon + 1, local.tm_mday, separator,
                 local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string log_csv_field(const std::string &text, bool always)
{
    if (!always && text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}
