#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "UiTestSupport.h"
#include "app/TCsvGrid.h"
#include "base/Text.h"
#include "csv/TCsv.h"
#include "ui/Application.h"
#include "ui/Forms.h"

namespace {

std::unique_ptr<TCsv> Table(std::u16string_view text) {
    auto csv = std::make_unique<TCsv>();
    EXPECT_TRUE(csv->SetText(text));
    return csv;
}

// A grid on a form of its own, as the main window places it.
class CsvGridTest : public ::testing::Test {
protected:
    CsvGridTest() : form(kv::Application) {
        form.SetClientSize(480, 300);
        grid = kv::Create<TCsvGrid>(&form);
        grid->SetParent(&form);
        grid->SetAlign(kv::alClient);
    }
    std::u16string Text(int col, int row) const { return grid->CellLook(col, row, 0).text; }
    kv::TForm form;
    TCsvGrid* grid = nullptr;
};

const char16_t kThreeRows[] = u"id,name,dept\r\n1,a,x\r\n2,b,y\r\n";

TEST_F(CsvGridTest, ThreeRowsAreNumberedFromOneWithoutTitle) {
    const auto csv = Table(kThreeRows);
    grid->SetCsv(csv.get());
    EXPECT_EQ(grid->ColCount(), 4);
    EXPECT_EQ(grid->RowCount(), 4);
    EXPECT_EQ(grid->FixedRows(), 1);
    EXPECT_EQ(grid->FixedCols(), 1);
    EXPECT_EQ(Text(0, 0), u"");
    EXPECT_EQ(Text(0, 1), u"1");
    EXPECT_EQ(Text(0, 3), u"3");
    EXPECT_EQ(Text(1, 0), u"A");
    EXPECT_EQ(Text(3, 0), u"C");
    EXPECT_EQ(Text(1, 1), u"id");
    EXPECT_EQ(Text(3, 3), u"y");
}

TEST_F(CsvGridTest, TitleLineIsAFixedRowWithoutNumber) {
    const auto csv = Table(kThreeRows);
    grid->SetCsv(csv.get());
    grid->SetFirstLineIsTitle(true);
    EXPECT_EQ(grid->RowCount(), 4);
    EXPECT_EQ(grid->FixedRows(), 2);
    EXPECT_EQ(Text(0, 1), u"");
    EXPECT_EQ(Text(0, 2), u"1");
    EXPECT_EQ(Text(0, 3), u"2");
    EXPECT_EQ(Text(2, 1), u"name"); // the title row shows the table's row 0
    grid->SetFirstLineIsTitle(false);
    EXPECT_EQ(grid->FixedRows(), 1);
    EXPECT_EQ(Text(0, 1), u"1");
}

TEST_F(CsvGridTest, TitleOnATableOfOneRowKeepsOneEmptyRow) {
    const auto csv = Table(u"only,row\r\n");
    grid->SetCsv(csv.get());
    grid->SetFirstLineIsTitle(true);
    EXPECT_EQ(grid->RowCount(), 3);
    EXPECT_EQ(grid->FixedRows(), 2);
    EXPECT_EQ(Text(1, 2), u"");
    EXPECT_EQ(Text(0, 2), u"");
}

TEST_F(CsvGridTest, WithoutTableTheEmptySheetKeepsTheLastLetters) {
    EXPECT_EQ(grid->ColCount(), 2);
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(grid->ColWidths(0), TCsvGrid::kRowNumberWidth);
    EXPECT_EQ(grid->ColWidths(1), grid->DefaultColWidth());
    EXPECT_EQ(Text(1, 0), u"");
    const auto csv = Table(kThreeRows);
    grid->SetCsv(csv.get());
    grid->SetColWidths(2, 150);
    grid->SetCsv(nullptr);
    EXPECT_EQ(grid->ColCount(), 2);
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(grid->ColWidths(0), TCsvGrid::kRowNumberWidth);
    EXPECT_EQ(grid->ColWidths(2), grid->DefaultColWidth());
    EXPECT_EQ(Text(1, 0), u"A"); // the letters of the last table stay
    EXPECT_EQ(Text(0, 1), u"");  // no numbers, no cells
    EXPECT_EQ(Text(1, 1), u"");
    grid->SetFirstLineIsTitle(true);
    grid->Clear();
    EXPECT_EQ(grid->RowCount(), 3);
}

TEST_F(CsvGridTest, KeyColumnIsLightGreenOutsideTheFixedCells) {
    const auto csv = Table(kThreeRows);
    grid->SetCsv(csv.get());
    grid->SetFirstLineIsTitle(true);
    EXPECT_EQ(grid->GetKeyCol(), 0); // a new table starts at column 0
    grid->SetKeyCol(2);
    EXPECT_EQ(grid->CellLook(3, 2, 0).brush, TCsvGrid::kKeyColor);
    EXPECT_EQ(grid->CellLook(3, 3, 0).brush, kv::TColor(0xC0DCC0));
    EXPECT_EQ(grid->CellLook(2, 2, 0).brush, grid->Color());
    EXPECT_EQ(grid->CellLook(3, 0, kv::gdFixed).brush, grid->FixedColor());
    EXPECT_EQ(grid->CellLook(3, 1, kv::gdFixed).brush, grid->FixedColor());
    EXPECT_EQ(grid->CellLook(3, 2, kv::gdSelected).brush, kv::clHighlight);
    EXPECT_EQ(grid->CellLook(3, 2, kv::gdSelected).font, kv::clHighlightText);
    grid->SetKeyCol(-1);
    for (int col = grid->FixedCols(); col < grid->ColCount(); ++col)
        EXPECT_NE(grid->CellLook(col, 2, 0).brush, TCsvGrid::kKeyColor) << col;
}

TEST_F(CsvGridTest, KeyColumnIsPaintedOnScreen) {
    const auto csv = Table(kThreeRows);
    grid->SetCsv(csv.get());
    grid->SetKeyCol(1);
    form.Show();
    grid->Repaint();
    const RECT key = grid->CellRect(2, 3);
    const RECT other = grid->CellRect(3, 3);
    const HDC dc = GetDC(grid->Handle());
    const COLORREF keyPixel = GetPixel(dc, key.right - 3, key.bottom - 3);
    const COLORREF otherPixel = GetPixel(dc, other.right - 3, other.bottom - 3);
    ReleaseDC(grid->Handle(), dc);
    form.Hide();
    EXPECT_EQ(keyPixel, RGB(0xC0, 0xDC, 0xC0));
    EXPECT_EQ(otherPixel, kv::ColorToRGB(grid->Color()));
}

TEST_F(CsvGridTest, AtMost16384TableColumnsAreShown) {
    // A cell exists once a character lands in it: the last one holds one.
    const std::u16string line = std::u16string(16390, u',') + u"z";
    const auto csv = Table(line + u"\r\n");
    ASSERT_EQ(csv->GetColCount(), 16391);
    grid->SetCsv(csv.get());
    EXPECT_EQ(grid->ColCount(), 16385);
    EXPECT_EQ(grid->GetColumnLetters().size(), 16384u);
    EXPECT_EQ(Text(16384, 0), u"XFD");
}

TEST_F(CsvGridTest, TitleRowIsACopyOfTheFirstRow) {
    EXPECT_TRUE(grid->GetTitleRow().empty());
    const auto csv = Table(kThreeRows);
    grid->SetCsv(csv.get());
    EXPECT_EQ(grid->GetTitleRow(), (std::vector<std::u16string>{u"id", u"name", u"dept"}));
    const auto empty = std::make_unique<TCsv>();
    grid->SetCsv(empty.get());
    EXPECT_TRUE(grid->GetTitleRow().empty());
    EXPECT_EQ(grid->ColCount(), 2); // a table without columns still shows one empty column
}

} // namespace
