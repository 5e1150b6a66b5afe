// kelvane-picture-server: serves test and demo pictures on 127.0.0.1 until ended with a signal.
//   kelvane-picture-server [PORT [FOLDER]]     (prints "listening on PORT")
// With a folder, its files are served under /files/ (video clips and playlists for video sources).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "picture_server.h"

namespace {
volatile std::sig_atomic_t gStop = 0;
void Stop(int) { gStop = 1; }
}  // namespace

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 0;
    if (port < 0 || port > 65535) {
        std::fprintf(stderr, "usage: kelvane-picture-server [PORT [FOLDER]]\n");
        return 2;
    }
    picture_server::PictureServer server(static_cast<std::uint16_t>(port));
    if (!server.running()) {
        std::fprintf(stderr, "kelvane-picture-server: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    if (argc > 2) server.serveFilesFrom(argv[2]);
    std::signal(SIGINT, Stop);
    std::signal(SIGTERM, Stop);
    std::printf("listening on %u\n", unsigned(server.port()));
    std::fflush(stdout);
    while (!gStop) ::pause();
    return 0;
}
