// The Images page's working copy of the source list: its rows in order, each row's check box (the
// selected flag) and the selected row. The list control shows it; nothing here needs a widget.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cam_list.h"

namespace config {

using sources::CamRecord;

class CamRows {
public:
    // The rows of a CamList text; a row's box is checked when its flag is exactly "1". No row is
    // selected afterwards.
    void Load(std::string_view camList);
    // The CamList text of the rows in their order, each flag from its check box.
    std::string Save() const;

    int size() const { return int(rows_.size()); }
    bool empty() const { return rows_.empty(); }
    const CamRecord& row(int index) const { return rows_.at(size_t(index)); }
    bool checked(int index) const { return row(index).Selected == "1"; }
    void setChecked(int index, bool checked);
    int CountChecked() const;
    std::vector<std::string> Names() const;

    int selected() const { return selected_; }
    // -1 selects nothing; an index outside the rows does the same.
    void select(int index);
    // The row whose name equals the text without regard to letter case, or -1.
    int Find(std::string_view name) const;
    // Selects the row of that name, or row 0 when none has it; nothing when the list is empty.
    // Returns the selected row.
    int SelectByName(std::string_view name);

    // Swap the selected row with its neighbour and select the neighbour; false when there is
    // none (no selection, or the first row up, the last row down).
    bool MoveUp();
    bool MoveDown();
    // Removes the selected row and selects the one before it (row 0 when the first went and rows
    // remain, none when the list is empty). Returns the removed row, or nothing.
    std::optional<CamRecord> Remove();
    // A new row with the initial fields of a source, checked, at the end.
    void Add(const std::string& name, const std::string& url);
    // The selected row's name and address; every other field stays.
    bool Edit(const std::string& name, const std::string& url);
    // Type, ImageDate, Last Result or Last Update of the row of that name.
    bool SetField(std::string_view name, int field, const std::string& value);

private:
    std::vector<CamRecord> rows_;
    int selected_ = -1;
};

// The local picture of the selected row: its file when it can be opened, else the fallback
// picture; empty with no selected row.
std::string SelectedPicturePath(const CamRows& rows, const saver::SaverSettings& settings);

}  // namespace config
