#include "marquee_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <ctime>

#include "clock.h"
#include "marquee_format.h"

namespace config {

using saver::SaverSettings;

CTickerPropPage::CTickerPropPage(SaverSettings& live, SheetServices services)
    : SheetPage("Marquee", std::move(services)), live_(live) {
    auto* layout = new QGridLayout(this);
    layout->addWidget(IntroText("A scrolling message or caption may be displayed at the bottom of the screen."), 0, 0, 1, 4);
    const auto check = [this](const char* text, const char* id, int SaverSettings::*field) {
        QCheckBox* box = CheckBox(text, id);
        checks_.emplace_back(field, box);
        QObject::connect(box, &QCheckBox::clicked, this, [this] { Changed(); });
        return box;
    };
    showTicker_ = check("Show Marquee", "1056", &SaverSettings::ShowTicker);
    QCheckBox* noMovement = check("No Movement", "1066", &SaverSettings::UseMovement);
    showDate_ = check("Show Current Date", "1057", &SaverSettings::ShowDate);
    showTime_ = check("Show Current Time", "1058", &SaverSettings::ShowTime);
    QCheckBox* camName = check("Show Cam Name", "1063", &SaverSettings::ShowFileName);
    QCheckBox* lastUpdate = check("Last Update", "1064", &SaverSettings::UsePath);
    QCheckBox* lastResult = check("Last Result", "1065", &SaverSettings::UseExtension);
    QCheckBox* elapsed = check("Show Elapsed Time", "1062", &SaverSettings::ShowElapsedTime);
    QCheckBox* getRight = check("Show GetRight Download Status", "1087", &SaverSettings::ShowGetRight);
    showMessage_ = check("Show Personal Message", "1071", &SaverSettings::ShowPersonalMessage);
    QCheckBox* countdown = check("Show Millennium Countdown", "1078", &SaverSettings::ShowMillenniumCountDown);
    countdown->hide();

    dateFormat_ = new QComboBox;
    dateFormat_->setObjectName("1060");
    timeFormat_ = new QComboBox;
    timeFormat_->setObjectName("1061");
    // The examples show the formats with the time of now.
    const std::time_t now = platform::Clock::instance().calendarNow();
    std::tm local{};
    localtime_r(&now, &local);
    for (int i = 0; i < 6; ++i) dateFormat_->addItem(QString::fromStdString(marquee::FormatMarqueeDate(i, local)));
    for (int i = 0; i < 4; ++i) timeFormat_->addItem(QString::fromStdString(marquee::FormatMarqueeTime(i, local)));
    for (QComboBox* list : {dateFormat_, timeFormat_})
        QObject::connect(list, qOverload<int>(&QComboBox::activated), this, [this] { Changed(); });
    dateLabel_ = Label("Format", "1067");
    timeLabel_ = Label("Format", "1068");
    messageLabel_ = Label("Personal Message:", "1069");
    messageLabel_->hide();
    message_ = new QLineEdit;
    message_->setObjectName("1000");
    font_ = PushButton("Select Font", "1070");
    fontColor_ = PushButton("Select Font Color", "1073");
    swatch_ = new ColorSwatch("1074");
    QObject::connect(font_, &QPushButton::clicked, this, [this] { SelectFont(); });
    QObject::connect(fontColor_, &QPushButton::clicked, this, [this] { SelectFontColor(); });

    layout->addWidget(showTicker_, 1, 0);
    layout->addWidget(noMovement, 1, 1);
    layout->addWidget(showDate_, 2, 0);
    layout->addWidget(dateLabel_, 2, 1);
    layout->addWidget(dateFormat_, 2, 2, 1, 2);
    layout->addWidget(showTime_, 3, 0);
    layout->addWidget(timeLabel_, 3, 1);
    layout->addWidget(timeFormat_, 3, 2, 1, 2);
    layout->addWidget(camName, 4, 0);
    layout->addWidget(lastUpdate, 4, 1);
    layout->addWidget(lastResult, 4, 2);
    layout->addWidget(elapsed, 5, 0);
    layout->addWidget(getRight, 5, 1, 1, 2);
    layout->addWidget(showMessage_, 6, 0);
    layout->addWidget(messageLabel_, 6, 1);
    layout->addWidget(message_, 6, 2, 1, 2);
    layout->addWidget(font_, 7, 0);
    layout->addWidget(fontColor_, 7, 1);
    layout->addWidget(swatch_, 7, 2);
    layout->addWidget(countdown, 8, 0);
    layout->setRowStretch(9, 1);
    marqueeControls_ = {dateLabel_, messageLabel_, timeLabel_, font_,     noMovement, showDate_,
                        dateFormat_, showTime_,    timeFormat_, elapsed,  camName,    lastUpdate,
                        lastResult,  showMessage_, message_,    countdown, getRight,  fontColor_};
}

void CTickerPropPage::SettingsToPage(const SaverSettings& settings) {
    for (auto& [field, box] : checks_) box->setChecked(settings.*field != 0);
    dateFormat_->setCurrentIndex(settings.DateFormat >= 0 && settings.DateFormat < 6 ? settings.DateFormat : 0);
    timeFormat_->setCurrentIndex(settings.TimeFormat >= 0 && settings.TimeFormat < 4 ? settings.TimeFormat : 0);
    message_->setText(QString::fromStdString(settings.PersonalMessage));
    fontColorValue_ = platform::COLORREF(settings.FontColor);
    swatch_->setColor(fontColorValue_);
}

void CTickerPropPage::SettingsFromPage(SaverSettings& settings) {
    for (auto& [field, box] : checks_) settings.*field = box->isChecked() ? 1 : 0;
    settings.DateFormat = dateFormat_->currentIndex();
    settings.TimeFormat = timeFormat_->currentIndex();
    settings.PersonalMessage = message_->text().toStdString();
    settings.FontColor = int(fontColorValue_);
}

void CTickerPropPage::Initialise() {
    ApplyEnablingRules();
    BeginUserChanges();
}

void CTickerPropPage::Changed() {
    SetModified();
    ApplyEnablingRules();
}

void CTickerPropPage::ApplyEnablingRules() {
    const bool on = showTicker_->isChecked();
    for (QWidget* control : marqueeControls_) control->setEnabled(on);
    if (!on) return;
    dateFormat_->setEnabled(showDate_->isChecked());
    dateLabel_->setEnabled(showDate_->isChecked());
    timeFormat_->setEnabled(showTime_->isChecked());
    timeLabel_->setEnabled(showTime_->isChecked());
    message_->setEnabled(showMessage_->isChecked());
    messageLabel_->setEnabled(showMessage_->isChecked());
}

void CTickerPropPage::SelectFont() {
    QFont font(QString::fromStdString(live_.FaceName));
    if (live_.Height) font.setPixelSize(live_.Height < 0 ? -live_.Height : live_.Height);
    if (live_.Weight > 0) font.setWeight(QFont::Weight(std::clamp(live_.Weight, 1, 1000)));
    font.setItalic(live_.Italic != 0);
    font.setUnderline(live_.Underline != 0);
    QFontDialog dialog(font, this);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setOption(QFontDialog::ScalableFonts);
    if (dialog.exec() == QDialog::Accepted) {
        const QFont chosen = dialog.selectedFont();
        live_.FaceName = chosen.family().toStdString().substr(0, saver::kFaceNameLimit);
        const int pixels = chosen.pixelSize() > 0 ? chosen.pixelSize() : int(chosen.pointSizeF() * 96 / 72 + 0.5);
        live_.Height = -pixels;  // a character height, as a negative height asks for
        live_.Weight = chosen.weight();
        live_.Italic = chosen.italic() ? 1 : 0;
        live_.Underline = chosen.underline() ? 1 : 0;
    }
    Changed();
}

void CTickerPropPage::SelectFontColor() {
    if (const auto color = ChooseColor(this, fontColorValue_)) {
        fontColorValue_ = *color;
        live_.FontColor = int(*color);
    }
    swatch_->setColor(fontColorValue_);
    Changed();
}

}  // namespace config
