// The XML persistence format held in memory (what a Stream receives from Recordset.Save and
// gives to Recordset.Open): SaveText writes the very bytes Save writes to a file, LoadText reads
// them back, and both fail as their file forms do, leaving the text alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "PersistXml.h"
#include "TestVariant.h"
#include "UtilErrors.h"

namespace kp::ado {
namespace {

using test::Var;

std::vector<PersistColumn> Columns() {
  std::vector<PersistColumn> cols(2);
  cols[0].name = u"id";
  cols[0].type = 3;  // adInteger
  cols[0].definedSize = 4;
  cols[1].name = u"名称";
  cols[1].type = 202;  // adVarWChar
  cols[1].definedSize = 20;
  return cols;
}

PersistRow Row(LONG id, const Var& name) {
  PersistRow r;
  r.values.push_back(Var::I4(id).Detach());
  r.values.push_back(Var(name).Detach());
  return r;
}

TEST(PersistXmlTextTest, SaveTextWritesWhatSaveWritesAndLoadTextReadsIt) {
  std::vector<PersistRow> rows;
  rows.push_back(Row(1, Var::Str(u"中侏罗统")));
  rows.push_back(Row(2, Var::Null()));
  std::string text;
  ASSERT_EQ(PersistXml::SaveText(text, Columns(), rows, nullptr), S_OK);
  const std::string path = "/tmp/kp-persist-text-" + std::to_string(getpid()) + ".xml";
  ASSERT_EQ(PersistXml::Save(path, Columns(), rows, false, nullptr), S_OK);
  std::ifstream f(path, std::ios::binary);
  std::ostringstream file;
  file << f.rdbuf();
  unlink(path.c_str());
  EXPECT_EQ(text, file.str());
  PersistXml::Clear(rows);

  std::vector<PersistColumn> cols;
  ASSERT_EQ(PersistXml::LoadText(text, cols, rows, nullptr), S_OK);
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(cols[1].name, u"名称");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].values[1].vt, VT_BSTR);
  EXPECT_EQ(std::u16string(rows[0].values[1].bstrVal), u"中侏罗统");
  EXPECT_EQ(rows[1].values[1].vt, VT_NULL);
  PersistXml::Clear(rows);
}

TEST(PersistXmlTextTest, FailuresLeaveTheTextAlone) {
  std::vector<PersistRow> rows;
  rows.push_back(Row(1, Var::Str(u"bell \x0007")));
  std::string text = "sentinel";
  std::u16string description;
  EXPECT_EQ(PersistXml::SaveText(text, Columns(), rows, &description), kErrDataConversion);
  EXPECT_EQ(text, "sentinel");
  EXPECT_NE(description.find(u"U+0007"), std::u16string::npos);
  PersistXml::Clear(rows);

  std::vector<PersistColumn> cols = Columns();
  for (std::string_view bad : {std::string_view("not xml"), std::string_view("<xml/>"), std::string_view()}) {
    EXPECT_EQ(PersistXml::LoadText(bad, cols, rows, &description), E_FAIL);
    EXPECT_EQ(description, u"Recordset cannot be created. Source XML is incomplete or invalid.");
    EXPECT_TRUE(cols.empty());
    EXPECT_TRUE(rows.empty());
  }
}

}  // namespace
}  // namespace kp::ado
