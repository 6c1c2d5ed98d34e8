// What pages of every module send: the operation log. The device stores the records; here each is
// decoded into the log line, which is what a tester reads to see that a page logged its change.
#include "sim_log.h"
#include "sim_module.h"

#include "vxrt/vx_oplog.h"

#include <cinttypes>
#include <ctime>

namespace {
std::string describe_log(const operation_log &log)
{
    return sim_format(
        "main %d sub %" PRId64 " parameter %d channel %d remote %d user \"%s\" ip \"%s\" detail %d bytes",
        log.main_type, log.sub_type, log.parameter_type, log.chan_no, log.remote,
        sim_printable(log.user, sizeof log.user, 63).c_str(), sim_printable(log.ip, sizeof log.ip, 45).c_str(),
        log.size);
}

// The device keeps the record in its log (a time of 0 is the time it arrives).
std::string stored_in(sim_context &context, const operation_log &log)
{
    if (context.log == nullptr)
        return "";
    return "; logged as \"" + sim_printable(context.log->add(log, time(nullptr)).c_str(), 256, 120) + "\"";
}

void on_operation_log(sim_context &context, int32_t, const sim_payload &payload, sim_answer &answer)
{
    operation_log record;
    if (!sim_read_record(payload, &record))
        answer.note = "operation log: " + sim_short_payload(payload, sizeof record);
    else
        answer.note = "operation log: " + describe_log(record) + stored_in(context, record);
}

void on_operation_log_mask(sim_context &context, int32_t, const sim_payload &payload, sim_answer &answer)
{
    operation_log_mask record;
    if (!sim_read_record(payload, &record))
        answer.note = "operation log (channels): " + sim_short_payload(payload, sizeof record);
    else
        answer.note = "operation log: " + describe_log(record.log) +
                      sim_format(" channels 0x%016" PRIx64, record.channel_mask) + stored_in(context, record.log);
}

const sim_request link_requests[] = {
    {OPERATION_LOG, on_operation_log},
    {OPERATION_LOG_MASK, on_operation_log_mask},
};
}  // namespace

const sim_module sim_link_module = {"link", link_requests, {}};
