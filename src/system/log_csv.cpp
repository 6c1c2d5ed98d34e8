#include "system/log_csv.h"

#include "system/log_records.h"
#include "system/log_text.h"

#include <cstdint>
#include <memory>

const char LOG_CSV_HEADER[] = "Number,Time,Main,Sub,Parameter,User,Ip,Channel,Log information,\r\n";

namespace {
void append_row(std::string *csv, int number, const log_result_entry &item)
{
    const operation_log &entry = item.entry;
    const std::string parameter = log_type_text(entry.parameter_type);
    const std::string description = log_field_text(item.description, sizeof item.description);
    *csv += std::to_string(number) + ',' + log_local_time(entry.pts) + ',';
    *csv += log_csv_field(log_main_type_text(entry.main_type)) + ',';
    *csv += log_csv_field(log_type_text(entry.sub_type)) + ',';
    *csv += log_csv_field(parameter.empty() ? "N/A" : parameter) + ',';
    *csv += log_csv_field(log_field_text(entry.user, sizeof entry.user)) + ',';
    *csv += log_csv_field(log_client_address(entry)) + ',';
    *csv += std::to_string(entry.chan_no) + ',';
    *csv += log_csv_field(description.empty() ? "N/A" : description, true) + ",\r\n";
}
}  // namespace

int log_csv_rows(FILE *result, std::string *csv)
{
    int32_t count = 0;
    if (result == nullptr || fread(&count, sizeof count, 1, result) != 1)
        return 0;
    auto item = std::make_unique<log_result_entry>();
    int rows = 0;
    while (rows < count && fread(item.get(), sizeof *item, 1, result) == 1)
        append_row(csv, ++rows, *item);
    return rows;
}
