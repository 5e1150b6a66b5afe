#include "audio_page.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>

#include "message_box.h"
#include "programs.h"
#include "saver_messages.h"
#include "windows.h"

namespace config {

using namespace platform;

namespace {

// Where the music player's makers say how to get it.
constexpr const char* kPlayerInfoPage = "http://www.vessory.example/player.htm";
constexpr WPARAM kMusicCanPlay = 1, kMusicClose = 98;
constexpr LRESULT kMusicPlayerReady = 10;

// The formats the music companion plays, as the file dialog's filters. MIDI files are not
// offered: its player has no synthesizer to play them with.
QStringList MusicFilters() {
    return {"All Formats (*.mp3 *.m3u *.wma *.wax *.wav *.aif *.aifc *.aiff *.au *.snd *.ogg *.oga "
            "*.opus *.flac *.m4a *.aac)",
            "MP3 (*.mp3 *.m3u)",
            "Windows Media (*.wma *.wax)",
            "Audio (*.wav)",
            "AIFF (*.aif *.aifc *.aiff)",
            "AU (*.au *.snd)",
            "Ogg, Opus, FLAC and AAC (*.ogg *.oga *.opus *.flac *.m4a *.aac)"};
}

}  // namespace

bool DetectMusicPlayer() {
    WinExec("MelodrinWC", SW_HIDE);
    const HWND player = FindWindow(nullptr, saver::kMusicWindowTitle);
    if (!player) return false;
    const bool ready = SendMessage(player, saver::MSG_MUSIC_COMMAND, kMusicCanPlay, 0) == kMusicPlayerReady;
    SendMessage(player, saver::MSG_MUSIC_COMMAND, kMusicClose, 0);
    return ready;
}

CBackgroundPP::CBackgroundPP(saver::SaverSettings& live, SheetServices services,
                             std::function<int(const std::string&)> opener, std::function<bool()> detectPlayer)
    : SheetPage("Audio", std::move(services)),
      live_(live),
      opener_(std::move(opener)),
      detectPlayer_(std::move(detectPlayer)) {
    auto* layout = new QGridLayout(this);
    layout->addWidget(IntroText("Audio can be played while the screen saver is running."), 0, 0, 1, 4);
    noAudio_ = CheckBox("No Audio", "1080");
    playMode_ = std::make_unique<RadioChoice>(
        std::vector<QRadioButton*>{RadioButton("Play Audio CD", "1123"), RadioButton("Play File List", "1124")});
    resume_ = CheckBox("Resume song where last stopped.", "1125");
    layout->addWidget(noAudio_, 1, 0);
    layout->addWidget(playMode_->buttons()[0], 1, 1);
    layout->addWidget(playMode_->buttons()[1], 1, 2);
    layout->addWidget(resume_, 2, 0, 1, 3);
    listLabel_ = Label("Music File List:", "1085");
    list_ = new QListWidget;
    list_->setObjectName("1079");
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(listLabel_, 3, 0, 1, 3);
    layout->addWidget(list_, 4, 0, 5, 3);
    add_ = PushButton("Add Music", "1081");
    remove_ = PushButton("Remove Selected", "1082");
    removeAll_ = PushButton("Remove All", "1083");
    orderLabel_ = Label("Change File Order:", "1132");
    moveUp_ = PushButton("Move Up", "1130");
    moveDown_ = PushButton("Move Down", "1131");
    int row = 4;
    for (QWidget* widget : std::initializer_list<QWidget*>{add_, remove_, removeAll_, orderLabel_, moveUp_, moveDown_})
        layout->addWidget(widget, row++, 3);
    notDetected_ = Label("Microsoft Windows Media Player not detected.", "1126");
    notDetectedHelp_ = Label("Background music requires Windows Media Player to be installed on your system.  For "
                             "information on how to download your FREE copy of Windows Media Player click on the button below.",
                             "1128");
    notDetectedHelp_->setWordWrap(true);
    getInfo_ = PushButton("Get Info", "1127");
    layout->addWidget(notDetected_, 10, 0, 1, 4);
    layout->addWidget(notDetectedHelp_, 11, 0, 1, 4);
    layout->addWidget(getInfo_, 12, 0);
    layout->setColumnStretch(2, 1);

    const auto changed = [this] {
        SetModified();
        UpdateAudioControls();
    };
    QObject::connect(noAudio_, &QCheckBox::clicked, this, changed);
    QObject::connect(resume_, &QCheckBox::clicked, this, changed);
    playMode_->onClicked(changed);
    QObject::connect(add_, &QPushButton::clicked, this, [this] { AddMusicFiles(); });
    QObject::connect(remove_, &QPushButton::clicked, this, [this] { RemoveSelected(); });
    QObject::connect(removeAll_, &QPushButton::clicked, this, [this] { RemoveAll(); });
    QObject::connect(moveUp_, &QPushButton::clicked, this, [this] { Move(true); });
    QObject::connect(moveDown_, &QPushButton::clicked, this, [this] { Move(false); });
    QObject::connect(getInfo_, &QPushButton::clicked, this, [this] { opener_(kPlayerInfoPage); });
    QObject::connect(list_, &QListWidget::currentRowChanged, this, [this] { UpdateAudioControls(); });
}

void CBackgroundPP::SettingsToPage(const saver::SaverSettings& settings) {
    noAudio_->setChecked(settings.NoMidiSound != 0);
    resume_->setChecked(settings.Resume != 0);
    playMode_->setValue(settings.NotUseCD != 0 ? 1 : 0);
    music_.Load(settings.MidiFiles);
    currentFile_ = settings.MidiCurrentFile;
}

void CBackgroundPP::SettingsFromPage(saver::SaverSettings& settings) {
    settings.NoMidiSound = noAudio_->isChecked() ? 1 : 0;
    settings.Resume = resume_->isChecked() ? 1 : 0;
    settings.NotUseCD = playMode_->value();
    settings.MidiFiles = music_.Text();
    settings.MidiCurrentFile = currentFile_;
    settings.MidiLastDir = live_.MidiLastDir;
}

void CBackgroundPP::Initialise() {
    ShowList(-1);
    UpdateAudioControls();
    BeginUserChanges();
}

void CBackgroundPP::showEvent(QShowEvent* event) {
    SheetPage::showEvent(event);
    if (lookedForPlayer_) return;
    lookedForPlayer_ = true;
    detected_ = detectPlayer_ && detectPlayer_();
    UpdateAudioControls();
}

int CBackgroundPP::selectedRow() const { return list_->currentRow(); }

void CBackgroundPP::ShowList(int selected) {
    const QSignalBlocker quiet(list_);
    list_->clear();
    for (const std::string& entry : music_.entries()) list_->addItem(QString::fromStdString(entry));
    list_->setCurrentRow(selected);
}

void CBackgroundPP::UpdateAudioControls() {
    noAudio_->setEnabled(true);
    for (QWidget* widget : std::initializer_list<QWidget*>{notDetected_, notDetectedHelp_, getInfo_})
        widget->setVisible(!detected_);
    const std::initializer_list<QWidget*> listControls = {listLabel_, list_, add_, remove_, removeAll_,
                                                          moveUp_,    moveDown_, orderLabel_};
    if (!detected_) {
        noAudio_->setEnabled(false);
        for (QWidget* widget : listControls) widget->setEnabled(false);
        for (QWidget* widget : std::initializer_list<QWidget*>{playMode_->buttons()[0], playMode_->buttons()[1], resume_})
            widget->setEnabled(false);
        return;
    }
    const bool audio = !noAudio_->isChecked();
    for (QWidget* widget : listControls) widget->setEnabled(audio);
    for (QWidget* widget : std::initializer_list<QWidget*>{playMode_->buttons()[0], playMode_->buttons()[1], resume_})
        widget->setEnabled(audio);
    if (audio) {
        moveUp_->setEnabled(selectedRow() >= 0);
        moveDown_->setEnabled(selectedRow() >= 0);
    }
    if (playMode_->value() == 0)
        for (QWidget* widget : listControls) widget->setEnabled(false);
}

void CBackgroundPP::AddMusicFiles() {
    QFileDialog dialog(list_, "Music File Selection");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(MusicFilters());
    // Wide and tall enough for its columns (name, size, type, date) and a dozen files.
    const QFontMetrics metrics = dialog.fontMetrics();
    dialog.resize(dialog.sizeHint().expandedTo(QSize(metrics.averageCharWidth() * 100, metrics.height() * 30)));
    const QString start = !live_.MidiLastDir.empty()
                              ? QString::fromStdString(live_.MidiLastDir)
                              : QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    dialog.setDirectory(QFileInfo::exists(start) ? start : QDir::homePath());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QStringList files = dialog.selectedFiles();
        live_.MidiLastDir = QFileInfo(files.first()).absolutePath().toStdString();
        for (const QString& file : files) {
            const QFileInfo info(file);
            music_.Add(JoinMusicPath(info.absolutePath().toStdString(), info.fileName().toStdString()));
        }
        ShowList(selectedRow());
    }
    UpdateAudioControls();
    SetModified();
}

void CBackgroundPP::RemoveSelected() {
    const int selected = selectedRow();
    if (selected >= 0) {
        ShowList(music_.Remove(selected).value_or(-1));
        SetModified();
    }
    UpdateAudioControls();
}

void CBackgroundPP::RemoveAll() {
    if (MessageBox(nullptr, "Do you really want to remove all the files from the list?", kSheetMessageTitle,
                   MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return;
    music_.Clear();
    ShowList(-1);
    SetModified();
    UpdateAudioControls();
}

void CBackgroundPP::Move(bool up) {
    const auto moved = up ? music_.MoveUp(selectedRow()) : music_.MoveDown(selectedRow());
    if (!moved) return;
    ShowList(*moved);
    SetModified();
}

}  // namespace config
