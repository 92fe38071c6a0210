// Tests of ADO's error codes as the utilities, the object model and the providers share them:
// AdoErr builds facility 0xA codes from ErrorValueEnum numbers, the Windows-named storage and
// OLE DB codes carry the Windows SDK values, and AdoErrorText/Fail give the documented texts.
#include "UtilErrors.h"

#include <gtest/gtest.h>

namespace kp::ado {
namespace {

TEST(UtilErrors, AdoErrIsFacilityTenPlusTheNumber) {
  static_assert(AdoErr(3001) == (HRESULT)0x800A0BB9);
  EXPECT_EQ(AdoErr(3265), (HRESULT)0x800A0CC1);
  EXPECT_EQ(HRESULT_FACILITY(AdoErr(3421)), FACILITY_CONTROL);
  EXPECT_EQ(HRESULT_CODE(AdoErr(3421)), 3421);
  EXPECT_TRUE(FAILED(AdoErr(3001)));
  EXPECT_EQ(kErrInvalidArgument, AdoErr(3001));
  EXPECT_EQ(kErrOpeningFile, AdoErr(3002));
  EXPECT_EQ(kErrReadFile, AdoErr(3003));
  EXPECT_EQ(kErrWriteFile, AdoErr(3004));
  EXPECT_EQ(kErrItemNotFound, AdoErr(3265));
  EXPECT_EQ(kErrDataConversion, AdoErr(3421));
}

TEST(UtilErrors, WindowsNamedCodesHaveTheirWindowsValues) {
  EXPECT_EQ(STG_E_FILENOTFOUND, (HRESULT)0x80030002);
  EXPECT_EQ(STG_E_ACCESSDENIED, (HRESULT)0x80030005);
  EXPECT_EQ(STG_E_WRITEFAULT, (HRESULT)0x8003001D);
  EXPECT_EQ(STG_E_READFAULT, (HRESULT)0x8003001E);
  EXPECT_EQ(STG_E_INVALIDHEADER, (HRESULT)0x800300FB);
  EXPECT_EQ(DB_SEC_E_PERMISSIONDENIED, (HRESULT)0x80040E09);
  EXPECT_EQ(DB_E_NOCOMMAND, (HRESULT)0x80040E0C);
  EXPECT_EQ(DB_E_PARAMNOTOPTIONAL, (HRESULT)0x80040E10);
  EXPECT_EQ(DB_E_ERRORSINCOMMAND, (HRESULT)0x80040E14);
  EXPECT_EQ(DB_E_INTEGRITYVIOLATION, (HRESULT)0x80040E2F);
  EXPECT_EQ(DB_E_NOTABLE, (HRESULT)0x80040E37);
  EXPECT_EQ(DB_SEC_E_AUTH_FAILED, (HRESULT)0x80040E4D);
  EXPECT_EQ(DB_E_CANCELED, (HRESULT)0x80040E4E);
  EXPECT_EQ(DB_E_BADINITSTRING, (HRESULT)0x80040E73);
}

TEST(UtilErrors, MessagesAreTheDocumentedTexts) {
  EXPECT_EQ(std::u16string(AdoErrorText(kErrOpeningFile)), u"File could not be opened.");
  EXPECT_EQ(std::u16string(AdoErrorText(DB_E_BADINITSTRING)).rfind(u"Format of the initialization string does not conform", 0),
            0u);
  EXPECT_EQ(std::u16string(AdoErrorText(STG_E_FILENOTFOUND)), u"");
  std::u16string description;
  EXPECT_EQ(Fail(kErrWriteFile, &description), kErrWriteFile);
  EXPECT_EQ(description, u"Write to file failed.");
  EXPECT_EQ(Fail(kErrReadFile, nullptr), kErrReadFile);
}

}  // namespace
}  // namespace kp::ado
