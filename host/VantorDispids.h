// The DISPIDs of the host's automation object model "VantorObjects": the map control, its
// sub-objects and the integer array. One table, shared by the wrappers the plug-ins compile and
// by the host's objects that answer them.
#pragma once

namespace VantorDispid {
// Map control (CVantorObjects).
constexpr long ItemCollection = 2;
constexpr long Selection = 3;
constexpr long CurrentAction = 5;
constexpr long Entities = 7;
constexpr long CurrentItemIndex = 10;
constexpr long ScaleUnit = 11;
constexpr long Modified = 21;
constexpr long CommandGate = 25;
constexpr long Highlight = 27;
constexpr long MapScale = 28;
constexpr long StoreHandle = 30;
constexpr long GetCommandState = 49;
constexpr long SetCommandState = 50;
constexpr long BeginOperation = 52;
constexpr long UpdateEntities = 68;
constexpr long UpdateView = 69;
constexpr long BeginPick = 76;
constexpr long ShowText = 77;
constexpr long UnregisterEntity = 93;
constexpr long RegisterEntity = 94;
constexpr long RefreshEntity = 95;
constexpr long EntityHandle = 99;
constexpr long Refresh = -550;  // stock DISPID_REFRESH

// Selection.
constexpr long SelectionClear = 10;
// Entities.
constexpr long EntitiesGetEntityType = 3;
// CommandGate.
constexpr long GatePrepareLaunch = 3;
constexpr long GateIsBlocked = 4;
constexpr long GateCanLaunch = 5;
// Highlight.
constexpr long HighlightSetHighlight = 3;
constexpr long HighlightDrawEntities = 4;
// ItemCollection and its item.
constexpr long CollectionItem = 3;
constexpr long ItemScale = 9;
// VOIntArray.
constexpr long IntArrayGetSize = 1;
constexpr long IntArrayAdd = 2;  // the host's own
constexpr long IntArrayRemoveAll = 3;
constexpr long IntArrayGetAt = 4;
constexpr long IntArrayRemoveAt = 8;
constexpr long IntArrayGetData = 9;
}  // namespace VantorDispid

#define VANTOR_INTARRAY_PROGID "VantorObjects.VOIntArray"
