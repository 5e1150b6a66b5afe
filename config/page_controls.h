// Controls the sheet's pages share: check boxes, radio choices, numbers with arrows, colour
// swatches, each named by its control id.
#pragma once

#include <QFrame>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "win_types.h"

class QAbstractButton;
class QIcon;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QButtonGroup;
class QRadioButton;
class QSpinBox;

namespace config {

// The title of the message boxes the sheet and its pages show.
constexpr const char* kSheetMessageTitle = "Kelvane Screen Saver";
// "Please enter an integer between A and B.", the refusal of a number outside its range.
void ShowRangeMessage(int minimum, int maximum);

// The program's own icon (drawn at every size the sheet shows it).
QIcon ApplicationIcon();

QLabel* IntroText(const char* text);
QLabel* Label(const char* text, const char* id = nullptr);
QCheckBox* CheckBox(const char* text, const char* id);
QRadioButton* RadioButton(const char* text, const char* id);
QPushButton* PushButton(const char* text, const char* id);

// Radio buttons that stand for the values 0, 1, 2... in their order: one group of their own,
// wherever each sits (a button in a row beside an edit is no group apart).
class RadioChoice {
public:
    explicit RadioChoice(std::vector<QRadioButton*> buttons);
    // The value of the checked button; the last value set when none is (or the button is hidden).
    int value() const;
    void setValue(int value);
    const std::vector<QRadioButton*>& buttons() const { return buttons_; }
    // Told after a click on any of them.
    void onClicked(const std::function<void()>& handler);

private:
    void keepOneTabStop();

    std::vector<QRadioButton*> buttons_;
    QButtonGroup* group_;  // owned by the first button
    int value_ = 0;
};

// A whole number typed into an edit, with arrows beside it; the edit keeps whatever is typed and
// Validate() refuses a number outside its range, naming the range.
class NumberField : public QWidget {
public:
    NumberField(const char* editId, const char* arrowsId, int minimum, int maximum, QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    // The arrows may cover less than the accepted range.
    void setArrowRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    std::optional<int> value() const;  // nothing while the text is not a number in range
    void setValue(int value);
    QLineEdit* edit() const { return edit_; }
    // Shows "Please enter an integer between A and B." and takes the focus when out of range.
    bool Validate();
    // Told on every change of the text or click on the arrows.
    std::function<void()> onChanged;
    // Typed text out of range is refused at once (with the range message), not only at OK.
    bool checkAsTyped = false;

protected:
    // Up and Down in the edit step the number as the arrows do.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* edit_;
    QSpinBox* arrows_;
    int minimum_, maximum_;
};

// A framed area filled with one colour, inset by a pixel.
class ColorSwatch : public QFrame {
public:
    explicit ColorSwatch(const char* id, QWidget* parent = nullptr);
    void setColor(platform::COLORREF color);
    platform::COLORREF color() const { return color_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    platform::COLORREF color_ = 0;
};

// The colour dialog, starting from a colour; nothing when the user cancels.
std::optional<platform::COLORREF> ChooseColor(QWidget* parent, platform::COLORREF initial);

}  // namespace config
