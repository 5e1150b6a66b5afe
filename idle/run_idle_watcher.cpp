// `kelvane-saver --idle`: the watcher as a program of its own.
#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "idle_watcher.h"
#include "idle_watcher_control.h"
#include "followed_inhibitions.h"
#include "screen_saver_inhibitions.h"
#include "trace.h"
#include "user_folders.h"

namespace idle {

namespace {

// Where programs ask that the screen stay awake: the watcher answers for
// org.freedesktop.ScreenSaver itself where nobody else does; under Plasma and GNOME, whose own
// programs answer for it, their power or session manager says.
std::unique_ptr<platform::SessionInhibitions> SessionInhibitions() {
    if (auto offered = platform::ScreenSaverInhibitions::Offer()) return offered;
    if (auto followed = platform::FollowedInhibitions::OpenPlasma()) return followed;
    if (auto followed = platform::FollowedInhibitions::OpenGnome()) return followed;
    return nullptr;
}

namespace fs = std::filesystem;

// One watcher a session: the first holds the lock (with its process id inside) for its life.
bool TakeSessionLock() {
    const fs::path lockPath = SessionLockPath();
    if (!platform::EnsureFolder(lockPath.parent_path(), fs::perms::owner_all)) return true;  // nowhere to keep it: go on
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0) return true;
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(lock);
        return false;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(lock, 0) == 0 && ::write(lock, pid.data(), pid.size()) < 0) {
        // the number is for people and the sheet; the lock is what counts
    }
    return true;  // the descriptor stays open until the program ends
}

sigset_t EndingSignals() {
    sigset_t signalSet;
    sigemptyset(&signalSet);
    sigaddset(&signalSet, SIGTERM);
    sigaddset(&signalSet, SIGINT);
    sigaddset(&signalSet, SIGHUP);
    return signalSet;
}

}  // namespace

int RunIdleWatcher(int& argc, char** argv, std::optional<std::chrono::seconds> delay) {
    // The ending signals are read in order through a descriptor; they are blocked before any
    // thread starts, so none of them takes one.
    const sigset_t ending = EndingSignals();
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    QCoreApplication application(argc, argv);
    if (!TakeSessionLock()) {
        std::fprintf(stderr, "kelvane-saver: an idle watcher runs already in this session\n");
        return 0;
    }
    std::string why;
    auto monitor = OpenSessionIdleMonitor(why);
    if (!monitor) {
        std::fprintf(stderr, "kelvane-saver: cannot watch for idle time: %s\n", why.c_str());
        return 2;
    }
    const std::chrono::seconds wait = delay.value_or(monitor->desktopDelay().value_or(kDefaultDelay));

    QProcess saver;
    saver.setProcessChannelMode(QProcess::ForwardedChannels);
    saver.setChildProcessModifier([] {
        sigset_t none;
        sigemptyset(&none);
        pthread_sigmask(SIG_SETMASK, &none, nullptr);
    });
    std::function<void()> saverEnded;
    const auto ended = [&saverEnded] {
        if (auto report = std::exchange(saverEnded, nullptr)) report();
    };
    QObject::connect(&saver, &QProcess::finished, ended);
    QObject::connect(&saver, &QProcess::errorOccurred, [&](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        std::fprintf(stderr, "kelvane-saver: the saver could not be started: %s\n", saver.errorString().toLocal8Bit().data());
        ended();
    });
    // Ends the watching, and a saver it started with it.
    const auto endWatching = [&](int status) {
        saverEnded = nullptr;
        if (saver.state() != QProcess::NotRunning) {
            saver.terminate();
            saver.waitForFinished(5000);
        }
        QCoreApplication::exit(status);
    };
    monitor->whenLost([&](const std::string& what) {
        std::fprintf(stderr, "kelvane-saver: %s went away: no idle time to watch\n", what.c_str());
        endWatching(1);
    });
    IdleWatcher watcher(std::move(monitor), SessionInhibitions(), wait,
                        [&](std::function<void()> whenEnded) {
                            saverEnded = std::move(whenEnded);
                            saver.start(QCoreApplication::applicationFilePath(), {"/s"});
                        });

    int endedBy = 0;
    const int endingSignals = ::signalfd(-1, &ending, SFD_CLOEXEC | SFD_NONBLOCK);
    QSocketNotifier signalNotifier(endingSignals, QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
        signalfd_siginfo info{};
        if (::read(endingSignals, &info, sizeof info) != sizeof info) return;
        endedBy = int(info.ssi_signo);
        endWatching(0);
    });
    watcher.start();
    const int status = QCoreApplication::exec();
    ::close(endingSignals);
    if (endedBy) {
        // Ended as asked: by the signal's own action, as whoever sent it expects.
        std::signal(endedBy, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &ending, nullptr);
        ::raise(endedBy);
    }
    return status;
}

}  // namespace idle
