// The main service's own reply time, without a request process: connects to its socket the way one
// request does (a fresh connection each time), sends the disk list request 3433 and reads the reply.
//
//   sim-reply RUNS SOCKET_PATH [TIMES_FILE]     (TIMES_FILE: each time in microseconds appended)
#include "vxsocket/vxs_frame.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: %s RUNS SOCKET_PATH [TIMES_FILE]\n", argv[0]);
        return 2;
    }
    int runs = atoi(argv[1]);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (runs <= 0 || strlen(argv[2]) >= sizeof address.sun_path)
        return 2;
    memcpy(address.sun_path, argv[2], strlen(argv[2]) + 1);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        auto start = std::chrono::steady_clock::now();
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            perror("connect");
            return 1;
        }
        vxs_header header{};
        std::vector<unsigned char> payload;
        if (vxs_write_frame(fd, static_cast<uint32_t>(run + 1), 3433, 0, nullptr, 0) != 0 ||
            vxs_read_frame(fd, &header, &payload) != 0 || header.code != 8433) {
            fprintf(stderr, "no disk list from the main service\n");
            return 1;
        }
        close(fd);
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    if (argc == 4) {
        FILE *file = fopen(argv[3], "a");
        if (file == nullptr) {
            perror(argv[3]);
            return 1;
        }
        for (double t : times)
            fprintf(file, "%.0f\n", t);
        fclose(file);
    }
    std::sort(times.begin(), times.end());
    printf("runs %d median_us %.0f p95_us %.0f\n", runs, times[times.size() / 2],
           times[std::min(times.size() - 1, times.size() * 95 / 100)]);
    return 0;
}
