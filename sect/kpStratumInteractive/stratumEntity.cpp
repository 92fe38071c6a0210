// Creation of the section-stratum entity from the two picked curves: the curves' point lists
// are read from the kernel, the sample list is built (stratum.cpp), a kernel object of the
// stratum kind is created and inserted into the map's entity store with its samples, scale and
// stratum code, and the map control is told what changed.
//
// Everything that can fail comes before the insertion: the sample list, the scale (a positive
// finite number, or the creation fails) and every host call whose answer is needed. A failure
// there, a host automation error (COleException*) included, answers 0 with nothing inserted.
// Once the object is inserted every further step is carried out and the result is 1; the
// results of the kernel's property and attribute calls are not examined, and a failing host
// call is contained and the next step runs. No exception leaves CreateSectionStratum.
#include <cmath>
#include <cstring>

#include "host/CVOItem.h"
#include "host/CVOItemCollection.h"
#include "host/CVantorObjects.h"
#include "host/zvkernel.h"
#include "Contained.h"
#include "stratum.h"

namespace {

const char kOperationName[] = "创建剖面地层实体";
constexpr size_t kCodeFieldSize = sizeof(EntityAttributes::code);

// Reads a curve's node points: the count through property 4, then the points through 27.
void ReadNodePoints(ZvHandle curve, CArray<Point3D, Point3D&>& points) {
  int32_t count = 0;
  ObjectProperty(curve, ZvPropNodePointCount, &count, 0);
  points.SetSize(count > 0 ? count : 0);
  ObjectProperty(curve, ZvPropNodePoints, points.GetData(), static_cast<int>(points.GetSize()));
}

// Reads a curve's line points: the count through property 0, then the points through 1.
void ReadLinePoints(ZvHandle curve, CArray<Point3D, Point3D&>& points) {
  int32_t count = 0;
  ObjectProperty(curve, ZvPropLinePointCount, &count, 0);
  points.SetSize(count > 0 ? count : 0);
  ObjectProperty(curve, ZvPropLinePoints, points.GetData(), 0);
}

bool PositiveFinite(double value) {
  return std::isfinite(value) && value > 0.0;
}

// The scale written on the stratum: the map's scale, or the current item's when the map has
// none (-1.0), divided by the scale unit and by 1000. Answers false when the map's or the
// item's scale is not a positive finite number (NaN, an infinity, zero, negative: a missing
// item scale reads as NaN), or the result is not one (a scale unit of zero, negative or not
// finite, or an overflow); the scale unit is not read after a bad scale.
bool StratumScale(CVantorObjects* map, double& result) {
  double scale = map->GetMapScale();
  if (scale == -1.0) {
    LONG index = map->GetCurrentItemIndex();
    CVOItemCollection items(map->GetItemCollection());
    VARIANT position;
    VariantInit(&position);
    position.vt = VT_I4;
    position.lVal = index;
    CVOItem item(items.Item(position));
    scale = item.GetItemScale();
  }
  if (!PositiveFinite(scale)) return false;
  const double value = scale / map->GetScaleUnit() / 1000.0;
  if (!PositiveFinite(value)) return false;
  result = value;
  return true;
}

// What the stratum is made of, gathered before anything is inserted.
struct StratumParts {
  CArray<StratumSample, StratumSample&> samples;
  double scale = 0.0;
  ZvHandle object = 0;
  ZvHandle store = 0;
};

// Everything before the insertion: the curves' points, the samples, the scale (read here,
// ahead of the store and the operation, so that a bad one stops the creation), the new
// object, the store and the operation's name. False when no stratum can be made.
bool PrepareStratum(CVantorObjects* map, LONG firstId, LONG secondId, StratumParts& parts) {
  ZvHandle first = static_cast<ZvHandle>(map->GetEntityHandle(firstId));
  ZvHandle second = static_cast<ZvHandle>(map->GetEntityHandle(secondId));
  CArray<Point3D, Point3D&> firstNodes, secondNodes, firstLine, secondLine;
  ReadNodePoints(first, firstNodes);
  ReadNodePoints(second, secondNodes);
  ReadLinePoints(first, firstLine);
  ReadLinePoints(second, secondLine);
  if (!BuildStratumSamples(firstNodes, secondNodes, firstLine, secondLine, parts.samples)) return false;
  if (!StratumScale(map, parts.scale)) return false;
  parts.object = CreateObject(ZvKindSectionStratum);
  if (parts.object == 0 || parts.samples.GetSize() < 2) return false;
  parts.store = static_cast<ZvHandle>(map->GetStoreHandle());
  map->BeginOperation(kOperationName);
  return true;
}

}  // namespace

void CopyStratumCode(char (&field)[32], const char* code) {
  size_t length = std::strlen(code);
  size_t kept = 0;
  while (kept < length) {
    size_t width = (IsDBCSLeadByte(static_cast<BYTE>(code[kept])) && kept + 1 < length) ? 2 : 1;
    if (kept + width > kCodeFieldSize - 1) break;
    kept += width;
  }
  std::memcpy(field, code, kept);
  field[kept] = '\0';
}

int InsertEntity(ZvHandle object, ZvHandle store) {
  ZvHandle handle = object;
  LONG id = StoreRequest(store, ZvStoreInsert, &handle, 0);
  CreatedEntityIds.Add(id);
  return id;
}

int CreateSectionStratum(CVantorObjects* map, LONG firstId, LONG secondId, CString code) {
  StratumParts parts;
  bool ready = false;
  if (!RunContained("CreateSectionStratum", [&] { ready = PrepareStratum(map, firstId, secondId, parts); }) ||
      !ready) {
    return 0;
  }
  const ZvHandle stratum = parts.object;
  InsertEntity(stratum, parts.store);
  ObjectProperty(stratum, ZvPropSamples, parts.samples.GetData(), static_cast<int>(parts.samples.GetSize()));
  int32_t zero = 0;
  ObjectProperty(stratum, ZvPropStratum145, &zero, 0);
  zero = 0;
  ObjectProperty(stratum, ZvPropStratum147, &zero, 0);
  double scale = parts.scale;
  ObjectProperty(stratum, ZvPropScale, &scale, 0);
  RunContained("RegisterEntity", [&] { map->RegisterEntity(static_cast<LONG>(stratum)); });
  RunContained("RefreshEntity", [&] { map->RefreshEntity(static_cast<LONG>(stratum)); });
  EntityAttributes attributes{};
  GetAttributes(stratum, &attributes);
  CopyStratumCode(attributes.code, code);
  SetAttributes(stratum, &attributes);
  RunContained("Modified", [&] { map->SetModified(TRUE); });
  RunContained("UpdateEntities", [&] {
    map->UpdateEntities(CreatedEntityIds.GetData(), static_cast<LONG>(CreatedEntityIds.GetSize()), 1);
  });
  return 1;
}
