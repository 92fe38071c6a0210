// Conformance tests of disconnected (fabricated) recordsets: Fields.Append on a new recordset
// with no connection, Open with no source and no connection, and the client-side static cursor
// that gives (edits, moves, bookmarks, Filter, Sort, Find, Clone, Save and reopen), with the
// error codes Windows answers. No provider is involved, so these are plain tests.
#include <unistd.h>

#include "AdoTestSupport.h"

namespace kp::ado::test {
namespace {

constexpr HRESULT kErrorsOccurred = (HRESULT)0x80040E21;  // DB_E_ERRORSOCCURRED

class Fabricated : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }

  // A new recordset; the test owns the one reference in raw_ (Release must reach 0).
  _RecordsetPtr New() {
    _Recordset* raw = nullptr;
    EXPECT_EQ(CoCreateInstance(__uuidof(Recordset), nullptr, CLSCTX_INPROC_SERVER, __uuidof(_Recordset),
                               reinterpret_cast<void**>(&raw)),
              S_OK);
    return _RecordsetPtr(raw, false);
  }

  // id INTEGER, name VARCHAR(10) nullable, n DOUBLE nullable; open for editing, rows added.
  _RecordsetPtr People(std::initializer_list<std::pair<const char*, double>> rows,
                       LockTypeEnum lock = adLockOptimistic) {
    _RecordsetPtr rs = New();
    FieldsPtr f = rs->GetFields();
    f->Append(_bstr_t("id"), adInteger, 0, adFldUnspecified);
    f->Append(_bstr_t("name"), adVarChar, 10, adFldIsNullable);
    f->Append(_bstr_t("n"), adDouble, 0, adFldIsNullable);
    rs->Open(vtMissing, vtMissing, adOpenStatic, lock, adCmdUnspecified);
    long id = 0;
    for (auto& r : rows) {
      rs->AddNew();
      rs->PutCollect(_variant_t(0L), _variant_t(++id));
      rs->PutCollect(_variant_t(1L), _variant_t(_bstr_t(r.first)));
      rs->PutCollect(_variant_t(2L), _variant_t(r.second));
      rs->Update();
    }
    return rs;
  }

  static std::string Name(const _RecordsetPtr& rs) { return Utf8(_bstr_t(rs->GetCollect(_variant_t(1L)))); }
};

// Windows: Open with no source and no connection on a recordset with appended fields gives an
// open, empty, client-side static recordset: BOF and EOF True, RecordCount 0, no current record
// (EditMode, Bookmark, MoveFirst and Field.Value answer adErrNoCurrentRecord); releasing it
// frees it.
TEST_F(Fabricated, OpenGivesAnEmptyClientStaticRecordset) {
  _Recordset* raw = nullptr;
  ASSERT_EQ(CoCreateInstance(__uuidof(Recordset), nullptr, CLSCTX_INPROC_SERVER, __uuidof(_Recordset),
                             reinterpret_cast<void**>(&raw)),
            S_OK);
  {
    _RecordsetPtr rs(raw);
    FieldsPtr fields = rs->GetFields();
    EXPECT_EQ(fields->GetCount(), 0);
    fields->Append(_bstr_t("id"), adInteger, 0, adFldUnspecified);
    fields->_Append(_bstr_t("name"), adVarWChar, 40, adFldIsNullable);
    EXPECT_EQ(fields->GetCount(), 2);
    EXPECT_EQ(Utf8(fields->GetItem(_variant_t(1L))->GetName()), "name");
    EXPECT_EQ(rs->GetState(), adStateClosed);
    rs->Open();
    EXPECT_EQ(rs->GetState(), adStateOpen);
    EXPECT_EQ(rs->GetCursorLocation(), adUseClient);
    EXPECT_EQ(rs->GetCursorType(), adOpenStatic);
    EXPECT_EQ(rs->GetBOF(), VARIANT_TRUE);
    EXPECT_EQ(rs->GetadoEOF(), VARIANT_TRUE);
    EXPECT_EQ(rs->GetRecordCount(), 0);
    EXPECT_EQ(rs->GetAbsolutePosition(), adPosUnknown);
    EXPECT_EQ(fields->GetCount(), 2);  // the same collection, now of the open recordset
    EXPECT_EQ(Hr([&] { rs->GetEditMode(); }), Ado(adErrNoCurrentRecord));
    EXPECT_EQ(Hr([&] { rs->GetBookmark(); }), Ado(adErrNoCurrentRecord));
    EXPECT_EQ(Hr([&] { rs->MoveFirst(); }), Ado(adErrNoCurrentRecord));
    VARIANT sentinel;
    sentinel.vt = VT_I4;
    sentinel.lVal = (LONG)0xdeadbeef;
    EXPECT_EQ(fields->GetItem(_variant_t(0L))->get_Value(&sentinel), Ado(adErrNoCurrentRecord));
    EXPECT_EQ(sentinel.vt, VT_EMPTY);
  }
  EXPECT_EQ(raw->Release(), 0u);
}

// Windows: Open with nothing to open (no source, no connection, no appended field) is
// adErrInvalidConnection; a closed recordset refuses its cursor's members with adErrObjectClosed,
// also for the Value of a field appended but not yet opened.
TEST_F(Fabricated, NothingToOpenAndClosedObjects) {
  _RecordsetPtr rs = New();
  EXPECT_EQ(Hr([&] { rs->Open(); }), Ado(adErrInvalidConnection));
  EXPECT_EQ(rs->GetState(), adStateClosed);
  EXPECT_EQ(Hr([&] { rs->GetRecordCount(); }), Ado(adErrObjectClosed));
  EXPECT_EQ(Hr([&] { rs->AddNew(); }), Ado(adErrObjectClosed));
  EXPECT_EQ(Hr([&] { rs->GetEditMode(); }), Ado(adErrObjectClosed));
  EXPECT_EQ(Hr([&] { rs->Close(); }), Ado(adErrObjectClosed));
  rs->GetFields()->Append(_bstr_t("x"), adInteger, 0, adFldUnspecified);
  EXPECT_EQ(Hr([&] { rs->GetFields()->GetItem(_variant_t(0L))->GetValue(); }), Ado(adErrObjectClosed));
  // Appended fields and a source or a connection do not go together.
  EXPECT_EQ(Hr([&] { rs->Open(_variant_t(_bstr_t("SELECT 1"))); }), Ado(adErrIllegalOperation));
  EXPECT_EQ(rs->GetState(), adStateClosed);
}

// Each type Windows lets a recordset hold, appended with and without a size: Type, DefinedSize,
// Precision, NumericScale and Attributes as read back before and after Open (Attributes gain
// adFldUpdatable once the recordset can write; fixed-size types are adFldFixed, long ones
// adFldLong).
TEST_F(Fabricated, AppendedTypesSizesAndAttributes) {
  struct Row {
    DataTypeEnum type;
    LONG size;
    LONG attrib;
    LONG definedSize;
    int precision, scale;
    LONG attributes;  // before Open
  };
  const Row rows[] = {
      {adTinyInt, 0, adFldUnspecified, 1, 3, 255, adFldFixed},
      {adSmallInt, 0, adFldUnspecified, 2, 5, 255, adFldFixed},
      {adInteger, 99, adFldIsNullable, 4, 10, 255, adFldFixed | adFldIsNullable},
      {adBigInt, 0, adFldUnspecified, 8, 19, 255, adFldFixed},
      {adUnsignedTinyInt, 0, adFldUnspecified, 1, 3, 255, adFldFixed},
      {adUnsignedSmallInt, 0, adFldUnspecified, 2, 5, 255, adFldFixed},
      {adUnsignedInt, 0, adFldUnspecified, 4, 10, 255, adFldFixed},
      {adUnsignedBigInt, 0, adFldUnspecified, 8, 20, 255, adFldFixed},
      {adSingle, 0, adFldUnspecified, 4, 7, 255, adFldFixed},
      {adDouble, 0, adFldIsNullable | adFldMayBeNull, 8, 15, 255,
       adFldFixed | adFldIsNullable | adFldMayBeNull},
      {adCurrency, 0, adFldUnspecified, 8, 19, 4, adFldFixed},
      {adNumeric, 0, adFldUnspecified, 19, 18, 0, adFldFixed},
      {adDecimal, 0, adFldUnspecified, 19, 18, 0, adFldFixed},
      {adBoolean, 0, adFldUnspecified, 2, 255, 255, adFldFixed},
      {adDate, 0, adFldUnspecified, 8, 255, 255, adFldFixed},
      {adDBDate, 0, adFldUnspecified, 6, 255, 255, adFldFixed},
      {adDBTime, 0, adFldUnspecified, 6, 255, 255, adFldFixed},
      {adDBTimeStamp, 0, adFldUnspecified, 16, 19, 0, adFldFixed},
      {adGUID, 0, adFldUnspecified, 16, 255, 255, 0},
      {adBSTR, 0, adFldUnspecified, 255, 255, 255, 0},
      {adChar, 5, adFldUnspecified, 5, 255, 255, adFldFixed},
      {adWChar, 3, adFldIsNullable, 3, 255, 255, adFldFixed | adFldIsNullable},
      {adVarChar, 20, adFldKeyColumn, 20, 255, 255, adFldKeyColumn},
      {adVarWChar, 300, adFldUnspecified, 300, 255, 255, 0},
      {adLongVarChar, 0, adFldUnspecified, 2147483647, 255, 255, adFldLong},
      {adLongVarWChar, 1000, adFldUnspecified, 1000, 255, 255, adFldLong},
      {adBinary, 4, adFldUnspecified, 4, 255, 255, adFldFixed},
      {adVarBinary, 8, adFldUnspecified, 8, 255, 255, 0},
      {adLongVarBinary, 0, adFldUnspecified, 2147483647, 255, 255, adFldLong},
  };
  for (LockTypeEnum lock : {adLockBatchOptimistic, adLockReadOnly}) {
    _RecordsetPtr rs = New();
    FieldsPtr fields = rs->GetFields();
    int i = 0;
    for (const Row& r : rows)
      fields->Append(_bstr_t(("f" + std::to_string(i++)).c_str()), r.type, r.size,
                     (FieldAttributeEnum)r.attrib);
    for (int open = 0; open < 2; ++open) {
      if (open) rs->Open(vtMissing, vtMissing, adOpenStatic, lock, adCmdUnspecified);
      i = 0;
      for (const Row& r : rows) {
        SCOPED_TRACE("type " + std::to_string(r.type) + (open ? " open" : " closed") + " lock " +
                     std::to_string(lock));
        FieldPtr f = fields->GetItem(_variant_t((long)i++));
        EXPECT_EQ(f->GetType(), r.type);
        EXPECT_EQ(f->GetDefinedSize(), r.definedSize);
        EXPECT_EQ(f->GetPrecision(), r.precision);
        EXPECT_EQ(f->GetNumericScale(), r.scale);
        LONG updatable = open && lock != adLockReadOnly ? adFldUpdatable : 0;
        EXPECT_EQ(f->GetAttributes(), r.attributes | updatable);
      }
    }
  }
}

// Windows refuses what a recordset cannot hold: an empty name or one already there (in any
// case, adErrObjectInCollection), types ADO does not hold in recordsets, a length type without
// its size, undefined attribute bits, and a FieldValue (Records only); once the recordset is open
// or has an ActiveConnection, Append and Delete are adErrIllegalOperation. Nothing refused is
// appended.
TEST_F(Fabricated, AppendRefusals) {
  _RecordsetPtr rs = New();
  FieldsPtr f = rs->GetFields();
  f->Append(_bstr_t("Name"), adVarChar, 10, adFldUnspecified);
  EXPECT_EQ(Hr([&] { f->Append(_bstr_t(""), adInteger, 0, adFldUnspecified); }), Ado(adErrInvalidArgument));
  EXPECT_EQ(Hr([&] { f->Append(_bstr_t("NAME"), adInteger, 0, adFldUnspecified); }),
            Ado(adErrObjectInCollection));
  for (int type : std::initializer_list<int>{adEmpty, adIDispatch, adIUnknown, adVariant, adError, adChapter,
                                             adPropVariant, adUserDefined, adFileTime, adVarNumeric,
                                             adArray | adInteger, 1, 999}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(Hr([&] { f->Append(_bstr_t("t"), (DataTypeEnum)type, 4, adFldUnspecified); }),
              Ado(adErrInvalidArgument));
  }
  EXPECT_EQ(Hr([&] { f->Append(_bstr_t("s"), adVarChar, 0, adFldUnspecified); }), Ado(adErrInvalidArgument));
  EXPECT_EQ(Hr([&] { f->Append(_bstr_t("s"), adBinary, -1, adFldUnspecified); }), Ado(adErrInvalidArgument));
  EXPECT_EQ(Hr([&] { f->Append(_bstr_t("s"), adInteger, 0, (FieldAttributeEnum)0x100000); }),
            Ado(adErrInvalidArgument));
  EXPECT_EQ(Hr([&] { f->Append(_bstr_t("s"), adInteger, 0, adFldUnspecified, _variant_t(1L)); }),
            Ado(adErrInvalidArgument));
  EXPECT_EQ(f->GetCount(), 1);

  // Fields.Delete before Open: by name or ordinal; a Field object of a deleted field is gone.
  f->Append(_bstr_t("b"), adInteger, 0, adFldUnspecified);
  f->Append(_bstr_t("c"), adInteger, 0, adFldUnspecified);
  FieldPtr b = f->GetItem(_variant_t("b"));
  f->Delete(_variant_t("B"));
  EXPECT_EQ(Hr([&] { b->GetName(); }), Ado(adErrObjectClosed));
  f->Delete(_variant_t(0L));
  EXPECT_EQ(Hr([&] { f->Delete(_variant_t("nosuch")); }), Ado(adErrItemNotFound));
  ASSERT_EQ(f->GetCount(), 1);
  EXPECT_EQ(Utf8(f->GetItem(_variant_t(0L))->GetName()), "c");

  rs->Open();
  EXPECT_EQ(Hr([&] { f->Append(_bstr_t("d"), adInteger, 0, adFldUnspecified); }), Ado(adErrIllegalOperation));
  EXPECT_EQ(Hr([&] { f->Delete(_variant_t(0L)); }), Ado(adErrIllegalOperation));
  EXPECT_EQ(Hr([&] { f->GetItem(_variant_t(0L))->PutType(adDouble); }), Ado(adErrObjectOpen));

  _RecordsetPtr connected = New();
  _ConnectionPtr conn;
  ASSERT_EQ(conn.CreateInstance(__uuidof(Connection)), S_OK);
  connected->PutRefActiveConnection(conn);
  EXPECT_EQ(Hr([&] { connected->GetFields()->Append(_bstr_t("x"), adInteger, 0, adFldUnspecified); }),
            Ado(adErrIllegalOperation));
}

// Before Open the metadata of an appended field may be written (Type, DefinedSize, Precision,
// NumericScale, Attributes), checked as Append checks it.
TEST_F(Fabricated, AppendedFieldMetadataIsWritableUntilOpen) {
  _RecordsetPtr rs = New();
  rs->GetFields()->Append(_bstr_t("amount"), adNumeric, 0, adFldUnspecified);
  FieldPtr f = rs->GetFields()->GetItem(_variant_t(0L));
  f->PutPrecision(10);
  f->PutNumericScale(2);
  EXPECT_EQ(Hr([&] { f->PutNumericScale(11); }), Ado(adErrInvalidArgument));
  f->PutAttributes(adFldIsNullable);
  EXPECT_EQ(Hr([&] { f->PutType((DataTypeEnum)adVariant); }), Ado(adErrInvalidArgument));
  EXPECT_EQ(Hr([&] { f->PutType(adVarChar); }), Ado(adErrInvalidArgument));  // no size yet
  f->PutType(adLongVarChar);
  f->PutDefinedSize(50);
  f->PutType(adVarChar);  // keeps the size
  EXPECT_EQ(f->GetDefinedSize(), 50);
  f->PutType(adNumeric);
  f->PutPrecision(10);
  f->PutNumericScale(2);
  rs->Open(vtMissing, vtMissing, adOpenStatic, adLockOptimistic, adCmdUnspecified);
  EXPECT_EQ(f->GetType(), adNumeric);
  EXPECT_EQ(f->GetPrecision(), 10);
  EXPECT_EQ(f->GetNumericScale(), 2);
  EXPECT_EQ(f->GetAttributes(), adFldIsNullable | adFldFixed | adFldUpdatable);
  rs->AddNew();
  f->PutValue(_variant_t(_bstr_t("12.25")));
  rs->Update();
  _variant_t v = f->GetValue();
  EXPECT_EQ(v.vt, VT_DECIMAL);
  EXPECT_EQ(Utf8(_bstr_t(v)), "12.25");
}

// AddNew, Update, Delete, the Move calls, RecordCount, AbsolutePosition and Bookmark on a
// disconnected recordset behave as on any client static cursor; the edits stay in memory.
// OriginalValue and UnderlyingValue show the stored value while an edit is pending.
TEST_F(Fabricated, EditsMovesAndBookmarks) {
  _RecordsetPtr rs = People({{"ann", 1.5}, {"bob", 2.5}, {"cy", 3.5}});
  EXPECT_EQ(rs->GetRecordCount(), 3);
  EXPECT_EQ(rs->GetAbsolutePosition(), 3);  // the added row stays current
  EXPECT_EQ(rs->GetEditMode(), adEditNone);
  rs->MoveFirst();
  EXPECT_EQ(Name(rs), "ann");
  _variant_t second;
  rs->MoveNext();
  second = rs->GetBookmark();
  EXPECT_EQ(second.vt, VT_R8);
  rs->MoveLast();
  EXPECT_EQ(Name(rs), "cy");
  rs->MoveNext();
  EXPECT_EQ(rs->GetadoEOF(), VARIANT_TRUE);
  EXPECT_EQ(Hr([&] { rs->MoveNext(); }), Ado(adErrNoCurrentRecord));
  EXPECT_EQ(Hr([&] { rs->GetEditMode(); }), Ado(adErrNoCurrentRecord));
  EXPECT_EQ(Hr([&] { rs->GetBookmark(); }), Ado(adErrNoCurrentRecord));
  rs->PutBookmark(second);
  EXPECT_EQ(Name(rs), "bob");

  // A pending edit: Value is the new one, OriginalValue and UnderlyingValue the stored one.
  FieldPtr name = rs->GetFields()->GetItem(_variant_t("name"));
  name->PutValue(_variant_t(_bstr_t("bert")));
  EXPECT_EQ(rs->GetEditMode(), adEditInProgress);
  EXPECT_EQ(rs->GetStatus(), adRecModified);
  EXPECT_EQ(Utf8(_bstr_t(name->GetValue())), "bert");
  EXPECT_EQ(Utf8(_bstr_t(name->GetOriginalValue())), "bob");
  EXPECT_EQ(Utf8(_bstr_t(name->GetUnderlyingValue())), "bob");
  rs->CancelUpdate();
  EXPECT_EQ(Utf8(_bstr_t(name->GetValue())), "bob");
  name->PutValue(_variant_t(_bstr_t("bert")));
  rs->Update();
  EXPECT_EQ(Utf8(_bstr_t(name->GetOriginalValue())), "bert");

  // AddNew with lists, then Delete: the deleted row stays current until a move.
  SAFEARRAY* names = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  _variant_t n0("id"), n1("name"), v0(9L), v1("dee");
  LONG i0 = 0, i1 = 1;
  SafeArrayPutElement(names, &i0, &n0);
  SafeArrayPutElement(names, &i1, &n1);
  SafeArrayPutElement(values, &i0, &v0);
  SafeArrayPutElement(values, &i1, &v1);
  _variant_t fieldList, valueList;
  fieldList.vt = VT_ARRAY | VT_VARIANT;
  fieldList.parray = names;
  valueList.vt = VT_ARRAY | VT_VARIANT;
  valueList.parray = values;
  rs->AddNew(fieldList, valueList);
  EXPECT_EQ(rs->GetEditMode(), adEditNone);
  EXPECT_EQ(rs->GetRecordCount(), 4);
  EXPECT_EQ(rs->GetCollect(_variant_t("n")).vt, VT_NULL);
  rs->Delete();
  EXPECT_EQ(rs->GetEditMode(), adEditDelete);
  EXPECT_EQ(Hr([&] { rs->GetCollect(_variant_t("id")); }), Ado(adErrNoCurrentRecord));
  EXPECT_EQ(rs->GetRecordCount(), 3);
  rs->MoveFirst();
  rs->Move(2);
  EXPECT_EQ(Name(rs), "cy");
  rs->MovePrevious();
  EXPECT_EQ(Name(rs), "bert");
}

// A fabricated recordset opened read-only (adLockReadOnly, the default) cannot be edited, as
// any read-only recordset: "Current Recordset does not support updating".
TEST_F(Fabricated, ReadOnlyLockRefusesEdits) {
  _RecordsetPtr rs = New();
  rs->GetFields()->Append(_bstr_t("x"), adInteger, 0, adFldUnspecified);
  rs->Open();
  EXPECT_EQ(rs->GetLockType(), adLockReadOnly);
  EXPECT_EQ(Hr([&] { rs->AddNew(); }), Ado(adErrFeatureNotAvailable));
  EXPECT_EQ(rs->Supports(adAddNew), VARIANT_FALSE);
  EXPECT_EQ(rs->Supports(adBookmark), VARIANT_TRUE);
}

// The cursor engine checks what is written to a fabricated field: Null where the field was not
// appended with adFldIsNullable, and text or bytes longer than the DefinedSize, are
// DB_E_ERRORSOCCURRED ("Multiple-step operation generated errors"); an integer beyond its type or
// text that is no number is adErrDataConversion. A refused write changes nothing.
TEST_F(Fabricated, WrittenValuesAreChecked) {
  _RecordsetPtr rs = New();
  FieldsPtr f = rs->GetFields();
  f->Append(_bstr_t("key"), adSmallInt, 0, adFldUnspecified);
  f->Append(_bstr_t("code"), adChar, 3, adFldIsNullable);
  f->Append(_bstr_t("bytes"), adVarBinary, 2, adFldIsNullable);
  f->Append(_bstr_t("memo"), adLongVarChar, 0, adFldIsNullable);
  rs->Open(vtMissing, vtMissing, adOpenStatic, adLockOptimistic, adCmdUnspecified);
  rs->AddNew();
  FieldPtr key = f->GetItem(_variant_t(0L)), code = f->GetItem(_variant_t(1L));
  EXPECT_EQ(key->put_Value(_variant_t()), kErrorsOccurred);  // Empty is written as Null
  _variant_t null;
  null.vt = VT_NULL;
  EXPECT_EQ(key->put_Value(null), kErrorsOccurred);
  key->PutValue(_variant_t(7L));
  EXPECT_EQ(key->put_Value(_variant_t(70000L)), Ado(adErrDataConversion));
  EXPECT_EQ(key->put_Value(_variant_t(_bstr_t("abc"))), Ado(adErrDataConversion));
  EXPECT_EQ((long)key->GetValue(), 7);
  EXPECT_EQ(code->put_Value(null), S_OK);
  EXPECT_EQ(code->put_Value(_variant_t(_bstr_t("abcd"))), kErrorsOccurred);
  code->PutValue(_variant_t(_bstr_t("abc")));
  EXPECT_EQ(Utf8(_bstr_t(code->GetValue())), "abc");
  _variant_t three;
  three.vt = VT_ARRAY | VT_UI1;
  three.parray = SafeArrayCreateVector(VT_UI1, 0, 3);
  EXPECT_EQ(f->GetItem(_variant_t(2L))->put_Value(three), kErrorsOccurred);
  f->GetItem(_variant_t(3L))->PutValue(_variant_t(_bstr_t(std::string(5000, 'm').c_str())));
  rs->Update();
  EXPECT_EQ(f->GetItem(_variant_t(3L))->GetActualSize(), 5000);
  rs->AddNew();
  EXPECT_EQ(key->put_Value(null), kErrorsOccurred);
  rs->CancelUpdate();
  EXPECT_EQ(rs->GetRecordCount(), 1);
}

// Filter (criteria text, bookmarks), Sort and Find work on disconnected rows; a Filter of Empty
// is adErrInvalidArgument and one naming no field adErrItemNotFound, both leaving the view as it
// was. A Clone shares the rows: an edit or a new row through one shows in the others.
TEST_F(Fabricated, FilterSortFindAndClone) {
  _RecordsetPtr rs = People({{"bob", 2}, {"ann", 1}, {"bea", 3}, {"cy", 4}});
  rs->PutFilter(_variant_t(_bstr_t("name LIKE 'b*'")));
  EXPECT_EQ(rs->GetRecordCount(), 2);
  EXPECT_EQ(Name(rs), "bob");
  EXPECT_EQ(Hr([&] { rs->PutFilter(_variant_t()); }), Ado(adErrInvalidArgument));
  EXPECT_EQ(Hr([&] { rs->PutFilter(_variant_t(_bstr_t("nosuch = 1"))); }), Ado(adErrItemNotFound));
  EXPECT_EQ(rs->GetRecordCount(), 2);
  rs->PutFilter(_variant_t((long)adFilterNone));
  EXPECT_EQ(rs->GetRecordCount(), 4);
  rs->PutSort(_bstr_t("n DESC"));
  EXPECT_EQ(Name(rs), "cy");
  rs->Find(_bstr_t("name = 'ann'"), 0, adSearchForward);
  EXPECT_EQ(Name(rs), "ann");
  EXPECT_EQ(rs->GetAbsolutePosition(), 4);
  rs->Find(_bstr_t("name = 'zed'"), 1, adSearchForward);
  EXPECT_EQ(rs->GetadoEOF(), VARIANT_TRUE);

  _RecordsetPtr copy = rs->Clone(adLockUnspecified);
  EXPECT_EQ(copy->GetRecordCount(), 4);
  EXPECT_EQ(Name(copy), "bob");  // a clone starts on its first row, without the Sort
  copy->PutCollect(_variant_t("name"), _variant_t("bo"));
  copy->Update();
  rs->PutSort(_bstr_t(""));
  EXPECT_EQ(Name(rs), "bo");
  // Rows added through one clone show in the others (at their end), and in what they save.
  rs->AddNew(_variant_t("name"), _variant_t("dot"));
  EXPECT_EQ(copy->GetRecordCount(), 5);
  copy->MoveLast();
  EXPECT_EQ(Name(copy), "dot");
  const std::string path = TempDir() + "/clone.xml";
  _RecordsetPtr late = rs->Clone(adLockUnspecified);
  copy->AddNew(_variant_t("name"), _variant_t("eve"));
  late->Save(_variant_t(_bstr_t(path.c_str())), adPersistXML);
  _RecordsetPtr saved = New();
  saved->Open(_variant_t(_bstr_t(path.c_str())));
  EXPECT_EQ(saved->GetRecordCount(), 6);
  unlink(path.c_str());
  _RecordsetPtr readOnly = rs->Clone(adLockReadOnly);
  EXPECT_EQ(Hr([&] { readOnly->PutCollect(_variant_t("name"), _variant_t("x")); }),
            Ado(adErrFeatureNotAvailable));
}

// Save writes a fabricated recordset as XML and Open of the file (no connection) reads it back:
// the same fields (name, type, size, nullability) and rows, client-side and batch-updatable.
// Close keeps the appended fields (and the Fields collection): the recordset opens again, empty.
TEST_F(Fabricated, SaveReopenAndCloseAgain) {
  const std::string path = TempDir() + "/fabricated.xml";
  _RecordsetPtr rs = People({{"ann", 1.25}, {"bob", 2}});
  rs->PutCollect(_variant_t("name"), _variant_t());  // Empty writes Null to a nullable field
  rs->Update();
  rs->Save(_variant_t(_bstr_t(path.c_str())), adPersistXML);
  EXPECT_EQ(rs->GetAbsolutePosition(), 1);

  _RecordsetPtr back = New();
  back->Open(_variant_t(_bstr_t(path.c_str())));
  EXPECT_EQ(back->GetCursorLocation(), adUseClient);
  EXPECT_EQ(back->GetLockType(), adLockBatchOptimistic);
  ASSERT_EQ(back->GetFields()->GetCount(), 3);
  FieldPtr name = back->GetFields()->GetItem(_variant_t(1L));
  EXPECT_EQ(name->GetType(), adVarChar);
  EXPECT_EQ(name->GetDefinedSize(), 10);
  EXPECT_EQ(name->GetAttributes() & adFldIsNullable, adFldIsNullable);
  EXPECT_EQ(back->GetFields()->GetItem(_variant_t(0L))->GetAttributes() & adFldIsNullable, 0);
  EXPECT_EQ(back->GetRecordCount(), 2);
  EXPECT_EQ(Name(back), "ann");
  EXPECT_EQ((double)back->GetCollect(_variant_t("n")), 1.25);
  back->MoveNext();
  EXPECT_EQ(back->GetCollect(_variant_t("name")).vt, VT_NULL);
  unlink(path.c_str());

  FieldsPtr fields = rs->GetFields();
  FieldPtr id = fields->GetItem(_variant_t("id"));
  rs->Close();
  EXPECT_EQ(Hr([&] { id->GetValue(); }), Ado(adErrObjectClosed));  // the open cursor's field
  EXPECT_EQ(fields->GetCount(), 3);                                // one collection for the recordset's life
  EXPECT_EQ(Utf8(fields->GetItem(_variant_t(2L))->GetName()), "n");
  rs->Open(vtMissing, vtMissing, adOpenStatic, adLockOptimistic, adCmdUnspecified);
  EXPECT_EQ(rs->GetRecordCount(), 0);
  EXPECT_EQ(rs->GetBOF(), VARIANT_TRUE);
  EXPECT_EQ(fields.GetInterfacePtr(), rs->GetFields().GetInterfacePtr());
}

}  // namespace
}  // namespace kp::ado::test
