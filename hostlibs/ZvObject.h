// A kernel object: a curve (kinds 2, 3, 14) or a section stratum (kind 27), with its attribute
// record and flag word, and the coded properties through which callers read and write it.
//
// The property codes and their buffers are listed in docs/hostlibs.md. Reads copy out of the
// object, writes copy into it; the object never keeps a caller's pointer. A curve's line points
// are derived from its nodes on demand (and cached) unless explicit line points were set.
//
// Point arrays are immutable once stored and shared between copies of an object: a saved state
// of a store (undo) copies its objects without copying their points, and a write replaces an
// array instead of changing it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/zvkernel.h"

class ZvObject {
 public:
  explicit ZvObject(int kind);

  static bool IsKnownKind(int kind);

  int Kind() const { return kind_; }
  bool IsCurve() const { return kind_ != ZvKindSectionStratum; }

  // Reads or writes property `code` through `buffer` (see docs/hostlibs.md); 1 or 0.
  int Property(int code, void* buffer, int count);

  EntityAttributes& Attributes() { return attributes_; }
  int Flags() const { return flags_; }
  void SetFlags(int flags) { flags_ = flags; }

  // The store the object was inserted into (0: none; an object joins one store at most).
  ZvHandle Store() const { return store_; }
  void SetStore(ZvHandle store) { store_ = store; }

 private:
  const std::vector<Point3D>& LinePoints();
  int CurveProperty(int code, void* buffer, int count);
  int StratumProperty(int code, void* buffer, int count);

  int kind_;
  EntityAttributes attributes_;
  int flags_ = 0;
  ZvHandle store_ = 0;
  template <typename T>
  using Shared = std::shared_ptr<const std::vector<T>>;

  // Curves.
  Shared<Point3D> nodes_ = std::make_shared<const std::vector<Point3D>>();
  Shared<Point3D> explicitLine_;  // null: none
  Shared<Point3D> derivedLine_;   // cache, dropped when the nodes change
  // Section strata.
  Shared<StratumSample> samples_ = std::make_shared<const std::vector<StratumSample>>();
  double scale_ = 0.0;
  int32_t value145_ = 0;
  int32_t value147_ = 0;
};
