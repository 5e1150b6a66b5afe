// The "Audio" page: background music on or off, the audio CD or the file list, resume, and the
// ordered list of music files the music companion plays.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "music_list.h"
#include "page_controls.h"
#include "sheet_page.h"

class QListWidget;

namespace config {

// Starts the music companion and asks it whether it can play; closes it again.
bool DetectMusicPlayer();

class CBackgroundPP : public SheetPage {
public:
    // The last music folder changes in the live settings as soon as files are chosen.
    CBackgroundPP(saver::SaverSettings& live, SheetServices services, std::function<int(const std::string&)> opener,
                  std::function<bool()> detectPlayer = DetectMusicPlayer);

    void SettingsToPage(const saver::SaverSettings& settings) override;
    void SettingsFromPage(saver::SaverSettings& settings) override;
    // Fills the list.
    void Initialise() override;

    void AddMusicFiles();
    void RemoveSelected();
    void RemoveAll();
    void Move(bool up);
    bool playerDetected() const { return detected_; }

protected:
    // The music player is looked for when the page is first shown: starting it costs a moment,
    // and a sheet opened for another page does without.
    void showEvent(QShowEvent* event) override;

private:
    void UpdateAudioControls();
    void ShowList(int selected);
    int selectedRow() const;

    saver::SaverSettings& live_;
    std::function<int(const std::string&)> opener_;
    std::function<bool()> detectPlayer_;
    MusicList music_;
    std::string currentFile_;
    bool detected_ = false;
    bool lookedForPlayer_ = false;
    QCheckBox* noAudio_ = nullptr;
    QCheckBox* resume_ = nullptr;
    std::unique_ptr<RadioChoice> playMode_;
    QListWidget* list_ = nullptr;
    QLabel* listLabel_ = nullptr;
    QLabel* orderLabel_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* removeAll_ = nullptr;
    QPushButton* moveUp_ = nullptr;
    QPushButton* moveDown_ = nullptr;
    QLabel* notDetected_ = nullptr;
    QLabel* notDetectedHelp_ = nullptr;
    QPushButton* getInfo_ = nullptr;
};

}  // namespace config
