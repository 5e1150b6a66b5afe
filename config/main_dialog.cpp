#include "main_dialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "link_bitmap_button.h"
#include "string_table.h"

namespace config {

CMainDialog::CMainDialog() : dialog_(std::make_unique<QDialog>()) {
    dialog_->setWindowTitle(QString::fromStdString(saver::LoadResourceString(saver::IDS_DESCRIPTION)));
    auto* layout = new QVBoxLayout(dialog_.get());
    auto* tabs = new QTabWidget;
    auto* imageOptions = new QWidget;
    auto* form = new QFormLayout(imageOptions);
    changeOnTime_ = new QCheckBox("Change the picture source on time");
    changeTime_ = new QSpinBox;
    changeTime_->setRange(1, 86400);
    changeTime_->setSuffix(" s");
    form->addRow(changeOnTime_);
    form->addRow("Change every", changeTime_);
    tabs->addTab(imageOptions, "Image Options");
    auto* misc = new QWidget;
    auto* miscForm = new QFormLayout(misc);
    ignoreMouse_ = new QCheckBox("Ignore mouse movement");
    miscForm->addRow(ignoreMouse_);
    tabs->addTab(misc, "Misc.");
    layout->addWidget(tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog_.get(), &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog_.get(), &QDialog::reject);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(desktop::LinkBitmapButton::kOkButtonName);
    // The foot: the link to the maker's site, then OK and Cancel.
    auto* foot = new QHBoxLayout;
    foot->addWidget(new desktop::LinkBitmapButton(dialog_.get()));
    foot->addStretch();
    foot->addWidget(buttons);
    layout->addLayout(foot);
}

CMainDialog::~CMainDialog() = default;

void CMainDialog::SettingsToSheet(const saver::SaverSettings& settings) {
    changeOnTime_->setChecked(settings.Change == 1);
    changeTime_->setValue(settings.ChangeTime);
    ignoreMouse_->setChecked(settings.IgnoreMouse != 0);
}

void CMainDialog::SettingsFromSheet(saver::SaverSettings& settings) {
    // Only a change between "never" and "on time" is made here; "after each run" stays as it is.
    if (changeOnTime_->isChecked()) settings.Change = 1;
    else if (settings.Change == 1) settings.Change = 0;
    settings.ChangeTime = changeTime_->value();
    settings.IgnoreMouse = ignoreMouse_->isChecked() ? 1 : 0;
}

bool CMainDialog::DoModal() { return dialog_->exec() == QDialog::Accepted; }

std::unique_ptr<saver::ConfigurationSheet> MakeConfigurationSheet(saver::SaverApp&) {
    return std::make_unique<CMainDialog>();
}

}  // namespace config
