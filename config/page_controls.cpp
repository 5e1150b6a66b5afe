#include "page_controls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStyle>
#include <algorithm>
#include <string>

#include "message_box.h"

namespace config {

using platform::COLORREF;

void ShowRangeMessage(int minimum, int maximum) {
    const std::string text =
        "Please enter an integer between " + std::to_string(minimum) + " and " + std::to_string(maximum) + ".";
    platform::MessageBox(nullptr, text.c_str(), kSheetMessageTitle, platform::MB_ICONEXCLAMATION);
}

QLabel* IntroText(const char* text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

QLabel* Label(const char* text, const char* id) {
    auto* label = new QLabel(text);
    if (id) label->setObjectName(id);
    return label;
}

QCheckBox* CheckBox(const char* text, const char* id) {
    auto* box = new QCheckBox(text);
    box->setObjectName(id);
    return box;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {32, 64, 256}) icon.addFile(QString(":/icons/kelvane-saver-%1.png").arg(size), QSize(size, size));
    return icon;
}

QRadioButton* RadioButton(const char* text, const char* id) {
    auto* button = new QRadioButton(text);
    button->setObjectName(id);
    return button;
}

QPushButton* PushButton(const char* text, const char* id) {
    auto* button = new QPushButton(text);
    button->setObjectName(id);
    button->setAutoDefault(false);
    return button;
}

RadioChoice::RadioChoice(std::vector<QRadioButton*> buttons)
    : buttons_(std::move(buttons)), group_(new QButtonGroup(buttons_.front())) {
    for (QRadioButton* button : buttons_) group_->addButton(button);
    for (size_t i = 0; i < buttons_.size(); ++i)
        QObject::connect(buttons_[i], &QRadioButton::toggled, buttons_[i], [this, i](bool on) {
            if (on) value_ = int(i);
            keepOneTabStop();
        });
    keepOneTabStop();
}

// Tab enters the group on its checked button (the first when none is); the arrow keys move
// within it.
void RadioChoice::keepOneTabStop() {
    const auto checked = std::find_if(buttons_.begin(), buttons_.end(), [](QRadioButton* b) { return b->isChecked(); });
    for (QRadioButton* button : buttons_) {
        const bool stop = checked == buttons_.end() ? button == buttons_.front() : button == *checked;
        button->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

int RadioChoice::value() const { return value_; }

void RadioChoice::setValue(int value) {
    value_ = value;
    // Checked or none: a value no button stands for leaves them all unchecked.
    group_->setExclusive(false);
    for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->setChecked(int(i) == value);
    group_->setExclusive(true);
    keepOneTabStop();
}

void RadioChoice::onClicked(const std::function<void()>& handler) {
    for (QRadioButton* button : buttons_) QObject::connect(button, &QRadioButton::clicked, button, [handler] { handler(); });
}

NumberField::NumberField(const char* editId, const char* arrowsId, int minimum, int maximum, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit), arrows_(new QSpinBox), minimum_(minimum), maximum_(maximum) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    edit_->setObjectName(editId);
    edit_->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,6}"), edit_));
    edit_->setMaximumWidth(edit_->fontMetrics().averageCharWidth() * 8 + 12);
    arrows_->setObjectName(arrowsId);
    arrows_->setRange(minimum, maximum);
    // The arrows only: the edit beside them shows the number.
    if (auto* inner = arrows_->findChild<QLineEdit*>()) inner->hide();
    arrows_->setFixedWidth(arrows_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 6);
    arrows_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(edit_);
    layout->addWidget(arrows_);
    layout->addStretch(1);  // the arrows stay beside their edit however wide the field is laid out
    setFocusProxy(edit_);
    QObject::connect(arrows_, qOverload<int>(&QSpinBox::valueChanged), this, [this](int value) {
        if (edit_->text() != QString::number(value)) edit_->setText(QString::number(value));
    });
    QObject::connect(edit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        bool number = false;
        const int value = text.toInt(&number);
        if (number && value >= arrows_->minimum() && value <= arrows_->maximum() && value != arrows_->value()) {
            const QSignalBlocker quiet(arrows_);
            arrows_->setValue(value);
        }
        if (onChanged) onChanged();
    });
    QObject::connect(edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (checkAsTyped && !text.isEmpty() && !value()) Validate();
    });
    edit_->installEventFilter(this);
}

bool NumberField::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_ || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down) return QWidget::eventFilter(watched, event);
    arrows_->stepBy(key == Qt::Key_Up ? 1 : -1);
    return true;
}

void NumberField::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    setArrowRange(minimum, maximum);
}

void NumberField::setArrowRange(int minimum, int maximum) {
    const QSignalBlocker quiet(arrows_);
    arrows_->setRange(minimum, maximum);
}

std::optional<int> NumberField::value() const {
    bool number = false;
    const long long value = edit_->text().toLongLong(&number);
    if (!number || value < minimum_ || value > maximum_) return std::nullopt;
    return int(value);
}

void NumberField::setValue(int value) { edit_->setText(QString::number(value)); }

bool NumberField::Validate() {
    if (value()) return true;
    ShowRangeMessage(minimum_, maximum_);
    edit_->setFocus();
    edit_->selectAll();
    return false;
}

ColorSwatch::ColorSwatch(const char* id, QWidget* parent) : QFrame(parent) {
    setObjectName(id);
    setFrameShape(QFrame::Box);
    setMinimumSize(40, 20);
}

void ColorSwatch::setColor(COLORREF color) {
    color_ = color;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(rect().adjusted(1, 1, -1, -1), QColor(int(color_ & 0xFF), int((color_ >> 8) & 0xFF), int((color_ >> 16) & 0xFF)));
}

std::optional<COLORREF> ChooseColor(QWidget* parent, COLORREF initial) {
    QColorDialog dialog(QColor(int(initial & 0xFF), int((initial >> 8) & 0xFF), int((initial >> 16) & 0xFF)), parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QColor chosen = dialog.selectedColor();
    return COLORREF(chosen.red()) | (COLORREF(chosen.green()) << 8) | (COLORREF(chosen.blue()) << 16);
}

}  // namespace config
