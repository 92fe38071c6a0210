// The kernel library's operations: kernel objects (curves, section strata), their coded
// properties, attribute records and flags, and the map's entity store. Exported with plain C
// names (on Windows the maker's library is imported by ordinal).
#pragma once
#include "zvrecords.h"

#if defined(ZVKERNEL_BUILD)
#define ZVKERNEL_API extern "C" __attribute__((visibility("default")))
#else
#define ZVKERNEL_API extern "C"
#endif

// Kinds of kernel object.
enum ZvObjectKind : int {
  ZvKindPolyline = 2,     // line points are its nodes
  ZvKindSmoothCurve = 3,  // line points are a densified curve through its nodes
  ZvKindCurve14 = 14,     // a polyline whose line points are set explicitly (its nodes until then)
  ZvKindSectionStratum = 27
};

// Property codes used by the command (others are documented in docs/hostlibs.md).
enum ZvProperty : int {
  ZvPropLinePointCount = 0,  // int32 out
  ZvPropLinePoints = 1,      // Point3D[] out, count argument 0
  ZvPropNodePointCount = 4,  // int32 out
  ZvPropNodePoints = 27,     // Point3D[] out, count argument = the count read through 4
  ZvPropScale = 20,          // double in, count 0
  ZvPropStratum145 = 145,    // int32 in, count 0
  ZvPropStratum147 = 147,    // int32 in, count 0
  ZvPropSamples = 155,       // StratumSample[] in, count = number of samples
  // Added for the host: building curves and reading a stratum back (docs/hostlibs.md).
  // Reads of arrays copy min(count, size) elements, all of them for count 0.
  ZvPropSampleCount = 156,     // int32 out
  ZvPropSetLinePoints = 1001,  // Point3D[] in, count; a null buffer returns to derived line points
  ZvPropScaleOut = 1020,       // double out
  ZvPropSetNodePoints = 1027,  // Point3D[] in, count
  ZvPropStratum145Out = 1145,  // int32 out
  ZvPropStratum147Out = 1147,  // int32 out
  ZvPropSamplesOut = 1155      // StratumSample[] out, count as for reads of arrays
};

enum ZvStoreRequestCode : int {
  ZvStoreInsert = 46  // buffer: address of an object handle, count 0; answers the new entity id
};

ZVKERNEL_API int ObjectProperty(ZvHandle object, int property, void* buffer, int count);
ZVKERNEL_API ZvHandle CreateObject(int kind);
ZVKERNEL_API int StoreRequest(ZvHandle store, int code, void* buffer, int count);
ZVKERNEL_API int GetAttributes(ZvHandle object, EntityAttributes* attributes);
ZVKERNEL_API int SetAttributes(ZvHandle object, const EntityAttributes* attributes);
ZVKERNEL_API int GetObjectFlags(ZvHandle object);
ZVKERNEL_API int SetObjectFlags(ZvHandle object, int flags);

// ---- host side ----------------------------------------------------------------------------
// Operations the host application uses to hold a map: stores, loading entities with their ids,
// looking entities up and undoing an operation group. Invalid handles answer 0 (or do nothing
// and answer 0); nothing here throws.

// Kind of an object (2, 3, 14, 27); 0 for an invalid handle.
ZVKERNEL_API int ZvObjectKind(ZvHandle object);
// Destroys an object that is in no store; 1, or 0 (invalid handle, or the object is in a store).
ZVKERNEL_API int ZvReleaseObject(ZvHandle object);

// A new, empty entity store; 0 when handles are exhausted.
ZVKERNEL_API ZvHandle ZvCreateStore(void);
// Destroys a store and every object in it; 1 or 0.
ZVKERNEL_API int ZvDestroyStore(ZvHandle store);
// Inserts `object` as entity `id` (loading a map): 1, or 0 when the id is not positive or is
// taken, or the object is already in a store.
ZVKERNEL_API int ZvStoreInsertWithId(ZvHandle store, ZvHandle object, int32_t id);
// The object handle of entity `id`; 0 when the store has no such entity.
ZVKERNEL_API ZvHandle ZvStoreLookup(ZvHandle store, int32_t id);
// The kind of entity `id`; 0 when there is none.
ZVKERNEL_API int ZvStoreEntityKind(ZvHandle store, int32_t id);
// Number of entities (deleted-flagged ones included).
ZVKERNEL_API int ZvStoreEntityCount(ZvHandle store);
// Copies up to `capacity` entity ids, in insertion order, to `ids`; answers how many it copied.
ZVKERNEL_API int ZvStoreEntityIds(ZvHandle store, int32_t* ids, int capacity);

// Undo: saves the store's entities and their objects' state; answers a state handle (0 on
// failure). Restoring puts the store back to that state (entities inserted since are removed
// and their objects released; saved objects keep their handles); the state stays valid and
// can be restored again. Release a state when it is no longer needed.
ZVKERNEL_API ZvHandle ZvSaveStoreState(ZvHandle store);
ZVKERNEL_API int ZvRestoreStoreState(ZvHandle store, ZvHandle state);
ZVKERNEL_API int ZvReleaseStoreState(ZvHandle state);
