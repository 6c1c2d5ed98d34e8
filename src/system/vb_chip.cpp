// "/vb.htm" options of the chip identification: read it, and replace its chip or its model part
// (layout: vxrt/vx_chip.h) through the platform's chip tool, run without a shell.
#include "link/web_answer.h"
#include "link/web_device.h"
#include "system/vb_option.h"
#include "vxrt/vx_chip.h"
#include "vxrt/vx_spawn.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr int chip_info_size = 64;
constexpr int answer_size = 64;

// The identification as the tool reads it, without its line end; false when it cannot be read or
// is no whole identification.
bool read_chip_id(char (&id)[chip_info_size])
{
    if (get_chip_info(id, sizeof id) != 0)
        return false;
    id[strcspn(id, "\r\n")] = '\0';
    return vx_chip_id_valid(id) != 0;
}

// Replaces the part at `offset` with the option's value and has the tool store the result. The value
// is checked before anything runs, so text that is no part never reaches a program.
void update_chip_part(const http_option *option, size_t offset, const char *ok, const char *ng)
{
    char id[chip_info_size];
    if (!vx_chip_part_valid(option->value) || !read_chip_id(id) || vx_chip_set_part(id, offset, option->value) != 0) {
        cgi_answer_text(ng);
        return;
    }
    const char *argv[] = {"vxchip_update", id, nullptr};
    cgi_answer_text(vx_spawn_wait(argv, "/dev/null") == 0 ? ok : ng);
}
}  // namespace

void on_vb_paratest(const http_option *option)
{
    if (strcmp(option->value, "chipinfo") != 0) {
        cgi_answer_text("Param ERROR");
        return;
    }
    char id[chip_info_size];
    if (get_chip_info(id, sizeof id) != 0) {
        cgi_answer_text("ERROR");
        return;
    }
    // The tool's line end after the 32 characters becomes a carriage return: the answer's line ends
    // in CR LF.
    if (strlen(id) > VX_CHIP_ID_LENGTH)
        id[VX_CHIP_ID_LENGTH] = '\r';
    char answer[answer_size];
    snprintf(answer, sizeof answer, "OK chipinfo=%s\n", id);
    cgi_answer_text(answer);
}

void on_vb_chipupdate(const http_option *option)
{
    update_chip_part(option, VX_CHIP_PART, "OK chipupdate", "NG chipupdate");
}

void on_vb_modelupdate(const http_option *option)
{
    update_chip_part(option, VX_MODEL_PART, "OK modelupdate", "NG modelupdate");
}
