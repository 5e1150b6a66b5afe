// "Add New Camera" ("Edit Camera" for an existing source): a source's name and picture address,
// checked before the dialog closes.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLineEdit;

namespace config {

class CAddCameraDlg : public QDialog {
public:
    // Both initial texts are empty when a source is added; names are the list's, to check against.
    CAddCameraDlg(QWidget* parent, std::string initialName, std::string initialUrl, std::vector<std::string> names);

    std::string name() const;
    std::string url() const;  // as the list stores it

    // OK: the name and the address must pass their rules; a refusal keeps the dialog and its text.
    void accept() override;

private:
    std::string initialName_;
    std::vector<std::string> names_;
    QLineEdit* name_ = nullptr;
    QLineEdit* url_ = nullptr;
};

}  // namespace config
