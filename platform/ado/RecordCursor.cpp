// What every cursor kind shares (see RecordCursor.h).
#include "RecordCursor.h"

#include "TextUtil.h"
#include "ValueConversion.h"

namespace kp::ado {

RecordCursor::~RecordCursor() = default;

int RecordCursor::FieldIndex(std::u16string_view name) const {
  const std::vector<ColumnInfo>& cols = Columns();
  for (size_t f = 0; f < fields_.size(); ++f)
    if (EqualsNoCase(cols[fields_[f]].name, name)) return (int)f;
  return -1;
}

void RecordCursor::Values(const Cell* cells, const std::vector<int>& used, std::vector<VARIANT>& out) const {
  out.resize(fields_.size());
  for (auto& v : out) VariantInit(&v);
  for (int f : used)
    if (f >= 0) ValueConversion::CellToVariant(FieldColumn(f), cells[fields_[f]], &out[f]);
}

}  // namespace kp::ado
