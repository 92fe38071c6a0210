// Tests of the client cursor's view over a row set built by hand, without a database: the order
// and position of rows, bookmarks that name rows across Sort, Filter and clones, deleted rows
// that stay current until the next move, and where AddNew, CancelUpdate and a written edit leave
// the position. The Recordset suites run the same paths through a provider.
#include <gtest/gtest.h>
#include <oleauto.h>

#include <memory>
#include <vector>

#include "ClientView.h"

namespace kp::ado {
namespace {

// A row set of one integer column "v" holding values, and the field map of its one field.
class ClientViewTest : public ::testing::Test {
 protected:
  void Fill(const std::vector<int64_t>& values) {
    ColumnInfo c;
    c.name = u"v";
    c.typed = true;
    c.type = adInteger;
    c.definedSize = 4;
    c.vt = VT_I4;
    rows_ = std::make_shared<RowSet>(std::vector<ColumnInfo>{c});
    for (int64_t v : values) rows_->Cells(rows_->AppendRow())[0] = Cell::Int(v);
  }
  std::unique_ptr<ClientView> View() { return std::make_unique<ClientView>(rows_, fields_); }
  static int64_t Value(const ClientView& view) {
    const Cell* cells = view.Current();
    return cells ? cells[0].i : -1;
  }
  // The values of the view in its order, from its first row (it is left past the last).
  static std::vector<int64_t> Walk(ClientView& view) {
    std::vector<int64_t> out;
    if (FAILED(view.MoveFirst())) return out;
    while (!view.Eof()) {
      out.push_back(Value(view));
      if (FAILED(view.MoveNext())) break;
    }
    return out;
  }
  static VARIANT Bookmark(const ClientView& view) {
    VARIANT b;
    VariantInit(&b);
    EXPECT_EQ(view.GetBookmark(&b), S_OK);
    return b;
  }
  static VARIANT Text(const char16_t* s) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
  }
  static VARIANT None() {
    VARIANT v;
    VariantInit(&v);
    return v;
  }
  static VARIANT Missing() {
    VARIANT v;
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
  }

  std::shared_ptr<RowSet> rows_;
  std::vector<int> fields_{0};
};

constexpr HRESULT AdoErr(int number) {
  return (HRESULT)(0x800A0000u + (unsigned)number);
}

TEST_F(ClientViewTest, StartsOnTheFirstRowWithoutDeletedOnes) {
  Fill({10, 20, 30});
  rows_->MarkDeleted(1);
  auto view = View();
  EXPECT_FALSE(view->Bof());
  EXPECT_EQ(Value(*view), 10);
  EXPECT_EQ(view->RecordCount(), 2);
  EXPECT_EQ(view->AbsolutePosition(), 1);
  EXPECT_EQ(Walk(*view), (std::vector<int64_t>{10, 30}));
  EXPECT_EQ(view->AbsolutePosition(), adPosEOF);
  EXPECT_EQ(view->MoveNext(), AdoErr(adErrNoCurrentRecord));
}

TEST_F(ClientViewTest, AnEmptyViewIsBofAndEof) {
  Fill({});
  auto view = View();
  EXPECT_TRUE(view->Bof());
  EXPECT_TRUE(view->Eof());
  EXPECT_EQ(view->AbsolutePosition(), adPosUnknown);
  EXPECT_EQ(view->MoveFirst(), AdoErr(adErrNoCurrentRecord));
  EXPECT_EQ(view->Current(), nullptr);
}

TEST_F(ClientViewTest, MovesStopAtBofAndEof) {
  Fill({1, 2, 3});
  auto view = View();
  ASSERT_EQ(view->MovePrevious(), S_OK);
  EXPECT_TRUE(view->Bof());
  EXPECT_EQ(view->MovePrevious(), AdoErr(adErrNoCurrentRecord));
  ASSERT_EQ(view->MoveLast(), S_OK);
  EXPECT_EQ(Value(*view), 3);
  auto noop = [] { return S_OK; };
  ASSERT_EQ(view->Move(5, Missing(), noop), S_OK);
  EXPECT_TRUE(view->Eof());
  ASSERT_EQ(view->Move(-10, Missing(), noop), S_OK);
  EXPECT_TRUE(view->Bof());
  ASSERT_EQ(view->SetAbsolutePosition((PositionEnum)2), S_OK);
  EXPECT_EQ(Value(*view), 2);
  EXPECT_EQ(view->SetAbsolutePosition((PositionEnum)4), AdoErr(adErrInvalidArgument));
}

TEST_F(ClientViewTest, MoveCallsBeforeMoveFirstAndStopsOnItsFailure) {
  Fill({1, 2});
  auto view = View();
  int calls = 0;
  EXPECT_EQ(view->Move(1, Missing(), [&] { return ++calls, E_FAIL; }), E_FAIL);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(Value(*view), 1);
}

TEST_F(ClientViewTest, BookmarksNameRowsAcrossSortAndFilter) {
  Fill({20, 10, 30});
  auto view = View();
  ASSERT_EQ(view->MoveLast(), S_OK);
  VARIANT thirty = Bookmark(*view);
  EXPECT_EQ(thirty.dblVal, 3.0);  // row index + 1
  ASSERT_EQ(view->Apply(None(), u"v DESC"), S_OK);
  EXPECT_EQ(Walk(*view), (std::vector<int64_t>{30, 20, 10}));
  ASSERT_EQ(view->SetBookmark(thirty), S_OK);
  EXPECT_EQ(Value(*view), 30);
  EXPECT_EQ(view->AbsolutePosition(), 1);
  VARIANT filter = Text(u"v >= 20");
  ASSERT_EQ(view->Apply(filter, u"v"), S_OK);
  EXPECT_EQ(Walk(*view), (std::vector<int64_t>{20, 30}));
  CompareEnum order;
  VARIANT first;
  first.vt = VT_R8;
  first.dblVal = 1.0;  // the row of 20
  ASSERT_EQ(view->CompareBookmarks(first, thirty, &order), S_OK);
  EXPECT_EQ(order, adCompareLessThan);
  VARIANT ten;
  ten.vt = VT_R8;
  ten.dblVal = 2.0;  // filtered out
  EXPECT_EQ(view->SetBookmark(ten), AdoErr(adErrInvalidArgument));
  EXPECT_EQ(view->CompareBookmarks(ten, thirty, &order), AdoErr(adErrInvalidArgument));
  EXPECT_EQ(order, adCompareNotComparable);
  VariantClear(&filter);
}

TEST_F(ClientViewTest, AFilterThatDoesNotParseLeavesTheViewUnfiltered) {
  Fill({1, 2, 3});
  auto view = View();
  VARIANT filter = Text(u"nosuch = 1");
  EXPECT_EQ(view->Apply(filter, u""), AdoErr(adErrItemNotFound));
  EXPECT_EQ(view->RecordCount(), 3);
  VariantClear(&filter);
  EXPECT_EQ(view->Apply(None(), u"nosuch"), AdoErr(adErrItemNotFound));
  EXPECT_EQ(view->RecordCount(), 3);
}

TEST_F(ClientViewTest, ADeletedRowStaysCurrentUntilTheNextMove) {
  Fill({1, 2, 3});
  auto view = View();
  ASSERT_EQ(view->MoveNext(), S_OK);
  view->Deleted((size_t)view->CurrentRow());
  EXPECT_TRUE(view->CurrentDeleted());
  EXPECT_EQ(view->Current(), nullptr);
  ASSERT_NE(view->Original(), nullptr);  // OriginalValue still reads it
  EXPECT_EQ(view->Original()[0].i, 2);
  EXPECT_EQ(view->RecordCount(), 2);
  ASSERT_EQ(view->MoveNext(), S_OK);  // onto the row after the deleted one, not past it
  EXPECT_EQ(Value(*view), 3);
  EXPECT_EQ(view->AbsolutePosition(), 2);
}

TEST_F(ClientViewTest, AClonesViewSharesTheRowsButNotThePosition) {
  Fill({1, 2, 3});
  auto view = View();
  std::vector<int> cloneFields{0};
  auto clone = view->Clone(cloneFields);
  ASSERT_EQ(clone->MoveLast(), S_OK);
  EXPECT_EQ(Value(*view), 1);
  clone->Deleted((size_t)clone->CurrentRow());
  EXPECT_EQ(view->RecordCount(), 2);
  EXPECT_EQ(Walk(*view), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(view->RowBytes(), clone->RowBytes());
}

// A row added through one view joins a clone's view at its end: counted at once, walked once
// the clone moves, and deleted with the clone's group.
TEST_F(ClientViewTest, ARowAddedThroughOneViewJoinsTheOthers) {
  Fill({1, 2});
  auto view = View();
  std::vector<int> cloneFields{0};
  auto clone = view->Clone(cloneFields);
  VARIANT filter = Text(u"v > 1");
  ASSERT_EQ(clone->Apply(filter, u""), S_OK);
  VariantClear(&filter);
  EXPECT_EQ(clone->RecordCount(), 1);
  view->StartAdd();
  size_t row = rows_->AppendRow();
  rows_->Cells(row)[0] = Cell::Int(0);
  view->Written(row, true);
  EXPECT_EQ(Value(*view), 0);
  EXPECT_EQ(view->AbsolutePosition(), 3);
  EXPECT_EQ(clone->RecordCount(), 2);  // shown as the adding view shows it, filter or not
  EXPECT_EQ(clone->DeleteTargets(adAffectGroup), (std::vector<long>{1, 2}));
  EXPECT_EQ(Walk(*clone), (std::vector<int64_t>{2, 0}));
}

TEST_F(ClientViewTest, AddNewReturnsOnCancelAndAWrittenRowBecomesCurrent) {
  Fill({1, 2, 3});
  auto view = View();
  ASSERT_EQ(view->MoveNext(), S_OK);
  view->StartAdd();
  ASSERT_EQ(view->MoveLast(), S_OK);
  view->CancelAdd();
  EXPECT_EQ(Value(*view), 2);
  size_t row = rows_->AppendRow();
  rows_->Cells(row)[0] = Cell::Int(4);
  view->Written(row, true);
  EXPECT_EQ(Value(*view), 4);
  EXPECT_EQ(view->RecordCount(), 4);
  VARIANT affected;
  affected.vt = VT_I4;
  affected.lVal = adFilterAffectedRecords;
  ASSERT_EQ(view->Apply(affected, u""), S_OK);
  EXPECT_EQ(Walk(*view), (std::vector<int64_t>{4}));
}

TEST_F(ClientViewTest, DeleteTargetsTheCurrentRowOrTheWholeView) {
  Fill({1, 2, 3});
  auto view = View();
  EXPECT_EQ(view->DeleteTargets(adAffectCurrent), (std::vector<long>{0}));
  VARIANT filter = Text(u"v > 1");
  ASSERT_EQ(view->Apply(filter, u""), S_OK);
  VariantClear(&filter);
  EXPECT_EQ(view->DeleteTargets(adAffectGroup), (std::vector<long>{1, 2}));
  view->Deleted(1);
  EXPECT_TRUE(view->DeleteTargets(adAffectCurrent).empty());
  EXPECT_EQ(view->DeleteTargets(adAffectGroup), (std::vector<long>{2}));
}

}  // namespace
}  // namespace kp::ado
