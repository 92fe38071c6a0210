// The recordsets that share one set of rows: a recordset and its clones. ADO fires the field and
// record change events (WillChangeField, FieldChangeComplete, WillChangeRecord,
// RecordChangeComplete) of a change made through any of them in every one; the other events only
// in the recordset that was used. Each member registers the slot of its event source (which it
// makes only when a client asks for its connection points, so the slot may be empty), and leaves
// when it ends or when Requery gives it rows of its own.
#pragma once
#include <memory>
#include <vector>

namespace kp::ado {

class RecordsetEventSource;

class CloneEvents {
 public:
  void Join(const std::unique_ptr<RecordsetEventSource>* slot) { members_.push_back(slot); }
  void Leave(const std::unique_ptr<RecordsetEventSource>* slot);
  // The event sources of the members other than `self` that have one.
  std::vector<RecordsetEventSource*> Others(const std::unique_ptr<RecordsetEventSource>* self) const;

 private:
  std::vector<const std::unique_ptr<RecordsetEventSource>*> members_;
};

}  // namespace kp::ado
