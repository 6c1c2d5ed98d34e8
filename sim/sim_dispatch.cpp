#include "sim_dispatch.h"

namespace {
// A module's file adds its rows; a new module adds its line here and its declaration in sim_module.h.
const sim_module *const served_modules[] = {
    &sim_storage_module,
    &sim_system_module,
    &sim_video_module,
    &sim_link_module,
};

const sim_request *find_request(std::span<const sim_module *const> modules, int32_t code)
{
    for (const sim_module *module : modules)
        for (const sim_request &row : module->requests)
            if (row.code == code)
                return &row;
    return nullptr;
}

const sim_canned *find_canned(std::span<const sim_module *const> modules, int32_t code)
{
    for (const sim_module *module : modules)
        for (const sim_canned &row : module->canned)
            if (row.request == code)
                return &row;
    return nullptr;
}
}  // namespace

std::span<const sim_module *const> sim_served_modules()
{
    return served_modules;
}

sim_answer sim_serve(std::span<const sim_module *const> modules, sim_context &context, int32_t code, bool send_only,
                     const sim_payload &payload)
{
    sim_answer answer;
    if (const sim_request *row = find_request(modules, code)) {
        row->routine(context, code, payload, answer);
    } else if (const sim_canned *row = find_canned(modules, code)) {
        sim_reply_bytes(answer, row->reply, row->payload.data, row->payload.size);
        answer.note = sim_format("canned reply %d: %zu bytes", row->reply, row->payload.size);
    } else {
        answer.note = "unknown code: no reply";
        return answer;
    }
    answer.known = true;
    if (send_only && answer.reply) {
        answer.reply = false;
        answer.note += " (send-only: no reply)";
    }
    return answer;
}

sim_answer sim_dispatch(sim_context &context, int32_t code, bool send_only, const sim_payload &payload)
{
    return sim_serve(served_modules, context, code, send_only, payload);
}
