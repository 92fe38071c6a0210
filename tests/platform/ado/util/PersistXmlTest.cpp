// Conformance tests of ADO's XML persistence format: a document typed from the reference's
// example (columns, types, Nulls as missing attributes, pending insert/update/delete), readers
// going by namespace URI rather than prefix, a save/load round trip of every value type
// including Null, the schema attributes written per column, and the file errors (saving onto
// an existing file is adErrWriteFile unless overwriting; a missing file adErrOpeningFile;
// invalid XML E_FAIL).
#include "PersistXml.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "TestVariant.h"
#include "UtilErrors.h"
#include "ValueCompare.h"

using kp::ado::PersistColumn;
using kp::ado::PersistRow;
using kp::ado::PersistXml;
using kp::ado::RowState;
using kp::ado::ValueCompare;
using kp::ado::test::Var;

namespace {

const char kReferenceExample[] = R"(<xml xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882"
     xmlns:dt="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882"
     xmlns:rs="urn:schemas-microsoft-com:rowset"
     xmlns:z="#RowsetSchema">
<s:Schema id="RowsetSchema">
  <s:ElementType name="row" content="eltOnly" rs:updatable="true">
    <s:AttributeType name="PartId" rs:number="1" rs:writeunknown="true"
        rs:keycolumn="true" rs:basetable="Parts" rs:basecolumn="PartId">
      <s:datatype dt:type="int" dt:maxLength="4" rs:precision="10"
          rs:fixedlength="true" rs:maybenull="false"/>
    </s:AttributeType>
    <s:AttributeType name="Name" rs:number="2" rs:nullable="true" rs:writeunknown="true"
        rs:basetable="Parts" rs:basecolumn="Name">
      <s:datatype dt:type="string" rs:dbtype="str" dt:maxLength="40"/>
    </s:AttributeType>
    <s:AttributeType name="Weight" rs:number="3" rs:nullable="true" rs:writeunknown="true"
        rs:basetable="Parts" rs:basecolumn="Weight">
      <s:datatype dt:type="float" dt:maxLength="8" rs:precision="15" rs:fixedlength="true"/>
    </s:AttributeType>
    <s:AttributeType name="Checked" rs:number="4" rs:nullable="true" rs:writeunknown="true"
        rs:basetable="Parts" rs:basecolumn="Checked">
      <s:datatype dt:type="dateTime" dt:maxLength="16" rs:fixedlength="true"/>
    </s:AttributeType>
    <s:extends type="rs:rowbase"/>
  </s:ElementType>
</s:Schema>
<rs:data>
  <z:row PartId="1" Name="Bolt &amp; nut" Weight="0.25" Checked="2004-03-01T08:30:00"/>
  <z:row PartId="2" Name="Washer"/>
  <rs:insert>
    <z:row PartId="5" Name="Spring" Weight="1.5"/>
  </rs:insert>
  <rs:update>
    <rs:original>
      <z:row PartId="3" Name="Clip" Weight="0.1" Checked="2004-02-11T00:00:00"/>
    </rs:original>
    <z:row Name="Spring clip"/>
  </rs:update>
  <rs:delete>
    <z:row PartId="4" Name="Pin" Weight="0.05"/>
  </rs:delete>
</rs:data>
</xml>
)";

class PersistXmlTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) {
    std::string p = testing::TempDir() + "adoutil_xml_" + std::to_string(getpid()) + "_" + name;
    created_.push_back(p);
    return p;
  }
  std::string WriteText(const std::string& name, const std::string& text) {
    std::string p = Path(name);
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void TearDown() override {
    PersistXml::Clear(rows_);
    for (const auto& p : created_) unlink(p.c_str());
  }
  std::vector<std::string> created_;
  std::vector<PersistColumn> columns_;
  std::vector<PersistRow> rows_;
};

// Expectations on one VARIANT: type and text (BSTR), number or Null.
void ExpectNull(const VARIANT& v) {
  EXPECT_EQ(v.vt, VT_NULL);
}
void ExpectText(const VARIANT& v, std::u16string_view text) {
  EXPECT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(ValueCompare::Text(v), text);
}
void ExpectI4(const VARIANT& v, LONG i) {
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, i);
}
void ExpectR8(const VARIANT& v, double d) {
  EXPECT_EQ(v.vt, VT_R8);
  EXPECT_EQ(v.dblVal, d);
}

TEST_F(PersistXmlTest, LoadsTheReferenceExample) {
  std::string p = WriteText("example.xml", kReferenceExample);
  std::u16string description = u"sentinel";
  ASSERT_EQ(PersistXml::Load(p, columns_, rows_, &description), S_OK);
  EXPECT_EQ(description, u"sentinel");

  ASSERT_EQ(columns_.size(), 4u);
  const PersistColumn& id = columns_[0];
  EXPECT_EQ(id.name, u"PartId");
  EXPECT_EQ(id.type, 3);  // adInteger
  EXPECT_EQ(id.definedSize, 4);
  EXPECT_EQ(id.precision, 10);
  EXPECT_TRUE(id.keyColumn);
  EXPECT_EQ(id.baseTable, u"Parts");
  EXPECT_EQ(id.baseColumn, u"PartId");
  EXPECT_EQ(id.attributes, 0x8 | 0x10 | 0x8000);  // writeunknown, fixed, key; not MayBeNull
  EXPECT_EQ(columns_[1].name, u"Name");
  EXPECT_EQ(columns_[1].type, 200);  // adVarChar: rs:dbtype "str", variable length
  EXPECT_EQ(columns_[1].definedSize, 40);
  EXPECT_EQ(columns_[1].attributes, 0x8 | 0x20 | 0x40);  // writeunknown, nullable, may be null
  EXPECT_EQ(columns_[2].type, 5);                        // adDouble
  EXPECT_EQ(columns_[2].precision, 15);
  EXPECT_EQ(columns_[3].type, 7);  // adDate
  EXPECT_EQ(columns_[3].definedSize, 16);

  ASSERT_EQ(rows_.size(), 5u);
  EXPECT_EQ(rows_[0].state, RowState::Unchanged);
  ExpectI4(rows_[0].values[0], 1);
  ExpectText(rows_[0].values[1], u"Bolt & nut");
  ExpectR8(rows_[0].values[2], 0.25);
  EXPECT_EQ(rows_[0].values[3].vt, VT_DATE);
  EXPECT_DOUBLE_EQ(rows_[0].values[3].date, 38047 + 8.5 / 24);

  EXPECT_EQ(rows_[1].state, RowState::Unchanged);  // Weight and Checked are Null: attributes absent
  ExpectI4(rows_[1].values[0], 2);
  ExpectText(rows_[1].values[1], u"Washer");
  ExpectNull(rows_[1].values[2]);
  ExpectNull(rows_[1].values[3]);

  EXPECT_EQ(rows_[2].state, RowState::Inserted);
  ExpectI4(rows_[2].values[0], 5);
  ExpectR8(rows_[2].values[2], 1.5);
  ExpectNull(rows_[2].values[3]);

  EXPECT_EQ(rows_[3].state, RowState::Modified);  // only Name changed
  ASSERT_EQ(rows_[3].original.size(), 4u);
  ExpectText(rows_[3].original[1], u"Clip");
  ExpectText(rows_[3].values[1], u"Spring clip");
  ExpectI4(rows_[3].values[0], 3);
  ExpectR8(rows_[3].values[2], 0.1);
  EXPECT_DOUBLE_EQ(rows_[3].values[3].date, 38028.0);

  EXPECT_EQ(rows_[4].state, RowState::Deleted);
  ExpectI4(rows_[4].values[0], 4);
  ExpectText(rows_[4].values[1], u"Pin");
  ExpectR8(rows_[4].values[2], 0.05);
}

TEST_F(PersistXmlTest, ReadersGoByNamespaceUriNotByPrefix) {
  std::string text = kReferenceExample;
  auto replaceAll = [&](const std::string& from, const std::string& to) {
    for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
      text.replace(pos, from.size(), to);
  };
  replaceAll("xmlns:s=", "xmlns:schema=");
  replaceAll("<s:", "<schema:");
  replaceAll("</s:", "</schema:");
  replaceAll("rs:", "r:");
  replaceAll("xmlns:r=", "xmlns:r=");
  replaceAll("xmlns:rs=", "xmlns:r=");
  replaceAll("z:row", "row:row");
  replaceAll("xmlns:z=", "xmlns:row=");
  std::string p = WriteText("prefixes.xml", text);
  ASSERT_EQ(PersistXml::Load(p, columns_, rows_, nullptr), S_OK);
  ASSERT_EQ(columns_.size(), 4u);
  EXPECT_TRUE(columns_[0].keyColumn);
  ASSERT_EQ(rows_.size(), 5u);
  EXPECT_EQ(rows_[3].state, RowState::Modified);
  ExpectText(rows_[3].values[1], u"Spring clip");

  // A row element in another namespace is not a row.
  std::string other = kReferenceExample;
  other.replace(other.find("xmlns:z=\"#RowsetSchema\""), 23, "xmlns:z=\"urn:other\"");
  std::vector<PersistColumn> cols;
  std::vector<PersistRow> rows;
  ASSERT_EQ(PersistXml::Load(WriteText("otherns.xml", other), cols, rows, nullptr), S_OK);
  EXPECT_EQ(rows.size(), 1u);  // only the rs:update, which has no z:row of the schema
  PersistXml::Clear(rows);
}

// Every type: column type, value, the text it must be written as.
struct TypeCase {
  int type;
  Var value;
  const char* text;
};

TEST_F(PersistXmlTest, RoundTripsEveryTypeIncludingNull) {
  std::vector<TypeCase> cases = {
      {2, Var::I2(-32768), "-32768"},
      {3, Var::I4(2147483647), "2147483647"},
      {4, Var::R4(0.1f), "0.1"},
      {5, Var::R8(1e20), "1E+20"},
      {6, Var::Cy(-15000), "-1.5"},
      {7, Var::Date(38047 + 8.5 / 24), "2004-03-01T08:30:00"},
      {11, Var::Bool(true), "True"},
      {14, Var::Dec(12345, 3, true), "-12.345"},
      {20, Var::I8(-9007199254740993LL), "-9007199254740993"},
      {72, Var::Str(u"{00000514-0000-0010-8000-00AA006D2EA4}"), "{00000514-0000-0010-8000-00AA006D2EA4}"},
      {131, Var::Dec(123450, 3, false), "123.450"},
      {133, Var::Date(38028.0), "2004-02-11"},
      {135, Var::Date(-1.25), "1899-12-29T06:00:00"},
      {200, Var::Str(u"O'Hara & <Sons> \"x\""), nullptr},
      {202, Var::Str(u"\u5730\u5c42 name"), nullptr},
      {203, Var::Str(u""), nullptr},
      {204, Var::Bytes({0x00, 0xAB, 0xFF}), "00abff"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    PersistColumn c;
    c.name = u"c" + std::u16string(1, (char16_t)(u'a' + i));
    c.type = cases[i].type;
    c.definedSize = 8;
    c.attributes = 0x20 | 0x40 | 0x8;
    columns_.push_back(c);
  }
  PersistRow full, nulls;
  for (const TypeCase& tc : cases) {
    full.values.push_back(Var(tc.value).Detach());
    nulls.values.push_back(Var::Null().Detach());
  }
  rows_.push_back(std::move(full));
  rows_.push_back(std::move(nulls));

  std::string p = Path("types.xml");
  ASSERT_EQ(PersistXml::Save(p, columns_, rows_, false, nullptr), S_OK);
  std::string xml = ReadText(p);
  for (size_t i = 0; i < cases.size(); ++i) {
    if (!cases[i].text) continue;
    std::string attr = "c" + std::string(1, (char)('a' + i)) + "=\"" + cases[i].text + "\"";
    EXPECT_NE(xml.find(attr), std::string::npos) << attr;
  }
  EXPECT_NE(xml.find("<rs:data>"), std::string::npos);

  std::vector<PersistColumn> cols;
  std::vector<PersistRow> rows;
  ASSERT_EQ(PersistXml::Load(p, cols, rows, nullptr), S_OK);
  ASSERT_EQ(cols.size(), cases.size());
  ASSERT_EQ(rows.size(), 2u);
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "type " << cases[i].type);
    EXPECT_EQ(cols[i].type, cases[i].type);
    EXPECT_EQ(cols[i].name, columns_[i].name);
    const VARIANT& in = cases[i].value.get();
    const VARIANT& out = rows[0].values[i];
    EXPECT_EQ(out.vt, in.vt);
    EXPECT_EQ(ValueCompare::Compare(in, out), 0);
    if (in.vt == VT_BSTR) {
      EXPECT_EQ(ValueCompare::Text(out), ValueCompare::Text(in));  // exact, not just ignoring case
    }
    if (in.vt == VT_DECIMAL) {
      EXPECT_EQ(out.decVal.scale, in.decVal.scale);
    }
    EXPECT_EQ(rows[1].values[i].vt, VT_NULL);
  }
  PersistXml::Clear(rows);
}

TEST_F(PersistXmlTest, SavesSchemaAttributesAndPendingChanges) {
  PersistColumn id{u"PartId", 3, 4, 10, 0, 0x8 | 0x10, u"Parts", u"PartId", true};
  PersistColumn name{u"Part Name", 200, 40, 0, 0, 0x8 | 0x20 | 0x40 | 0x80, u"Parts", u"Name", false};
  columns_ = {id, name};
  auto row = [](RowState state, std::vector<Var> values, std::vector<Var> original = {}) {
    PersistRow r;
    r.state = state;
    for (auto& v : values) r.values.push_back(v.Detach());
    for (auto& v : original) r.original.push_back(v.Detach());
    return r;
  };
  rows_.push_back(row(RowState::Unchanged, {Var::I4(1), Var::Str(u"Bolt")}));
  rows_.push_back(row(RowState::Inserted, {Var::I4(5), Var::Str(u"Spring")}));
  rows_.push_back(row(RowState::Inserted, {Var::I4(6), Var::Null()}));
  rows_.push_back(
      row(RowState::Modified, {Var::I4(3), Var::Str(u"Spring clip")}, {Var::I4(3), Var::Str(u"Clip")}));
  rows_.push_back(row(RowState::Deleted, {Var::I4(4), Var::Str(u"Pin")}));
  rows_.push_back(row(RowState::Modified, {Var::I4(7), Var::Null()}, {Var::I4(7), Var::Str(u"Nut")}));
  std::string p = Path("changes.xml");
  ASSERT_EQ(PersistXml::Save(p, columns_, rows_, false, nullptr), S_OK);
  std::string xml = ReadText(p);

  // Namespaces and structure as ADO writes them.
  for (const char* part :
       {"xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\"",
        "xmlns:dt=\"uuid:C2F41010-65B3-11d1-A29F-00AA00C14882\"",
        "xmlns:rs=\"urn:schemas-microsoft-com:rowset\"", "xmlns:z=\"#RowsetSchema\"",
        "<s:Schema id=\"RowsetSchema\">",
        "<s:ElementType name=\"row\" content=\"eltOnly\" rs:updatable=\"true\">",
        "<s:extends type=\"rs:rowbase\"/>",
        // column 1: key, base table/column, int with precision, fixed, never Null
        "name=\"PartId\" rs:number=\"1\" rs:writeunknown=\"true\" rs:keycolumn=\"true\" "
        "rs:basetable=\"Parts\" "
        "rs:basecolumn=\"PartId\"",
        "<s:datatype dt:type=\"int\" dt:maxLength=\"4\" rs:precision=\"10\" rs:fixedlength=\"true\" "
        "rs:maybenull=\"false\"/>",
        // column 2: not an XML name, so an alias and rs:name; a long narrow string
        "name=\"c1\" rs:name=\"Part Name\" rs:number=\"2\" rs:nullable=\"true\"",
        "<s:datatype dt:type=\"string\" rs:dbtype=\"str\" dt:maxLength=\"40\" rs:long=\"true\"/>",
        "<z:row PartId=\"1\" c1=\"Bolt\"/>", "<rs:insert>", "<z:row PartId=\"6\"/>", "<rs:original>",
        "<z:row PartId=\"3\" c1=\"Clip\"/>", "<z:row c1=\"Spring clip\"/>", "<rs:delete>",
        "<z:row rs:forcenull=\"c1\"/>"})
    EXPECT_NE(xml.find(part), std::string::npos) << part << "\n" << xml;
  EXPECT_EQ(xml.find("<rs:insert>", xml.find("<rs:insert>") + 1),
            std::string::npos);  // consecutive inserts share one

  std::vector<PersistColumn> cols;
  std::vector<PersistRow> rows;
  ASSERT_EQ(PersistXml::Load(p, cols, rows, nullptr), S_OK);
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(cols[1].name, u"Part Name");
  EXPECT_EQ(cols[1].type, 201);  // adLongVarChar
  EXPECT_EQ(cols[1].attributes, 0x8 | 0x20 | 0x40 | 0x80);
  EXPECT_EQ(cols[0].attributes, 0x8 | 0x10 | 0x8000);
  ASSERT_EQ(rows.size(), 6u);
  std::vector<RowState> states;
  for (auto& r : rows) states.push_back(r.state);
  EXPECT_EQ(states, (std::vector<RowState>{RowState::Unchanged, RowState::Inserted, RowState::Inserted,
                                           RowState::Modified, RowState::Deleted, RowState::Modified}));
  ExpectText(rows[3].values[1], u"Spring clip");
  ExpectText(rows[3].original[1], u"Clip");
  ExpectNull(rows[2].values[1]);
  ExpectNull(rows[5].values[1]);  // changed to Null, through rs:forcenull
  ExpectText(rows[5].original[1], u"Nut");
  ExpectI4(rows[5].values[0], 7);
  PersistXml::Clear(rows);
}

TEST_F(PersistXmlTest, SavingOntoAnExistingFileIsAdErrWriteFileUnlessOverwriting) {
  columns_ = {PersistColumn{u"a", 3, 4, 10, 0, 0x10, u"", u"", false}};
  std::string p = WriteText("exists.xml", "old");
  std::u16string description = u"sentinel";
  EXPECT_EQ(PersistXml::Save(p, columns_, rows_, false, &description), (HRESULT)0x800A0BBC);
  EXPECT_EQ(description, u"Write to file failed.");
  EXPECT_EQ(ReadText(p), "old");
  EXPECT_EQ(PersistXml::Save(p, columns_, rows_, true, nullptr), S_OK);
  EXPECT_NE(ReadText(p).find("<rs:data/>"), std::string::npos);  // present even when empty

  std::vector<PersistColumn> cols;
  std::vector<PersistRow> rows;
  EXPECT_EQ(PersistXml::Load(p, cols, rows, nullptr), S_OK);
  EXPECT_EQ(cols.size(), 1u);
  EXPECT_TRUE(rows.empty());
}

TEST_F(PersistXmlTest, SaveRefusesRowsOfTheWrongWidthAndUnsupportedValues) {
  columns_ = {PersistColumn{u"a", 3, 4, 10, 0, 0x10, u"", u"", false}};
  PersistRow r;
  r.values.push_back(Var::I4(1).Detach());
  r.values.push_back(Var::I4(2).Detach());
  rows_.push_back(std::move(r));
  EXPECT_EQ(PersistXml::Save(Path("width.xml"), columns_, rows_, true, nullptr),
            kp::ado::kErrInvalidArgument);
  PersistXml::Clear(rows_);
  PersistRow e;
  VARIANT err;
  VariantInit(&err);
  err.vt = VT_ERROR;
  e.values.push_back(err);
  rows_.push_back(std::move(e));
  EXPECT_EQ(PersistXml::Save(Path("err.xml"), columns_, rows_, true, nullptr), kp::ado::kErrDataConversion);
}

TEST_F(PersistXmlTest, LoadFailures) {
  std::vector<PersistColumn> cols{PersistColumn{}};
  std::vector<PersistRow> rows;
  std::u16string description;
  EXPECT_EQ(PersistXml::Load(Path("missing.xml"), cols, rows, &description), (HRESULT)0x800A0BBA);
  EXPECT_EQ(description, u"File could not be opened.");
  EXPECT_TRUE(cols.empty());

  const std::u16string bad = u"Recordset cannot be created. Source XML is incomplete or invalid.";
  EXPECT_EQ(PersistXml::Load(WriteText("bad.xml", "<xml><unclosed></xml>"), cols, rows, &description),
            E_FAIL);
  EXPECT_EQ(description, bad);
  EXPECT_EQ(PersistXml::Load(WriteText("noschema.xml",
                                       "<xml xmlns:rs=\"urn:schemas-microsoft-com:rowset\"><rs:data/></xml>"),
                             cols, rows, &description),
            E_FAIL);
  std::string badValue = kReferenceExample;
  badValue.replace(badValue.find("PartId=\"2\""), 10, "PartId=\"x\"");
  EXPECT_EQ(PersistXml::Load(WriteText("badvalue.xml", badValue), cols, rows, &description), E_FAIL);
  EXPECT_TRUE(rows.empty());
}

TEST_F(PersistXmlTest, ReadsShortTypeNamesAndDbTypesFirst) {
  std::string text = kReferenceExample;
  text.replace(text.find("dt:type=\"int\""), 13, "dt:type=\"i4\"");
  text.replace(text.find("dt:type=\"float\""), 15, "dt:type=\"i8\" rs:dbtype=\"currency\"");
  std::string p = WriteText("short.xml", text);
  ASSERT_EQ(PersistXml::Load(p, columns_, rows_, nullptr), S_OK);
  EXPECT_EQ(columns_[0].type, 3);
  EXPECT_EQ(columns_[2].type, 6);  // adCurrency
  EXPECT_EQ(rows_[0].values[2].vt, VT_CY);
  EXPECT_EQ(rows_[0].values[2].cyVal.int64, 2500);
}

}  // namespace
