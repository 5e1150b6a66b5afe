#include "mpris_service.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QThread>
#include <QUrl>
#include <QVariantMap>
#include <algorithm>
#include <chrono>
#include <mutex>

#include "saver_messages.h"
#include "windows.h"

namespace music {

namespace {

constexpr const char* kService = "org.mpris.MediaPlayer2.melodrin";
constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

qlonglong Micros(double seconds) { return qlonglong(seconds * 1e6); }

QString TrackId(int item) { return QString("/org/mpris/MediaPlayer2/melodrin/track/%1").arg(item); }

}  // namespace

// What plays, shared between Melodrin's thread (which tells) and the bus's thread (which answers
// and signals); the bus's requests go to Melodrin's window as music commands.
class MprisBus : public QObject {
    Q_OBJECT
public:
    explicit MprisBus(platform::HWND window) : window_(window) {}

    void tell(const NowPlaying& now, bool seeked) {
        bool changed;
        {
            std::lock_guard lock(mutex_);
            changed = now.status != now_.status || now.item != now_.item || now.title != now_.title ||
                      now.length != now_.length;
            now_ = now;
            toldAt_ = std::chrono::steady_clock::now();
        }
        if (changed || seeked)
            QMetaObject::invokeMethod(this, [this, changed, seeked] { announce(changed, seeked); }, Qt::QueuedConnection);
    }

    // What plays, its position as of now.
    NowPlaying now() const {
        std::lock_guard lock(mutex_);
        NowPlaying now = now_;
        if (now.status == NowPlaying::Status::Playing)
            now.position += std::chrono::duration<double>(std::chrono::steady_clock::now() - toldAt_).count();
        if (now.length > 0) now.position = std::min(now.position, now.length);
        return now;
    }

    void command(platform::WPARAM command, platform::LPARAM argument = 0) {
        platform::PostMessage(window_, saver::MSG_MUSIC_COMMAND, command, argument);
    }
    void seekTo(double seconds) {
        const NowPlaying playing = now();
        if (seconds < 0) seconds = 0;
        if (playing.length > 0 && seconds > playing.length) return command(saver::kMusicNext);
        command(saver::kMusicSeek, platform::LPARAM(seconds * 1000));
    }

    static QVariantMap Metadata(const NowPlaying& now) {
        QVariantMap metadata{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(TrackId(now.item)))}};
        if (now.title.empty()) return metadata;
        metadata["xesam:title"] = QString::fromStdString(now.title);
        metadata["xesam:url"] = QUrl::fromLocalFile(QString::fromStdString(now.file)).toString();
        if (now.length > 0) metadata["mpris:length"] = Micros(now.length);
        return metadata;
    }
    static QString Status(const NowPlaying& now) {
        switch (now.status) {
        case NowPlaying::Status::Playing: return "Playing";
        case NowPlaying::Status::Paused: return "Paused";
        default: return "Stopped";
        }
    }

    bool registerOnBus() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        return bus.isConnected() && bus.registerObject(kPath, this) && bus.registerService(kService);
    }
    void leaveBus() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(kService);
        bus.unregisterObject(kPath);
    }

signals:
    void seekedTo(qlonglong position);

private:
    void announce(bool changed, bool seeked) {
        const NowPlaying playing = now();
        if (changed) {
            QDBusMessage signal = QDBusMessage::createSignal(kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
            const QVariantMap properties{{"PlaybackStatus", Status(playing)}, {"Metadata", Metadata(playing)}};
            signal << QString(kPlayerInterface) << properties << QStringList();
            QDBusConnection::sessionBus().send(signal);
        }
        if (seeked) emit seekedTo(Micros(playing.position));
    }

    const platform::HWND window_;
    mutable std::mutex mutex_;
    NowPlaying now_;
    std::chrono::steady_clock::time_point toldAt_;
};

// org.mpris.MediaPlayer2: who the player is.
class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ no)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
public:
    explicit MprisRoot(MprisBus* bus) : QDBusAbstractAdaptor(bus), bus_(bus) {}
    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return "Melodrin"; }
    QString desktopEntry() const { return "kelvane-saver"; }
    QStringList none() const { return {}; }

public slots:
    void Raise() {}
    void Quit() { bus_->command(saver::kMusicSaveAndClose); }

private:
    MprisBus* bus_;
};

// org.mpris.MediaPlayer2.Player: what plays, and the commands.
class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double Rate READ one)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(double Volume READ one)
    Q_PROPERTY(bool CanGoNext READ yes)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit MprisPlayer(MprisBus* bus) : QDBusAbstractAdaptor(bus), bus_(bus) {
        setAutoRelaySignals(false);
        QObject::connect(bus, &MprisBus::seekedTo, this, &MprisPlayer::Seeked);
    }
    QString playbackStatus() const { return MprisBus::Status(bus_->now()); }
    QVariantMap metadata() const { return MprisBus::Metadata(bus_->now()); }
    qlonglong position() const { return Micros(bus_->now().position); }
    double one() const { return 1.0; }
    bool yes() const { return true; }
    bool no() const { return false; }
    bool canSeek() const { return bus_->now().length > 0; }

public slots:
    void Next() { bus_->command(saver::kMusicNext); }
    void Previous() {}
    void Pause() { bus_->command(saver::kMusicPause); }
    void PlayPause() { bus_->command(saver::kMusicPauseResume); }
    void Stop() { bus_->command(saver::kMusicSecondCommand); }
    void Play() { bus_->command(saver::kMusicResume); }
    void Seek(qlonglong offset) { bus_->seekTo(bus_->now().position + double(offset) / 1e6); }
    void SetPosition(const QDBusObjectPath& track, qlonglong position) {
        if (track.path() == TrackId(bus_->now().item)) bus_->seekTo(double(position) / 1e6);
    }
    void OpenUri(const QString&) {}

signals:
    void Seeked(qlonglong position);

private:
    MprisBus* bus_;
};

namespace {

// Brings the bus object back to this thread and ends its own.
void EndBusThread(MprisBus& bus, QThread& thread) {
    QThread* home = QThread::currentThread();
    QMetaObject::invokeMethod(&bus, [&bus, home] { bus.moveToThread(home); }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

}  // namespace

std::unique_ptr<MprisService> MprisService::Start(platform::HWND window) {
    if (!QCoreApplication::instance()) return nullptr;  // a program without Qt's application object
    auto bus = std::make_unique<MprisBus>(window);
    new MprisRoot(bus.get());
    new MprisPlayer(bus.get());
    auto thread = std::make_unique<QThread>();
    bus->moveToThread(thread.get());
    thread->start();
    bool registered = false;
    QMetaObject::invokeMethod(bus.get(), [&] { registered = bus->registerOnBus(); }, Qt::BlockingQueuedConnection);
    if (!registered) {
        EndBusThread(*bus, *thread);
        return nullptr;
    }
    return std::unique_ptr<MprisService>(new MprisService(std::move(bus), std::move(thread)));
}

MprisService::MprisService(std::unique_ptr<MprisBus> bus, std::unique_ptr<QThread> thread)
    : bus_(std::move(bus)), thread_(std::move(thread)) {}

MprisService::~MprisService() {
    QMetaObject::invokeMethod(bus_.get(), [this] { bus_->leaveBus(); }, Qt::BlockingQueuedConnection);
    EndBusThread(*bus_, *thread_);
}

void MprisService::update(const NowPlaying& now, bool seeked) { bus_->tell(now, seeked); }

}  // namespace music

#include "mpris_service.moc"
