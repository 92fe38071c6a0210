// Creation of the section-stratum entity from the two picked curves: the curves' point lists
// are read from the kernel, the sample list is built (stratum.cpp), a kernel object of the
// stratum kind is created and inserted into the map's entity store with its samples, scale and
// stratum code, and the map control is told what changed.
//
// Once the object is inserted every further step is carried out and the result is 1; the
// results of the kernel's property and attribute calls are not examined. Host automation errors
// (COleException*) pass through to the command's caller.
#include <cstring>

#include "host/CVOItem.h"
#include "host/CVOItemCollection.h"
#include "host/CVantorObjects.h"
#include "host/zvkernel.h"
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

// The scale written on the stratum: the map's scale, or the current item's when the map has
// none (-1.0), divided by the scale unit and by 1000.
double StratumScale(CVantorObjects* map) {
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
  return scale / map->GetScaleUnit() / 1000.0;
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
  ZvHandle first = static_cast<ZvHandle>(map->GetEntityHandle(firstId));
  ZvHandle second = static_cast<ZvHandle>(map->GetEntityHandle(secondId));
  CArray<Point3D, Point3D&> firstNodes, secondNodes, firstLine, secondLine;
  ReadNodePoints(first, firstNodes);
  ReadNodePoints(second, secondNodes);
  ReadLinePoints(first, firstLine);
  ReadLinePoints(second, secondLine);
  CArray<StratumSample, StratumSample&> samples;
  if (!BuildStratumSamples(firstNodes, secondNodes, firstLine, secondLine, samples)) return 0;

  ZvHandle stratum = CreateObject(ZvKindSectionStratum);
  if (stratum == 0 || samples.GetSize() < 2) return 0;

  ZvHandle store = static_cast<ZvHandle>(map->GetStoreHandle());
  map->BeginOperation(kOperationName);
  InsertEntity(stratum, store);
  ObjectProperty(stratum, ZvPropSamples, samples.GetData(), static_cast<int>(samples.GetSize()));
  int32_t zero = 0;
  ObjectProperty(stratum, ZvPropStratum145, &zero, 0);
  zero = 0;
  ObjectProperty(stratum, ZvPropStratum147, &zero, 0);
  double scale = StratumScale(map);
  ObjectProperty(stratum, ZvPropScale, &scale, 0);
  map->RegisterEntity(static_cast<LONG>(stratum));
  map->RefreshEntity(static_cast<LONG>(stratum));
  EntityAttributes attributes;
  GetAttributes(stratum, &attributes);
  CopyStratumCode(attributes.code, code);
  SetAttributes(stratum, &attributes);
  map->SetModified(TRUE);
  map->UpdateEntities(CreatedEntityIds.GetData(), static_cast<LONG>(CreatedEntityIds.GetSize()), 1);
  return 1;
}
