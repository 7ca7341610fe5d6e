#pragma once
// The grid of one CSV side of the main window: draws the cells straight from a borrowed table,
// numbers the rows, heads the columns with their letters, keeps the first line as a fixed
// title row on request and paints the key column light green. Windows only; interface thread.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/Grids.h"

class TCsv;

class TCsvGrid : public kv::TDrawGrid {
    KV_CLASS(TCsvGrid)
public:
    // The key column's colour: money green (red 0xC0, green 0xDC, blue 0xC0).
    static constexpr kv::TColor kKeyColor = 12639424;
    // At most this many table columns are shown.
    static constexpr int kMaxColumns = 16384;
    static constexpr int kRowNumberWidth = 20;

    explicit TCsvGrid(kv::TComponent* owner);
    ~TCsvGrid() override;

    // Shows the table (not owned; null for none), from its first column and row. Resets the
    // key column to 0: the caller sets it again.
    void SetCsv(TCsv* csv);
    // The empty sheet: two columns, two rows (three with a title row); the column letters of
    // the last table stay.
    void Clear();
    void SetFirstLineIsTitle(bool value);
    void UpdateRowCount();
    // Table column (0-based) painted as the key; -1 for none.
    void SetKeyCol(int32_t column);
    // A copy of the table's row 0, or empty without a table or rows.
    std::vector<std::u16string> GetTitleRow() const;

    bool GetFirstLineIsTitle() const { return FirstLineIsTitle; }
    const TCsv* GetCsv() const { return Csv; }
    int32_t GetKeyCol() const { return KeyCol; }
    int32_t GetCsvRowCount() const { return CsvRowCount; }
    const std::vector<std::u16string>& GetColumnLetters() const { return ColumnLetters; }

    // What DrawCell paints for a cell: its brush colour and text (for tests and the
    // documentation; DrawCell itself uses the same rules).
    struct TCellLook {
        kv::TColor brush;
        kv::TColor font;
        std::u16string text;
        bool centred; // row numbers and letters; cells start at the top left
    };
    TCellLook CellLook(int col, int row, kv::TGridDrawState state) const;

protected:
    void DrawCell(int col, int row, const RECT& rect, kv::TGridDrawState state) override;

private:
    bool FirstLineIsTitle = false;
    TCsv* Csv = nullptr; // not owned
    std::vector<std::u16string> ColumnLetters;
    int32_t CsvRowCount = 0;
    int32_t KeyCol = 0;
};
