// The materialised rows of a client-side (static) cursor, and the cell representation that every
// cursor uses for the current row.
//
// A cell holds a value the way the provider stores it: Null, a 64-bit integer, a double, UTF-16
// text or bytes. It is 16 bytes; text and bytes live in an arena owned by the row set (or, for a
// forward-only cursor, by the one-row buffer), so a materialised row costs one 16-byte cell per
// column plus its text, and no heap VARIANT per cell. Conversion to the VARIANT of the field's ADO
// type happens when a value is read (ValueConversion.h).
//
// Rows are never moved or renumbered: a row's index is its identity (bookmarks are index + 1),
// so a sort or a filter is a separate order of indices (the cursor's view). Deleted rows stay in
// place, flagged. Edited cells get fresh arena space; the old space is reclaimed only when the
// row set is dropped (edits are rare compared with reads).
//
// Arena and RowSet are exported from the library for the unit tests of the client view.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "ColumnInfo.h"
#include "kp/kpplatform.h"

namespace kp::ado {

enum class CellKind : uint8_t { Null, Int, Real, Text, Blob };

struct Cell {
  CellKind kind = CellKind::Null;
  uint32_t size = 0;  // Text: UTF-16 units; Blob: bytes
  union {
    int64_t i;
    double d;
    const void* p;
  };
  Cell() : i(0) {}
  static Cell Int(int64_t v) {
    Cell c;
    c.kind = CellKind::Int;
    c.i = v;
    return c;
  }
  static Cell Real(double v) {
    Cell c;
    c.kind = CellKind::Real;
    c.d = v;
    return c;
  }
  const char16_t* text() const { return static_cast<const char16_t*>(p); }
};
static_assert(sizeof(Cell) == 16);

// A bump allocator in chunks; memory is returned all at once (Reset or destruction).
class KPAPI Arena {
 public:
  explicit Arena(size_t chunkSize = 64 * 1024) : chunkSize_(chunkSize) {}
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  void* Alloc(size_t bytes);
  // Copies the payload of a Text or Blob cell into this arena (other kinds copy as they are).
  Cell Copy(const Cell& src);
  Cell Text(const char16_t* text, size_t units);
  Cell Blob(const void* data, size_t bytes);
  void Reset();  // keeps the first chunk for reuse
  size_t BytesReserved() const { return reserved_; }

 private:
  size_t chunkSize_;
  std::vector<std::unique_ptr<char[]>> chunks_;
  char* cur_ = nullptr;
  size_t left_ = 0;
  size_t reserved_ = 0;
  size_t firstSize_ = 0;
};

class KPAPI RowSet {
 public:
  explicit RowSet(std::vector<ColumnInfo> columns);
  const std::vector<ColumnInfo>& Columns() const { return columns_; }
  std::vector<ColumnInfo>& Columns() { return columns_; }
  size_t ColumnCount() const { return columns_.size(); }
  size_t RowCount() const { return rows_.size(); }  // deleted rows included

  // Appends a row of Null cells and answers its index.
  size_t AppendRow();
  Cell* Cells(size_t row) { return rows_[row].cells; }
  const Cell* Cells(size_t row) const { return rows_[row].cells; }
  // Stores a copy of value (payload copied into the arena).
  void Set(size_t row, size_t column, const Cell& value) { rows_[row].cells[column] = arena_.Copy(value); }
  bool Deleted(size_t row) const { return rows_[row].deleted; }
  void MarkDeleted(size_t row) {
    rows_[row].deleted = true;
    ++deletions_;
  }
  // Counts MarkDeleted calls, so that views know when they may hold deleted rows.
  uint64_t Deletions() const { return deletions_; }
  Arena& arena() { return arena_; }
  // Memory held for rows and their cells (for the benchmark's per-row figure).
  size_t BytesUsed() const { return arena_.BytesReserved() + rows_.capacity() * sizeof(Row); }

 private:
  struct Row {
    Cell* cells;
    bool deleted;
  };
  std::vector<ColumnInfo> columns_;
  std::vector<Row> rows_;
  Arena arena_{256 * 1024};
  uint64_t deletions_ = 0;
};

}  // namespace kp::ado
