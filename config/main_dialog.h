// The configuration sheet shown in configure mode.
#pragma once

#include <memory>

#include "saver_app.h"

class QDialog;
class QSpinBox;
class QCheckBox;

namespace config {

// For now the sheet offers the settings of the running saver that exist so far; the tabbed pages
// join it page by page.
class CMainDialog : public saver::ConfigurationSheet {
public:
    CMainDialog();
    ~CMainDialog() override;

    void SettingsToSheet(const saver::SaverSettings& settings) override;
    void SettingsFromSheet(saver::SaverSettings& settings) override;
    bool DoModal() override;

private:
    std::unique_ptr<QDialog> dialog_;
    QSpinBox* changeTime_ = nullptr;
    QCheckBox* changeOnTime_ = nullptr;
    QCheckBox* ignoreMouse_ = nullptr;
};

std::unique_ptr<saver::ConfigurationSheet> MakeConfigurationSheet(saver::SaverApp& app);

}  // namespace config
