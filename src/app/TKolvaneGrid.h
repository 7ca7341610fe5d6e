#pragma once
// The result grid of the join window: an owner-drawn grid over the result model it holds, with
// two fixed row-number columns, the header row of column letters and, when the join has one,
// the fixed title row. Interface thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "csv/TCsvSorter.h"
#include "join/TKolvane.h"
#include "join/TKolvaneGridModel.h"
#include "ui/Grids.h"

class TKolvaneGrid : public kv::TDrawGrid {
    KV_CLASS(TKolvaneGrid)
public:
    // titleFlag: the first row that arrives is the title row (pass TKolvane::HasTitleRow).
    TKolvaneGrid(kv::TComponent* owner, bool titleFlag);
    ~TKolvaneGrid() override;

    // Row count and fixed rows from the model, then a repaint.
    void UpdateGrid();
    // Hands one batch of the engine to the model; the column count follows the model's. Rows
    // that come into view are shown at once; rows below the view only lengthen the scroll bar,
    // and those updates are gathered to one every kGatherMs (any other change of the model, and
    // UpdateGrid, applies what is pending).
    void AddRows(const std::vector<JoinedRow>& batch);
    static constexpr unsigned kGatherMs = 100;
    bool UpdatePending() const { return updatePending_; }
    // View 0 all rows, 1 matched keys, 2 every left row, 3 every right row.
    void SetShowType(int type);
    // 0 the left file's row order, 1 the right file's.
    void SortBySide(int side);
    void SortByInfos(const std::vector<TCsvSorter::TSortInfo>& infos);
    std::u16string GetCellText(int row, int col) const;

    // How a cell is painted: background and text colours and the DrawText format.
    struct TCellLook {
        kv::TColor brush;
        kv::TColor font;
        unsigned format;
    };
    TCellLook CellLook(int col, int row, kv::TGridDrawState state) const;

    TKolvaneGridModel Model;

protected:
    void DrawCell(int col, int row, const RECT& rect, kv::TGridDrawState state) override;

private:
    bool updatePending_ = false;
    unsigned lastUpdate_ = 0;    // tick count of the last UpdateGrid
    bool lastRowInView_ = false; // at the last UpdateGrid: further rows would come into view
};
