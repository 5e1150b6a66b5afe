#include "transitions_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

namespace config {

namespace {

constexpr const char* kEffectNames[] = {"Wipe Down",          "Wipe Across",        "Horizontals", "Verticals",
                                        "Cave In",            "Cave Out",           "Vertical Stripes",
                                        "Horizontal Stripes", "Slide Down",         "Slide Across",
                                        "Small Random Blocks", "Large Random Blocks"};
// The effects the list offers.
constexpr int kOfferedEffects = 7;

}  // namespace

std::string TransitionEffectName(int number) { return number >= 1 && number <= 12 ? kEffectNames[number - 1] : ""; }

int TransitionEffectNumber(const std::string& name) {
    for (int number : {1, 2, 4, 3, 11, 12, 5, 6, 8, 7, 9, 10})
        if (name == kEffectNames[number - 1]) return number;
    return 0;
}

CTransitions::CTransitions(SheetServices services) : SheetPage("Transitions", std::move(services)) {
    auto* layout = new QGridLayout(this);
    layout->addWidget(IntroText("A number of effects may be used when cycling through images."), 0, 0, 1, 3);
    enable_ = CheckBox("Enable Transition Effects", "1039");
    automatic_ = CheckBox("Vary Transitions Automatically", "1041");
    listLabel_ = Label("Select Transition Effect", "1040");
    effects_ = new QComboBox;
    effects_->setObjectName("1044");
    QStringList names;
    for (int number = 1; number <= kOfferedEffects; ++number) names << QString::fromStdString(TransitionEffectName(number));
    names.sort();  // the list keeps its entries in alphabetical order
    effects_->addItems(names);
    layout->addWidget(enable_, 1, 0, 1, 2);
    layout->addWidget(automatic_, 2, 0, 1, 2);
    layout->addWidget(listLabel_, 3, 0);
    layout->addWidget(effects_, 3, 1);
    layout->setRowStretch(4, 1);
    layout->setColumnStretch(2, 1);
    for (QCheckBox* box : {enable_, automatic_})
        QObject::connect(box, &QCheckBox::clicked, this, [this] {
            SetModified();
            ApplyEnablingRules();
        });
    // A choice is taken over with the sheet; by itself it does not mark the page changed.
    QObject::connect(effects_, qOverload<int>(&QComboBox::activated), this,
                     [this](int index) { current_ = TransitionEffectNumber(effects_->itemText(index).toStdString()); });
}

void CTransitions::SettingsToPage(const saver::SaverSettings& settings) {
    enable_->setChecked(settings.EnableTransitionEffect != 0);
    automatic_->setChecked(settings.AutoTransitionEffect != 0);
    current_ = settings.CurrentTransitionEffect;
    const QString name = QString::fromStdString(TransitionEffectName(current_));
    int shown = -1;
    for (int i = 0; i < effects_->count() && shown < 0; ++i)
        if (effects_->itemText(i).startsWith(name)) shown = i;
    effects_->setCurrentIndex(shown);
}

void CTransitions::SettingsFromPage(saver::SaverSettings& settings) {
    settings.EnableTransitionEffect = enable_->isChecked() ? 1 : 0;
    settings.AutoTransitionEffect = automatic_->isChecked() ? 1 : 0;
    settings.CurrentTransitionEffect = current_;
}

void CTransitions::Initialise() {
    ApplyEnablingRules();
    BeginUserChanges();
}

void CTransitions::ApplyEnablingRules() {
    automatic_->setEnabled(enable_->isChecked());
    const bool chosen = enable_->isChecked() && !automatic_->isChecked();
    listLabel_->setEnabled(chosen);
    effects_->setEnabled(chosen);
}

}  // namespace config
