// Arena and RowSet (see RowSet.h).
#include "RowSet.h"

#include <cstring>

namespace kp::ado {

void* Arena::Alloc(size_t bytes) {
  bytes = (bytes + 7) & ~size_t(7);
  if (bytes > left_) {
    size_t size = bytes > chunkSize_ / 4 ? bytes : chunkSize_;
    if (size == bytes && cur_ != nullptr) {
      // A large block gets a chunk of its own; the current chunk stays in use.
      chunks_.emplace_back(new char[size]);
      reserved_ += size;
      return chunks_.back().get();
    }
    chunks_.emplace_back(new char[size]);
    if (chunks_.size() == 1) firstSize_ = size;
    reserved_ += size;
    cur_ = chunks_.back().get();
    left_ = size;
  }
  void* p = cur_;
  cur_ += bytes;
  left_ -= bytes;
  return p;
}

Cell Arena::Text(const char16_t* text, size_t units) {
  Cell c;
  c.kind = CellKind::Text;
  c.size = (uint32_t)units;
  if (units) {
    void* p = Alloc(units * sizeof(char16_t));
    std::memcpy(p, text, units * sizeof(char16_t));
    c.p = p;
  } else {
    c.p = u"";
  }
  return c;
}

Cell Arena::Blob(const void* data, size_t bytes) {
  Cell c;
  c.kind = CellKind::Blob;
  c.size = (uint32_t)bytes;
  if (bytes) {
    void* p = Alloc(bytes);
    std::memcpy(p, data, bytes);
    c.p = p;
  } else {
    c.p = nullptr;
  }
  return c;
}

Cell Arena::Copy(const Cell& src) {
  if (src.kind == CellKind::Text) return Text(src.text(), src.size);
  if (src.kind == CellKind::Blob) return Blob(src.p, src.size);
  return src;
}

void Arena::Reset() {
  if (chunks_.empty()) return;
  chunks_.resize(1);
  reserved_ = firstSize_;
  cur_ = chunks_[0].get();
  left_ = firstSize_;
}

RowSet::RowSet(std::vector<ColumnInfo> columns) : columns_(std::move(columns)) {}

size_t RowSet::AppendRow() {
  size_t n = columns_.size();
  Cell* cells = static_cast<Cell*>(arena_.Alloc(n * sizeof(Cell) + (n == 0 ? 8 : 0)));
  for (size_t i = 0; i < n; ++i) new (&cells[i]) Cell();
  rows_.push_back(Row{cells, false});
  return rows_.size() - 1;
}

}  // namespace kp::ado
