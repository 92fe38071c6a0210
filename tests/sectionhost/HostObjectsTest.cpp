// The host's automation objects, called as commands call them: through IDispatch::Invoke with
// the fixed DISPIDs (exact HRESULTs, result types, EXCEPINFO scodes) and through the host/
// wrappers (CVantorObjects and the CVO* drivers). Reference counts of handed-out objects reach
// zero.
#include <gtest/gtest.h>

#include <sstream>

#include "sectionhost/automation/IntArrayObject.h"
#include "sectionhost/map/MapFile.h"
#include "sectionhost/session/Session.h"
#include "host/CVOCommandGate.h"
#include "host/CVOEntities.h"
#include "host/CVOHighlight.h"
#include "host/CVOIntArray.h"
#include "host/CVOItem.h"
#include "host/CVOItemCollection.h"
#include "host/CVOSelection.h"
#include "host/CVantorObjects.h"
#include "host/VantorDispids.h"

namespace sectionhost {
namespace {

using namespace VantorDispid;

const char kMap[] = R"({"type": "FeatureCollection",
 "map": {"scaleUnit": 2, "items": [{"scale": 500}, {"scale": 2000}], "currentItem": 1},
 "features": [
  {"type": "Feature", "id": 1, "properties": {"entityType": 2},
   "geometry": {"type": "LineString", "coordinates": [[0, 0], [10, 0]]}},
  {"type": "Feature", "id": 2, "properties": {"entityType": 40},
   "geometry": {"type": "Point", "coordinates": [1, 1]}}
 ]})";

class HostObjects : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(session_.Start(&error)) << error;
    MapData data;
    ASSERT_TRUE(MapFile::Parse(kMap, &data, &error)) << error;
    ASSERT_TRUE(session_.LoadMap(data, &error)) << error;
    session_.SetCallLog(&calls_);
    control_ = session_.Control();
  }

  // Invoke with arguments given in natural order (reversed here, as DISPPARAMS wants).
  HRESULT Call(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result,
               EXCEPINFO* info = nullptr) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(),
                         flags == DISPATCH_PROPERTYPUT ? &put : nullptr, static_cast<UINT>(reversed.size()),
                         flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    EXCEPINFO local = {};
    UINT argErr = 0xdeadbeef;
    HRESULT hr = object->Invoke(id, GUID_NULL, 0, flags, &params, result, info ? info : &local, &argErr);
    if (!info) {
      SysFreeString(local.bstrSource);
      SysFreeString(local.bstrDescription);
      SysFreeString(local.bstrHelpFile);
    }
    return hr;
  }
  static VARIANT I4(LONG v) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_I4;
    x.lVal = v;
    return x;
  }
  static VARIANT RefI4(LONG* p) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_BYREF | VT_I4;
    x.plVal = p;
    return x;
  }
  IDispatch* Get(DISPID id) {
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(Call(control_, id, DISPATCH_PROPERTYGET, {}, &r), S_OK);
    EXPECT_EQ(r.vt, VT_DISPATCH);
    return r.pdispVal;
  }

  std::ostringstream out_, calls_;
  Transcript transcript_{out_};
  Session session_{transcript_};
  MapControl* control_ = nullptr;
};

TEST_F(HostObjects, CommandStatePairIsStoredAtOnce) {
  VARIANT r;
  VariantInit(&r);
  ASSERT_EQ(Call(control_, SetCommandState, DISPATCH_METHOD, {I4(1001), I4(0x7FFFFFFF)}, &r), S_OK);
  LONG code = 0xdeadbeef, step = 0xdeadbeef;
  ASSERT_EQ(Call(control_, GetCommandState, DISPATCH_METHOD, {RefI4(&code), RefI4(&step)}, &r), S_OK);
  EXPECT_EQ(code, 1001);
  EXPECT_EQ(step, 0x7FFFFFFF);
  EXPECT_EQ(r.vt, VT_EMPTY);
  // Through the wrapper.
  session_.Wrapper()->SetCommandState(0, 0);
  session_.Wrapper()->GetCommandState(&code, &step);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(step, 0);
}

TEST_F(HostObjects, MapValuesComeFromTheMapFile) {
  CVantorObjects* w = session_.Wrapper();
  EXPECT_EQ(w->GetMapScale(), -1.0);  // no "scale": not set
  EXPECT_EQ(w->GetScaleUnit(), 2.0);
  EXPECT_EQ(w->GetCurrentItemIndex(), 1);
  EXPECT_EQ(w->GetStoreHandle(), static_cast<LONG>(session_.Map().Store()));
  EXPECT_EQ(w->GetEntityHandle(1), static_cast<LONG>(session_.Map().Handle(1)));
  CVOItemCollection items(w->GetItemCollection());
  VARIANT index;
  VariantInit(&index);
  index.vt = VT_I4;
  index.lVal = 1;
  CVOItem item(items.Item(index));
  EXPECT_EQ(item.GetItemScale(), 2000.0);
}

TEST_F(HostObjects, FailuresAnswerExceptionsWithTheirScodes) {
  VARIANT r;
  VariantInit(&r);
  EXCEPINFO info = {};
  EXPECT_EQ(Call(control_, EntityHandle, DISPATCH_PROPERTYGET, {I4(99)}, &r, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, DISP_E_BADINDEX);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  IDispatch* items = Get(ItemCollection);
  info = {};
  EXPECT_EQ(Call(items, CollectionItem, DISPATCH_METHOD, {I4(2)}, &r, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, DISP_E_BADINDEX);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  EXPECT_EQ(items->Release(), 0u);
  // A negative id count is refused; count 0 with a null address is fine.
  info = {};
  EXPECT_EQ(Call(control_, UpdateEntities, DISPATCH_METHOD, {RefI4(nullptr), I4(-1), I4(1)}, &r, &info),
            DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, E_INVALIDARG);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  EXPECT_EQ(Call(control_, UpdateEntities, DISPATCH_METHOD, {RefI4(nullptr), I4(0), I4(1)}, &r), S_OK);
  EXPECT_EQ(Call(control_, 12345, DISPATCH_METHOD, {}, &r), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(control_, SetCommandState, DISPATCH_METHOD, {I4(1)}, &r), DISP_E_BADPARAMCOUNT);
}

TEST_F(HostObjects, GateSelectionEntitiesAndHighlight) {
  CVantorObjects* w = session_.Wrapper();
  {
    CVOCommandGate gate(w->GetCommandGate());
    EXPECT_TRUE(gate.CanLaunch());
    EXPECT_FALSE(gate.IsBlocked(1001));
    control_->SetGate(MapControl::GateMode::Blocked, 1001);
    EXPECT_TRUE(gate.IsBlocked(1001));
    EXPECT_FALSE(gate.IsBlocked(1002));
    control_->SetGate(MapControl::GateMode::Closed);
    EXPECT_FALSE(gate.CanLaunch());
    gate.PrepareLaunch();
    EXPECT_EQ(control_->LaunchPreparations(), 1);
  }
  control_->MutableSelection().insert(1);
  CVOSelection(w->GetSelection()).Clear();
  EXPECT_TRUE(control_->Selection().empty());
  CVOEntities entities(w->GetEntities());
  EXPECT_EQ(entities.GetEntityType(1), 2);
  EXPECT_EQ(entities.GetEntityType(2), 40);
  EXPECT_EQ(entities.GetEntityType(77), 0);  // not in the map
  CVOHighlight highlight(w->GetHighlight());
  LONG ids[] = {1, 2};
  highlight.SetHighlight(ids, 2, 1, 1);
  EXPECT_EQ(control_->Highlighted(), (std::set<LONG>{1, 2}));
  highlight.SetHighlight(ids, 1, 0, 0);
  EXPECT_EQ(control_->Highlighted(), (std::set<LONG>{2}));
  highlight.DrawEntities(nullptr, 0);
  EXPECT_EQ(control_->Redraws(), 2);
}

TEST_F(HostObjects, CallsThatRecordWhatTheyWereTold) {
  CVantorObjects* w = session_.Wrapper();
  w->SetCurrentAction(2001);
  EXPECT_EQ(control_->CurrentAction(), 2001);
  w->SetModified(TRUE);
  EXPECT_TRUE(control_->Modified());
  LONG ids[] = {1};
  w->UpdateEntities(ids, 1, 1);
  EXPECT_EQ(control_->UpdatedEntities(), std::vector<LONG>{1});
  w->UpdateView();
  w->RegisterEntity(5);
  w->UnregisterEntity(6);
  w->RefreshEntity(7);
  w->Refresh();
  EXPECT_EQ(control_->ViewUpdates(), 1);
  EXPECT_EQ(control_->RegisteredHandles(), std::vector<LONG>{5});
  EXPECT_EQ(control_->UnregisteredHandles(), std::vector<LONG>{6});
  EXPECT_EQ(control_->RefreshedHandles(), std::vector<LONG>{7});
  EXPECT_EQ(control_->Refreshes(), 1);
  w->ShowText("**\xB3\xC9\xB9\xA6**");  // GBK "成功"
  EXPECT_EQ(out_.str(), "**成功**\n");
  w->SendMessage(WM_SETCURSOR, 0, 0);
  EXPECT_EQ(control_->CursorUpdates(), 1);
  EXPECT_NE(calls_.str().find("UpdateEntities [1] 1\n"), std::string::npos);
  EXPECT_NE(calls_.str().find("WM_SETCURSOR 0 0\n"), std::string::npos);
}

TEST_F(HostObjects, BeginOperationOpensAnUndoGroup) {
  CVantorObjects* w = session_.Wrapper();
  EXPECT_EQ(w->BeginOperation("\xB4\xB4\xBD\xA8"), 1);  // GBK "创建"
  ASSERT_EQ(control_->UndoGroups().size(), 1u);
  EXPECT_EQ(control_->UndoGroups()[0].name, "\xB4\xB4\xBD\xA8");
  ZvHandle object = CreateObject(ZvKindSectionStratum);
  StoreRequest(session_.Map().Store(), ZvStoreInsert, &object, 0);
  EXPECT_EQ(session_.CurrentMap().entities.size(), 3u);
  EXPECT_TRUE(control_->UndoLastGroup());
  EXPECT_EQ(session_.CurrentMap().entities.size(), 2u);
  EXPECT_TRUE(control_->UndoGroups().empty());
}

// The engine's undo and redo of operation groups, as every front end offers them.
TEST_F(HostObjects, SessionUndoAndRedoWalkTheGroupsUntilANewGroupOpens) {
  CVantorObjects* w = session_.Wrapper();
  auto insert = [&] {
    ZvHandle object = CreateObject(ZvKindSectionStratum);
    StoreRequest(session_.Map().Store(), ZvStoreInsert, &object, 0);
  };
  std::string name, why;
  EXPECT_FALSE(session_.Undo(&name, &why));
  EXPECT_EQ(why, "there is nothing to undo");
  EXPECT_FALSE(session_.Redo(&name, &why));
  EXPECT_EQ(why, "there is nothing to redo");
  w->BeginOperation("\xB4\xB4\xBD\xA8");  // GBK "创建"
  insert();
  w->BeginOperation("\xC9\xBE\xB3\xFD");  // GBK "删除"
  insert();
  ASSERT_EQ(session_.CurrentMap().entities.size(), 4u);

  ASSERT_TRUE(session_.Undo(&name, &why)) << why;
  EXPECT_EQ(name, "删除");
  ASSERT_TRUE(session_.Undo(&name, &why)) << why;
  EXPECT_EQ(name, "创建");
  EXPECT_EQ(session_.CurrentMap().entities.size(), 2u);
  EXPECT_FALSE(session_.CanUndo());
  ASSERT_TRUE(session_.CanRedo());
  ASSERT_TRUE(session_.Redo(&name, &why)) << why;
  EXPECT_EQ(name, "创建");
  EXPECT_EQ(session_.CurrentMap().entities.size(), 3u);
  ASSERT_EQ(control_->UndoGroups().size(), 1u);  // the group is back: it can be undone again
  EXPECT_EQ(control_->UndoGroups()[0].name, "\xB4\xB4\xBD\xA8");
  ASSERT_TRUE(session_.Redo(&name, &why)) << why;
  EXPECT_EQ(name, "删除");
  EXPECT_EQ(session_.CurrentMap().entities.size(), 4u);
  EXPECT_FALSE(session_.CanRedo());

  // Undo, then a command opens a new group: what was undone cannot come back.
  ASSERT_TRUE(session_.Undo(&name, &why));
  w->BeginOperation("\xD0\xC2");  // GBK "新"
  EXPECT_FALSE(session_.CanRedo());
  EXPECT_FALSE(session_.Redo(&name, &why));
  EXPECT_EQ(why, "there is nothing to redo");

  // Not while a command is current.
  session_.SetState(1001, 1);
  EXPECT_FALSE(session_.Undo(&name, &why));
  EXPECT_EQ(why, "a command is running; finish it or press Esc first");
  EXPECT_FALSE(session_.Redo(&name, &why));
  EXPECT_EQ(why, "a command is running; finish it or press Esc first");
  session_.SetState(0, 0);

  // A map loaded afresh forgets the groups of the one before.
  std::string error;
  ASSERT_TRUE(session_.LoadMap(session_.CurrentMap(), &error)) << error;
  EXPECT_FALSE(session_.CanUndo());
  EXPECT_FALSE(session_.CanRedo());
}

TEST_F(HostObjects, SessionPromptNamesTheCurrentCommandAndItsPick) {
  EXPECT_EQ(session_.Prompt("idle> "), "idle> ");
  std::vector<std::string> errors;
  ASSERT_TRUE(session_.LoadPlugin("./libsectionhost_testplugin_full.so", &errors));
  std::string why;
  ASSERT_TRUE(session_.Launch("tst", &why)) << why;
  EXPECT_EQ(session_.Prompt("idle> "), "tst pick> ");  // "测试命令/tst": the part after '/'
  control_->EndPick();
  EXPECT_EQ(session_.Prompt("idle> "), "tst> ");
  session_.SetState(0, 0);
  EXPECT_EQ(session_.Prompt("idle> "), "idle> ");
}

TEST_F(HostObjects, BeginPickKeepsTheArrayAndItsContents) {
  CVOIntArray list;
  ASSERT_TRUE(list.CreateDispatch(VANTOR_INTARRAY_PROGID));
  list.Add(4);
  session_.Wrapper()->BeginPick(list.m_lpDispatch, 0, 1, 63, nullptr);
  EXPECT_TRUE(control_->PickInProgress());
  EXPECT_EQ(control_->PickList(), list.m_lpDispatch);
  EXPECT_EQ(list.GetSize(), 1);
  control_->EndPick();
  EXPECT_FALSE(control_->PickInProgress());
  EXPECT_NE(calls_.str().find("BeginPick VOIntArray 0 1 63 null"), std::string::npos);
}

TEST_F(HostObjects, IntArrayMembers) {
  CVOIntArray a;
  ASSERT_TRUE(a.CreateDispatch(VANTOR_INTARRAY_PROGID));
  VARIANT data = a.GetData();
  EXPECT_EQ(data.vt, VT_BYREF | VT_I4);
  EXPECT_EQ(data.plVal, nullptr);  // empty: nothing to address
  for (LONG v : {7, 8, 9}) a.Add(v);
  EXPECT_EQ(a.GetSize(), 3);
  a.RemoveAt(1);
  EXPECT_EQ(a.GetAt(1), 9);
  data = a.GetData();
  ASSERT_NE(data.plVal, nullptr);
  EXPECT_EQ(data.plVal[0], 7);
  EXPECT_EQ(data.plVal[1], 9);
  bool thrown = false;
  try {
    a.GetAt(2);
  } catch (COleDispatchException* e) {
    thrown = true;
    EXPECT_EQ(e->m_scError, DISP_E_BADINDEX);
    e->Delete();
  }
  EXPECT_TRUE(thrown);
  a.RemoveAll();
  EXPECT_EQ(a.GetSize(), 0);
  IDispatch* raw = a.DetachDispatch();
  EXPECT_EQ(raw->Release(), 0u);
}

TEST_F(HostObjects, IntArrayOutOfRangeIsBadIndex) {
  IntArrayObject* a = new IntArrayObject();
  VARIANT r;
  VariantInit(&r);
  EXCEPINFO info = {};
  EXPECT_EQ(Call(a, IntArrayRemoveAt, DISPATCH_METHOD, {I4(0)}, &r, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, DISP_E_BADINDEX);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  EXPECT_EQ(a->Release(), 0u);
}

}  // namespace
}  // namespace sectionhost
