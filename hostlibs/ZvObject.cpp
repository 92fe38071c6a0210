// Kernel objects and their coded properties; see ZvObject.h and docs/hostlibs.md.
#include "ZvObject.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "SmoothCurve.h"

namespace {

// Copies a stored array out: min(count, size) elements, all of them for count 0; fails for a
// negative count, or a null buffer when there is something to copy.
template <typename T>
int CopyOut(const std::vector<T>& from, void* buffer, int count) {
  if (count < 0) {
    return 0;
  }
  const size_t n = count == 0 ? from.size() : std::min(from.size(), static_cast<size_t>(count));
  if (n == 0) {
    return 1;
  }
  if (buffer == nullptr) {
    return 0;
  }
  std::memcpy(buffer, from.data(), n * sizeof(T));
  return 1;
}

// Copies `count` elements in, as a new array in place of `to`'s; a null buffer is valid only
// with count 0.
template <typename T>
int CopyIn(std::shared_ptr<const std::vector<T>>& to, const void* buffer, int count) {
  if (count < 0 || (buffer == nullptr && count > 0)) {
    return 0;
  }
  auto points = std::make_shared<std::vector<T>>(static_cast<size_t>(count));
  if (count > 0) {
    std::memcpy(points->data(), buffer, static_cast<size_t>(count) * sizeof(T));
  }
  to = std::move(points);
  return 1;
}

template <typename T>
int Put(T value, void* buffer) {
  if (buffer == nullptr) {
    return 0;
  }
  std::memcpy(buffer, &value, sizeof(T));
  return 1;
}

template <typename T>
int Take(T& value, const void* buffer) {
  if (buffer == nullptr) {
    return 0;
  }
  std::memcpy(&value, buffer, sizeof(T));
  return 1;
}

int32_t Count(size_t n) {
  return static_cast<int32_t>(std::min<size_t>(n, INT32_MAX));
}

}  // namespace

ZvObject::ZvObject(int kind) : kind_(kind) {
  std::memset(attributes_.reserved64, 0, sizeof attributes_.reserved64);
}

bool ZvObject::IsKnownKind(int kind) {
  return kind == ZvKindPolyline || kind == ZvKindSmoothCurve || kind == ZvKindCurve14 ||
         kind == ZvKindSectionStratum;
}

int ZvObject::Property(int code, void* buffer, int count) {
  return IsCurve() ? CurveProperty(code, buffer, count) : StratumProperty(code, buffer, count);
}

const std::vector<Point3D>& ZvObject::LinePoints() {
  if (explicitLine_) {
    return *explicitLine_;
  }
  if (kind_ != ZvKindSmoothCurve) {
    return *nodes_;
  }
  if (!derivedLine_) {
    derivedLine_ = std::make_shared<const std::vector<Point3D>>(DensifySmoothCurve(*nodes_));
  }
  return *derivedLine_;
}

int ZvObject::CurveProperty(int code, void* buffer, int count) {
  switch (code) {
    case ZvPropLinePointCount:
      return Put<int32_t>(Count(LinePoints().size()), buffer);
    case ZvPropLinePoints:
      return CopyOut(LinePoints(), buffer, count);
    case ZvPropNodePointCount:
      return Put<int32_t>(Count(nodes_->size()), buffer);
    case ZvPropNodePoints:
      return CopyOut(*nodes_, buffer, count);
    case ZvPropSetNodePoints:
      if (CopyIn(nodes_, buffer, count) == 0) {
        return 0;
      }
      derivedLine_.reset();
      return 1;
    case ZvPropSetLinePoints:
      if (buffer == nullptr) {
        explicitLine_.reset();
        return 1;
      }
      return CopyIn(explicitLine_, buffer, count);
    default:
      return 0;
  }
}

int ZvObject::StratumProperty(int code, void* buffer, int count) {
  switch (code) {
    case ZvPropSamples:
      return CopyIn(samples_, buffer, count);
    case ZvPropSampleCount:
      return Put<int32_t>(Count(samples_->size()), buffer);
    case ZvPropSamplesOut:
      return CopyOut(*samples_, buffer, count);
    case ZvPropScale:
      return Take(scale_, buffer);
    case ZvPropScaleOut:
      return Put(scale_, buffer);
    case ZvPropStratum145:
      return Take(value145_, buffer);
    case ZvPropStratum145Out:
      return Put(value145_, buffer);
    case ZvPropStratum147:
      return Take(value147_, buffer);
    case ZvPropStratum147Out:
      return Put(value147_, buffer);
    default:
      return 0;
  }
}
