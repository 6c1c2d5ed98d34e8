// What the simulated main service does with one request: the code is looked up in the request tables
// of the modules it serves, then in their canned replies (sim_module.h). A code found nowhere gets no
// reply, as the device ignores a request it does not know; a send-only request is carried out but
// gets no reply.
#pragma once

#include "sim_module.h"

#include <span>

// The modules nvr-sim serves, in lookup order.
std::span<const sim_module *const> sim_served_modules();

// Handles one request against `modules`.
sim_answer sim_serve(std::span<const sim_module *const> modules, sim_context &context, int32_t code, bool send_only,
                     const sim_payload &payload);

// Handles one request against sim_served_modules().
sim_answer sim_dispatch(sim_context &context, int32_t code, bool send_only, const sim_payload &payload);
