#include "add_camera_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "cam_validation.h"

namespace config {

CAddCameraDlg::CAddCameraDlg(QWidget* parent, std::string initialName, std::string initialUrl,
                             std::vector<std::string> names)
    : QDialog(parent), initialName_(std::move(initialName)), names_(std::move(names)) {
    setWindowTitle(initialName_.empty() ? "Add New Camera" : "Edit Camera");
    auto* layout = new QVBoxLayout(this);
    name_ = new QLineEdit(QString::fromStdString(initialName_));
    name_->setObjectName("1000");
    url_ = new QLineEdit(QString::fromStdString(initialUrl));
    url_->setObjectName("1001");
    url_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    url_->setToolTip(sources::kShownKinds);
    auto* nameLabel = new QLabel("Cam Name:");
    nameLabel->setBuddy(name_);
    auto* urlLabel = new QLabel("Cam URL:");
    urlLabel->setBuddy(url_);
    layout->addWidget(nameLabel);
    layout->addWidget(name_);
    layout->addWidget(urlLabel);
    layout->addWidget(url_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("IDOK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("IDCANCEL");
    connect(buttons, &QDialogButtonBox::accepted, this, &CAddCameraDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAddCameraDlg::reject);
    layout->addWidget(buttons);
}

std::string CAddCameraDlg::name() const { return name_->text().toStdString(); }
std::string CAddCameraDlg::url() const { return sources::StorableCamUrl(url_->text().toStdString()); }

void CAddCameraDlg::accept() {
    if (!sources::ValidateCamName(name(), initialName_, names_)) {
        name_->setFocus();
        return;
    }
    if (!sources::ValidateCamUrl(url())) {
        url_->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace config
