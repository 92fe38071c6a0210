// The forward-only cursor of the ODBC provider over one executed statement handle (owned; freed
// with the cursor).
//
// Field metadata comes from SQLDescribeColW and SQLColAttributeW, typed by the ODBC SQL type the
// way MSDASQL types it (ADO reference, ODBC section: CHAR adChar, VARCHAR adVarChar, LONGVARCHAR
// adLongVarChar, the W types adWChar/adVarWChar/adLongVarWChar, DECIMAL/NUMERIC adNumeric,
// SMALLINT/INTEGER/BIGINT by sign, TINYINT adUnsignedTinyInt or adTinyInt, BIT adBoolean, REAL
// adSingle, FLOAT/DOUBLE adDouble, the date/time types adDBDate/adDBTime/adDBTimeStamp, the
// binary types adBinary/adVarBinary/adLongVarBinary, GUID adGUID). A column whose driver type
// name is "bool" or "boolean" is adBoolean whatever SQL type the driver gives (PostgreSQL's driver
// describes booleans as text by default).
//
// Values: integers as 64-bit, floating point as double, text wide (SQLWCHAR is UTF-16 under
// unixODBC, so the text is the cell's own encoding), exact decimals as text so that every digit
// survives, dates as ISO text ("yyyy-mm-dd", "hh:mm:ss", "yyyy-mm-dd hh:mm:ss"; fractions of a
// second are dropped, as the value conversion works in whole seconds), binary as bytes.
// Short columns are bound and fetched a block of rows at a time (a row array of up to 256 rows
// in about 256 KB), so reading a cell costs no call and no allocation; long columns (LONGVAR*,
// text or binary wider than 4000, numbers of unknown precision, unknown types) are read with
// SQLGetData in pieces when their row is fetched, into buffers reused from row to row. With a
// long column the block is one row. Length indicators are checked against the buffer, never
// copied blindly (OdbcPieces.h): a bound value that the driver had to cut (an indicator of
// SQL_NO_TOTAL or beyond the buffer, 01004) is read again in pieces with SQLGetData where the
// driver allows that on bound columns (SQL_GD_BOUND, and SQL_GD_BLOCK with SQLSetPos for a block
// of rows); otherwise the fetch fails. No value is ever shortened silently.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "OdbcApi.h"
#include "Provider.h"

namespace kp::ado {

class OdbcCursor final : public ProviderCursor {
 public:
  struct Options {
    SQLUINTEGER getDataExtensions = 0;  // SQL_GETDATA_EXTENSIONS of the driver
    bool bindText = true;               // false: text sizes are not reliable (SQLite)
  };
  explicit OdbcCursor(SQLHSTMT stmt, Options options);
  ~OdbcCursor() override;
  OdbcCursor(const OdbcCursor&) = delete;
  OdbcCursor& operator=(const OdbcCursor&) = delete;

  // Describes the result columns and binds the short ones; a failure leaves err filled.
  HRESULT Describe(ProviderError& err);
  std::vector<ColumnInfo>& Columns() override { return columns_; }
  HRESULT Next(ProviderError& err) override;
  void Read(size_t c, Cell& cell, Arena& arena) override;
  SQLHSTMT Statement() const { return stmt_; }

  // The ADO type of an ODBC column (used by the schema rowsets too).
  static void TypeColumn(ColumnInfo& col, SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits,
                         bool isUnsigned, std::u16string_view typeName);

 private:
  enum class Fetch : uint8_t { Int, Real, Text, Bool, Date, Time, Stamp, Bytes };
  struct Slot {
    Fetch fetch = Fetch::Text;
    bool bound = false;
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN width = 0;                // bytes per row of the bound buffer
    std::unique_ptr<char[]> buffer;  // rows * width
    std::unique_ptr<SQLLEN[]> ind;   // rows
    std::u16string longText;         // unbound text of the current row
    std::string longBytes;           // unbound bytes of the current row
    bool longNull = true;
    bool rowLong = false;  // bound, but the current row's value was cut and read again
  };
  // The bytes a bound value may take (the buffer less the terminator of wide text); -1 for the
  // fixed-size C types, whose indicator is not a length.
  static SQLLEN Usable(const Slot& s);
  // Whether the bound value of slot s in row r has a length the buffer could not hold.
  static bool Cut(const Slot& s, SQLULEN r);
  // The error for an indicator that is no length (negative, or odd for wide text).
  ProviderError BadLength(size_t c, SQLLEN indicator) const;
  HRESULT FetchBlock(ProviderError& err);
  HRESULT ReadLong(size_t c, ProviderError& err);
  HRESULT ReadCutAgain(size_t c, ProviderError& err);

  SQLHSTMT stmt_;
  Options options_;
  std::vector<ColumnInfo> columns_;
  std::vector<Slot> slots_;
  SQLULEN rows_ = 1;  // rows per block
  SQLULEN fetched_ = 0;
  SQLULEN pos_ = 0;  // row of the block that is current
  std::unique_ptr<SQLUSMALLINT[]> status_;
  bool started_ = false;
  bool done_ = false;
};

}  // namespace kp::ado
