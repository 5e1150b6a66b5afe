#include "image_options_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "quality_stretch.h"
#include "windows.h"

namespace config {

using saver::SaverSettings;

namespace {

QGroupBox* Box(const char* title, const std::vector<QWidget*>& widgets, const char* id = nullptr) {
    auto* box = new QGroupBox(title);
    if (id) box->setObjectName(id);
    auto* layout = new QVBoxLayout(box);
    for (QWidget* widget : widgets) layout->addWidget(widget);
    return box;
}

std::pair<int, int> DesktopSize() {
    platform::RECT desktop{};
    platform::GetWindowRect(platform::GetDesktopWindow(), &desktop);
    return {desktop.right - desktop.left, desktop.bottom - desktop.top};
}

}  // namespace

CImagePropDialog::CImagePropDialog(SheetServices services) : SheetPage("Image Options", std::move(services)) {
    auto* layout = new QGridLayout(this);
    layout->addWidget(IntroText("Configure how often images are changed, and how they are displayed."), 0, 0, 1, 2);

    change_ = std::make_unique<RadioChoice>(std::vector<QRadioButton*>{
        RadioButton("&Never", "1035"), RadioButton("Af&ter", "1036"), RadioButton("After Each R&un", "1037")});
    changeTime_ = new NumberField("1002", "1034", 1, 100000);
    changeTime_->setArrowRange(1, 10000);
    secondsLabel_ = Label("Seconds", "1033");
    auto* after = new QWidget;
    auto* afterRow = new QHBoxLayout(after);
    afterRow->setContentsMargins(0, 0, 0, 0);
    afterRow->addWidget(change_->buttons()[1]);
    afterRow->addWidget(changeTime_);
    afterRow->addWidget(secondsLabel_);
    afterRow->addStretch();
    layout->addWidget(Box("Change Camera", {change_->buttons()[0], after, change_->buttons()[2]}), 1, 0);

    movement_ = std::make_unique<RadioChoice>(std::vector<QRadioButton*>{
        RadioButton("&Float", "1017"), RadioButton("&Random Positions", "1018"), RadioButton("&Centered", "1019")});
    speedLabel_ = Label("Speed (0 to 100)", "1027");
    speed_ = new QSlider(Qt::Horizontal);
    speed_->setObjectName("1026");
    speed_->setRange(0, 100);
    speed_->setTickInterval(25);
    speed_->setTickPosition(QSlider::TicksBelow);
    speedText_ = new QLineEdit;
    speedText_->setObjectName("1038");
    speedText_->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,6}"), speedText_));
    speedText_->setMaximumWidth(speedText_->fontMetrics().averageCharWidth() * 6 + 12);
    auto* speedRow = new QWidget;
    auto* speedLayout = new QHBoxLayout(speedRow);
    speedLayout->setContentsMargins(0, 0, 0, 0);
    speedLayout->addWidget(speed_);
    speedLayout->addWidget(speedText_);
    layout->addWidget(Box("Movement", {movement_->buttons()[0], movement_->buttons()[1], movement_->buttons()[2], speedLabel_, speedRow}),
                      2, 0);

    size_ = std::make_unique<RadioChoice>(std::vector<QRadioButton*>{RadioButton("Stretch To Fit Desktop", "1112"),
                                                                      RadioButton("Use Original Size", "1111"),
                                                                      RadioButton("Set Custom Size", "1113")});
    width_ = new NumberField("1000", "1024", 0, 0);
    height_ = new NumberField("1001", "1025", 0, 0);
    widthLabel_ = Label("Width:", "1114");
    heightLabel_ = Label("Height:", "1115");
    auto* custom = new QWidget;
    auto* customLayout = new QGridLayout(custom);
    customLayout->setContentsMargins(16, 0, 0, 0);
    customLayout->addWidget(widthLabel_, 0, 0);
    customLayout->addWidget(width_, 0, 1);
    customLayout->addWidget(heightLabel_, 1, 0);
    customLayout->addWidget(height_, 1, 1);
    stretchToMax_ = CheckBox("Stretch To Max", "1028");
    stretchToMax_->hide();
    layout->addWidget(Box("Image Size", {size_->buttons()[0], size_->buttons()[1], size_->buttons()[2], custom, stretchToMax_}), 1, 1);

    stretchMethod_ = std::make_unique<RadioChoice>(
        std::vector<QRadioButton*>{RadioButton("Quick Stretch", "1118"), RadioButton("Quality Stretch", "1119")});
    notAvailable_ = Label("Not available in 16 or 256 color mode.", "1121");
    notAvailable_->hide();
    stretchBox_ = Box("Stretch Options", {stretchMethod_->buttons()[0], stretchMethod_->buttons()[1], notAvailable_}, "1120");
    layout->addWidget(stretchBox_, 2, 1);
    // Beside the primary monitor, the others show pictures of their own unless this is ticked.
    blankOthers_ = CheckBox("&Blank the other monitors (pictures on the primary monitor only)", "1151");
    layout->addWidget(blankOthers_, 3, 0, 1, 2);
    layout->setRowStretch(4, 1);

    for (RadioChoice* choice : {change_.get(), movement_.get(), size_.get(), stretchMethod_.get()})
        choice->onClicked([this] {
            SetModified();
            Refresh();
        });
    for (QCheckBox* box : {stretchToMax_, blankOthers_}) QObject::connect(box, &QCheckBox::clicked, this, [this] { SetModified(); });
    QObject::connect(speed_, &QSlider::valueChanged, this, [this](int value) {
        if (speedText_->text() != QString::number(value)) speedText_->setText(QString::number(value));
        StoreSpeed(value);
    });
    // Only the user's own moves count as a change (dragged, stepped with the keys or clicks).
    QObject::connect(speed_, &QSlider::actionTriggered, this, [this] { SetModified(); });
    QObject::connect(speedText_, &QLineEdit::textEdited, this, [this] { SpeedTyped(); });
    QObject::connect(speedText_, &QLineEdit::editingFinished, this, [this] {
        SetModified();
        bool number = false;
        const int typed = speedText_->text().toInt(&number);
        if (!number || typed < 0 || typed > 100) {
            ShowRangeMessage(0, 100);
            speedText_->setText(QString::number(speed_->value()));
        }
    });
    // The custom size and the seconds are checked as they are typed.
    for (NumberField* field : {width_, height_, changeTime_}) {
        field->checkAsTyped = true;
        field->onChanged = [this] { SetModified(); };
    }
}

void CImagePropDialog::SettingsToPage(const SaverSettings& settings) {
    change_->setValue(settings.Change);
    // A hand-edited time beyond the field's range would block OK on every page while the field
    // is disabled: it is shown, and kept, within the range.
    changeTime_->setValue(std::clamp(settings.ChangeTime, changeTime_->minimum(), changeTime_->maximum()));
    movement_->setValue(settings.Movement);
    floatSpeed_ = settings.FloatSpeed;
    randomSpeed_ = settings.RandomSpeed;
    size_->setValue(settings.ImageStretchOption);
    width_->setValue(int(settings.MaxWidth));
    height_->setValue(int(settings.MaxHeight));
    stretchMethod_->setValue(settings.InterStretch);
    stretchToMax_->setChecked(settings.Stretch != 0);
    blankOthers_->setChecked(settings.BlankOtherMonitors != 0);
}

void CImagePropDialog::SettingsFromPage(SaverSettings& settings) {
    settings.Change = change_->value();
    if (const auto seconds = changeTime_->value()) settings.ChangeTime = *seconds;
    settings.Movement = movement_->value();
    settings.FloatSpeed = floatSpeed_;
    settings.RandomSpeed = randomSpeed_;
    settings.ImageStretchOption = size_->value();
    if (const auto width = width_->value()) settings.MaxWidth = unsigned(*width);
    if (const auto height = height_->value()) settings.MaxHeight = unsigned(*height);
    settings.InterStretch = stretchMethod_->value();
    settings.Stretch = stretchToMax_->isChecked() ? 1 : 0;
    settings.BlankOtherMonitors = blankOthers_->isChecked() ? 1 : 0;
}

bool CImagePropDialog::Validate() {
    for (NumberField* field : {changeTime_, width_, height_})
        if (!field->Validate()) return false;
    return true;
}

void CImagePropDialog::Initialise() {
    const auto [desktopWidth, desktopHeight] = DesktopSize();
    width_->setRange(0, desktopWidth);
    height_->setRange(0, desktopHeight);
    Refresh();
    BeginUserChanges();
}

void CImagePropDialog::StoreSpeed(int speed) {
    switch (movement_->value()) {
    case 0: floatSpeed_ = speed; break;
    case 1: randomSpeed_ = speed; break;
    default: break;
    }
}

void CImagePropDialog::SpeedTyped() {
    bool number = false;
    const long long typed = speedText_->text().toLongLong(&number);
    if (number) {
        const QSignalBlocker quiet(speed_);
        speed_->setValue(int(std::clamp<long long>(typed, 0, 100)));
    }
    StoreSpeed(speed_->value());
    SetModified();
}

void CImagePropDialog::Refresh() {
    if (imaging::GetDisplayBitDepth() < 16) {
        stretchBox_->setEnabled(false);
        notAvailable_->show();
    }
    const bool onTime = change_->value() == 1;
    for (QWidget* widget : std::initializer_list<QWidget*>{changeTime_, secondsLabel_}) widget->setEnabled(onTime);
    const bool moving = movement_->value() != 2;
    for (QWidget* widget : std::initializer_list<QWidget*>{speedLabel_, speed_, speedText_}) widget->setEnabled(moving);
    {
        const QSignalBlocker quiet(speed_);
        if (movement_->value() == 0) speed_->setValue(floatSpeed_);
        if (movement_->value() == 1) speed_->setValue(randomSpeed_);
    }
    const bool custom = size_->value() == 2;
    for (QWidget* widget : std::initializer_list<QWidget*>{width_, height_, widthLabel_, heightLabel_})
        widget->setEnabled(custom);
    speedText_->setText(QString::number(speed_->value()));
}

}  // namespace config
