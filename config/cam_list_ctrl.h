// The Images page's list of sources: a report list with a check box per row and eight columns
// (RefURL and Ver hidden), showing the page's working copy of the list.
#pragma once

#include <QTableWidget>
#include <functional>

#include "cam_rows.h"

namespace config {

class CCamListCtrl : public QTableWidget {
public:
    explicit CCamListCtrl(QWidget* parent = nullptr);

    CamRows& rows() { return rows_; }
    const CamRows& rows() const { return rows_; }

    // Fills the rows from a CamList text; the columns are sized to the control the first time.
    void Load(std::string_view camList);
    // Shows the working copy again after it changed, with its selection.
    void Refresh();
    // The selection of the working copy made visible: focus, scrolled into view.
    void ShowSelection();

    // Told when the user selects a row or changes a row's check box.
    std::function<void()> onSelectionChanged;
    std::function<void()> onCheckChanged;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void sizeColumns();
    void fitShortColumns();

    CamRows rows_;
    bool columnsSized_ = false;
    int firstWidth_ = 0;  // the control's width when the columns were first sized
    bool refreshing_ = false;
};

}  // namespace config
