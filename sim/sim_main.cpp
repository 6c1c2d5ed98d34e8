// nvr-sim: the simulated main service. Listens on the main-service socket under VX_ROOT, answers the
// requests of the disk and account pages from a simulated device, and seeds the configuration
// database on first start. See sim/README.md.
#include "sim_dispatch.h"
#include "sim_log.h"
#include "sim_md5.h"
#include "sim_seed.h"
#include "sim_server.h"

#include "vxdb/vxdb.h"
#include "vxrt/vx_path.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

namespace {
constexpr size_t PASSWORD_LENGTH = 12;
constexpr size_t MAIL_TOKEN_LENGTH = 16;

struct options {
    std::string root;  // empty: VX_ROOT as the environment has it
    std::string log_file;
    bool seed_given = false;
    uint64_t seed = 0;
    int reply_delay_ms = 0;
    std::string ready_file;
    sim_timing timing;
};

int usage()
{
    fputs("usage: nvr-sim [--root DIR] [--log FILE] [--seed N] [--reply-delay-ms N] [--ready-file PATH]\n"
          "               [--format-ms N] [--rebuild-ms N]\n",
          stderr);
    return 2;
}

bool parse_number(const char *text, long long low, long long high, long long *value)
{
    char *end = nullptr;
    errno = 0;
    long long n = strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n < low || n > high)
        return false;
    *value = n;
    return true;
}

bool parse_options(int argc, char **argv, options *opts)
{
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (i + 1 >= argc)
            return false;
        const char *value = argv[++i];
        long long n = 0;
        constexpr long long max_ms = 24LL * 3600 * 1000;
        if (name == "--root") {
            opts->root = value;
        } else if (name == "--log") {
            opts->log_file = value;
        } else if (name == "--ready-file") {
            opts->ready_file = value;
        } else if (name == "--seed" && parse_number(value, 0, INT64_MAX, &n)) {
            opts->seed_given = true;
            opts->seed = static_cast<uint64_t>(n);
        } else if (name == "--reply-delay-ms" && parse_number(value, 0, max_ms, &n)) {
            opts->reply_delay_ms = static_cast<int>(n);
        } else if (name == "--format-ms" && parse_number(value, 0, max_ms, &n)) {
            opts->timing.format_ms = static_cast<int>(n);
        } else if (name == "--rebuild-ms" && parse_number(value, 1, max_ms, &n)) {
            opts->timing.rebuild_ms = static_cast<int>(n);
        } else {
            return false;
        }
    }
    return true;
}

// Lines for whoever started the simulator (a person or a script): flushed at once.
void say(const char *label, const std::string &value)
{
    printf("%s: %s\n", label, value.c_str());
    fflush(stdout);
}

// Written under another name first, so a reader never sees half a file.
int write_ready_file(const std::string &path)
{
    std::string temporary = path + ".tmp";
    FILE *file = fopen(temporary.c_str(), "we");
    if (file == nullptr)
        return -1;
    fprintf(file, "%ld\n", static_cast<long>(getpid()));
    if (fclose(file) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return -1;
    }
    return 0;
}

uint64_t state_seed(const options &opts)
{
    if (opts.seed_given)
        return opts.seed;
    std::random_device device;
    return (static_cast<uint64_t>(device()) << 32) ^ device();
}

// The token a valid e-mail link carries: reproducible with --seed, unguessable without.
std::string mail_token(const options &opts)
{
    if (!opts.seed_given)
        return sim_random_text(MAIL_TOKEN_LENGTH);
    std::mt19937_64 random(opts.seed ^ 0x6d61696c6c696e6bULL);
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (size_t i = 0; i < MAIL_TOKEN_LENGTH; ++i)
        token += digits[random() % 16];
    return token;
}
}  // namespace

int main(int argc, char **argv)
{
    options opts;
    if (!parse_options(argc, argv, &opts))
        return usage();
    if (!opts.root.empty()) {
        std::error_code error;
        std::filesystem::create_directories(opts.root, error);
        std::string root = std::filesystem::absolute(opts.root, error).string();
        setenv("VX_ROOT", root.c_str(), 1);
    }
    if (sim_log_open(opts.log_file) != 0) {
        fprintf(stderr, "nvr-sim: cannot open the log %s: %s\n", opts.log_file.c_str(), strerror(errno));
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);

    // Block the stop signals before any thread exists, so that only the signalfd receives them. A
    // shell starts background jobs with SIGINT ignored; a stop asked for by kill -INT still counts.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
    int stop_fd = signalfd(-1, &stop_signals, SFD_CLOEXEC);
    if (stop_fd < 0) {
        fprintf(stderr, "nvr-sim: signalfd: %s\n", strerror(errno));
        return 1;
    }

    const char *root = getenv("VX_ROOT");
    sim_log("nvr-sim starting, VX_ROOT=%s", (root != nullptr && *root != '\0') ? root : "(none: device paths)");
    std::error_code ignored;
    for (const char *dir : {"/tmp", "/mnt/nand/app", "/var/run"})
        std::filesystem::create_directories(vx_path(dir), ignored);

    std::string password = sim_random_text(PASSWORD_LENGTH);
    if (password.empty()) {
        fprintf(stderr, "nvr-sim: cannot read /dev/urandom\n");
        return 1;
    }
    int seeded = sim_seed_database(password);
    if (seeded < 0) {
        fprintf(stderr, "nvr-sim: cannot write the configuration database %s\n", vx_path(VXDB_MAIN_DB).c_str());
        return 1;
    }
    if (seeded > 0) {
        say("admin password", password);
        say("admin md5", sim_md5_hex(password));
        sim_log("configuration database seeded: account admin, device parameters, network disk on port %d",
                SIM_SEEDED_NAS_PORT);
    } else {
        sim_log("configuration database has accounts: left as it is");
    }
    if (sim_seed_factory_mac() > 0)
        sim_log("factory hardware address %s written", SIM_FACTORY_MAC);

    uint64_t seed = state_seed(opts);
    sim_device device(seed, opts.timing);
    sim_context context;
    context.device = &device;
    context.mail_token = mail_token(opts);
    sim_log_store device_log(time(nullptr));
    context.log = &device_log;
    say("mail link token", context.mail_token);
    sim_log("device state seed %llu; format %d ms, rebuild %d ms, reply delay %d ms",
            static_cast<unsigned long long>(seed), opts.timing.format_ms, opts.timing.rebuild_ms, opts.reply_delay_ms);

    sim_server server(context, opts.reply_delay_ms);
    std::string socket_file = vx_path("/var/run/vxsocket");
    std::string error;
    if (server.listen(socket_file, &error) != 0) {
        fprintf(stderr, "nvr-sim: %s\n", error.c_str());
        return 1;
    }
    sim_log("listening on %s", socket_file.c_str());
    if (!opts.ready_file.empty() && write_ready_file(opts.ready_file) != 0) {
        fprintf(stderr, "nvr-sim: cannot write %s\n", opts.ready_file.c_str());
        return 1;
    }
    puts("ready");
    fflush(stdout);

    server.run(stop_fd);
    signalfd_siginfo info{};
    if (read(stop_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        sim_log("signal %u: stopping", info.ssi_signo);
    server.stop();
    if (!opts.ready_file.empty())
        unlink(opts.ready_file.c_str());
    close(stop_fd);
    vxdb_close_all();
    sim_log("stopped");
    sim_log_close();
    return 0;
}
