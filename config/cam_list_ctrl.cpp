#include "cam_list_ctrl.h"

#include <QHeaderView>
#include <algorithm>

namespace config {
namespace {

// Column titles and widths as fractions of the control's width (0: hidden).
struct Column {
    const char* title;
    int numerator, denominator;
};
constexpr Column kColumns[] = {{"Name", 1, 3},      {"URL", 1, 3},    {"Last Update", 1, 6}, {"Last Result", 1, 6},
                               {"Type", 1, 15},     {"RefURL", 0, 1}, {"ImageDate", 1, 3},   {"Ver", 0, 1}};

QStringList Cells(const CamRecord& record) {
    return {QString::fromStdString(record.Name),       QString::fromStdString(record.URL),
            QString::fromStdString(record.LastUpdate), QString::fromStdString(record.LastResult),
            QString::fromStdString(record.Type),       QString::fromStdString(record.RefURL),
            QString::fromStdString(record.ImageDate),  QString::fromStdString(record.Ver)};
}

}  // namespace

CCamListCtrl::CCamListCtrl(QWidget* parent) : QTableWidget(0, 8, parent) {
    setObjectName("1133");
    QStringList titles;
    for (const Column& column : kColumns) titles << column.title;
    setHorizontalHeaderLabels(titles);
    setColumnHidden(5, true);
    setColumnHidden(7, true);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow, int) {
        if (refreshing_ || row == previousRow || row < 0) return;
        rows_.select(row);
        if (onSelectionChanged) onSelectionChanged();
    });
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (refreshing_ || item->column() != 0) return;
        const bool checked = item->checkState() == Qt::Checked;
        if (rows_.checked(item->row()) == checked) return;
        rows_.setChecked(item->row(), checked);
        if (onCheckChanged) onCheckChanged();
    });
}

void CCamListCtrl::Load(std::string_view camList) {
    rows_.Load(camList);
    // The columns take their shares of the width the control has on the screen: before it is
    // first shown it has none yet.
    if (!columnsSized_ && isVisible()) sizeColumns();
    Refresh();
}

void CCamListCtrl::showEvent(QShowEvent* event) {
    QTableWidget::showEvent(event);
    if (columnsSized_) return;
    sizeColumns();
    fitShortColumns();
}

void CCamListCtrl::sizeColumns() {
    firstWidth_ = viewport()->width() > 100 ? viewport()->width() : 520;
    for (int i = 0; i < 8; ++i)
        if (kColumns[i].numerator) setColumnWidth(i, firstWidth_ * kColumns[i].numerator / kColumns[i].denominator);
    columnsSized_ = true;
}

void CCamListCtrl::Refresh() {
    refreshing_ = true;
    setRowCount(rows_.size());
    for (int row = 0; row < rows_.size(); ++row) {
        const QStringList cells = Cells(rows_.row(row));
        for (int column = 0; column < 8; ++column) {
            QTableWidgetItem* item = this->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                setItem(row, column, item);
            }
            item->setText(cells[column]);
            Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
            if (column == 0) {
                flags |= Qt::ItemIsUserCheckable;
                item->setCheckState(rows_.checked(row) ? Qt::Checked : Qt::Unchecked);
            }
            item->setFlags(flags);
        }
    }
    fitShortColumns();
    if (rows_.selected() >= 0) {
        setCurrentCell(rows_.selected(), 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        clearSelection();
        setCurrentCell(-1, -1);
    }
    refreshing_ = false;
}

void CCamListCtrl::fitShortColumns() {
    // An empty list has nothing to scroll to.
    setHorizontalScrollBarPolicy(rowCount() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (!columnsSized_) return;
    // The update time and the result show whole, title and text; the width they need comes out
    // of the URL column, which is long anyway, down to half its first width.
    constexpr int kUrl = 1;
    const int urlFloor = firstWidth_ / 6;
    for (int column : {2, 3}) {
        const int needed = std::max(sizeHintForColumn(column), horizontalHeader()->sectionSizeHint(column));
        const int extra = needed - columnWidth(column);
        if (extra <= 0) continue;
        setColumnWidth(column, needed);
        setColumnWidth(kUrl, std::max(urlFloor, columnWidth(kUrl) - extra));
    }
}

void CCamListCtrl::ShowSelection() {
    Refresh();
    if (rows_.selected() < 0) return;
    setFocus();
    scrollToItem(item(rows_.selected(), 0));
}

}  // namespace config
