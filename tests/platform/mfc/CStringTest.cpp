// CString conformance: the MFC 4.2 string operations as documented, on GBK text. The double-byte
// cases use characters whose trail byte is an ASCII letter or a space-like byte, which a
// byte-wise implementation would corrupt: 0xB5 0x41 (trail 'A'), 0xC4 0x61 (trail 'a'), 0xB5 0x5C
// (trail '\\') and "第" (0xB5 0xDA).
#include <gtest/gtest.h>

#include <cstring>

#include "afx.h"
#include "afxstate.h"
#include "oleauto.h"

namespace {

const char kLeadA[] = "\xB5\x41";  // one GBK character whose trail byte is 'A'
const char kLeada[] = "\xC4\x61";  // one GBK character whose trail byte is 'a'
const char kDi[] = "\xB5\xDA";     // 第

TEST(CString, ConstructionForms) {
  EXPECT_STREQ((LPCTSTR)CString(), "");
  EXPECT_STREQ((LPCTSTR)CString('x', 3), "xxx");
  EXPECT_STREQ((LPCTSTR)CString('x', 0), "");
  EXPECT_STREQ((LPCTSTR)CString("abcdef", 3), "abc");
  EXPECT_STREQ((LPCTSTR)CString((LPCSTR) nullptr), "");
  const unsigned char bytes[] = {0xB5, 0xDA, 0};
  EXPECT_STREQ((LPCTSTR)CString(bytes), kDi);
}

TEST(CString, WideConstructionConvertsThroughCodePage936) {
  CString s(u"第四系");
  EXPECT_EQ(s.GetLength(), 6);
  EXPECT_STREQ((LPCTSTR)s, "\xB5\xDA\xCB\xC4\xCF\xB5");
  CString part(u"第四系", 2);
  EXPECT_STREQ((LPCTSTR)part, "\xB5\xDA\xCB\xC4");
  s = (LPCWSTR) nullptr;
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, CopiesShareUntilWritten) {
  CString a("shared");
  CString b(a);
  EXPECT_EQ((LPCTSTR)a, (LPCTSTR)b);  // same buffer: reference counted
  b.SetAt(0, 'S');
  EXPECT_STREQ((LPCTSTR)a, "shared");
  EXPECT_STREQ((LPCTSTR)b, "Shared");
}

TEST(CString, ConcatenationAndAssignment) {
  CString s = "ab";
  s += 'c';
  s += "de";
  s += CString("f");
  EXPECT_STREQ((LPCTSTR)s, "abcdef");
  EXPECT_STREQ((LPCTSTR)(s + "g"), "abcdefg");
  EXPECT_STREQ((LPCTSTR)("0" + s), "0abcdef");
  EXPECT_STREQ((LPCTSTR)('<' + s + '>'), "<abcdef>");
  s += s;  // appending a string to itself
  EXPECT_STREQ((LPCTSTR)s, "abcdefabcdef");
  s = 'z';
  EXPECT_STREQ((LPCTSTR)s, "z");
  s = s.Mid(0);  // self-assignment through a copy
  EXPECT_STREQ((LPCTSTR)s, "z");
}

TEST(CString, ComparisonOperators) {
  CString a("abc"), b("abd");
  EXPECT_TRUE(a == "abc");
  EXPECT_TRUE("abc" == a);
  EXPECT_TRUE(a != b);
  EXPECT_TRUE(a < b);
  EXPECT_TRUE(b > "abc");
  EXPECT_TRUE(a <= "abc");
  EXPECT_TRUE("abd" >= a);
  EXPECT_EQ(a.Compare("abd"), -1);
  EXPECT_EQ(b.Compare("abc"), 1);
  EXPECT_EQ(a.Compare("abc"), 0);
  EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);
  EXPECT_EQ(a.Collate("abd"), -1);
}

TEST(CString, CompareNoCaseNeverFoldsTrailBytes) {
  // "\xB5\x41" and "\xB5\x61" are two different characters: only single-byte letters fold.
  EXPECT_NE(CString("\xB5\x41").CompareNoCase("\xB5\x61"), 0);
  EXPECT_EQ(CString("\xB5\x41x").CompareNoCase("\xB5\x41X"), 0);
}

TEST(CString, ExtractionClampsToTheString) {
  CString s("Hello, world");
  EXPECT_STREQ((LPCTSTR)s.Left(5), "Hello");
  EXPECT_STREQ((LPCTSTR)s.Right(5), "world");
  EXPECT_STREQ((LPCTSTR)s.Mid(7), "world");
  EXPECT_STREQ((LPCTSTR)s.Mid(7, 2), "wo");
  EXPECT_STREQ((LPCTSTR)s.Mid(20), "");
  EXPECT_STREQ((LPCTSTR)s.Left(-1), "");
  EXPECT_STREQ((LPCTSTR)s.Right(99), "Hello, world");
  EXPECT_STREQ((LPCTSTR)s.SpanIncluding("Helo"), "Hello");
  EXPECT_STREQ((LPCTSTR)s.SpanExcluding(",;"), "Hello");
}

TEST(CString, SpanWorksOnWholeCharacters) {
  CString s = CString(kLeadA) + "AB";
  // 'A' is in the set, but the first character is the double-byte one: the span is empty.
  EXPECT_STREQ((LPCTSTR)s.SpanIncluding("A"), "");
  EXPECT_STREQ((LPCTSTR)s.SpanExcluding("A"), kLeadA);
}

struct CaseRow {
  const char* input;
  const char* upper;
  const char* lower;
};
class CStringCase : public ::testing::TestWithParam<CaseRow> {};

// Documented for _MBCS: case mapping changes single-byte letters only.
TEST_P(CStringCase, MapsSingleByteLettersOnly) {
  CString up(GetParam().input), low(GetParam().input);
  up.MakeUpper();
  low.MakeLower();
  EXPECT_STREQ((LPCTSTR)up, GetParam().upper);
  EXPECT_STREQ((LPCTSTR)low, GetParam().lower);
}
INSTANTIATE_TEST_SUITE_P(Gbk, CStringCase,
                         ::testing::Values(CaseRow{"abcXYZ", "ABCXYZ", "abcxyz"},
                                           CaseRow{"\xB5\x41"
                                                   "a",
                                                   "\xB5\x41"
                                                   "A",
                                                   "\xB5\x41"
                                                   "a"},
                                           CaseRow{"\xC4\x61"
                                                   "B",
                                                   "\xC4\x61"
                                                   "B",
                                                   "\xC4\x61"
                                                   "b"},
                                           CaseRow{"x\xB5\xDA"
                                                   "y",
                                                   "X\xB5\xDA"
                                                   "Y",
                                                   "x\xB5\xDA"
                                                   "y"}));

TEST(CString, MakeReverseKeepsDoubleByteCharactersTogether) {
  CString s = CString("ab") + kDi + "c";
  s.MakeReverse();
  EXPECT_STREQ((LPCTSTR)s, (CString("c") + kDi + "ba"));
}

struct FindRow {
  const char* text;
  char ch;
  int find;
  int reverseFind;
};
class CStringFindChar : public ::testing::TestWithParam<FindRow> {};

// Find/ReverseFind of a single-byte character never match the trail byte of a character.
TEST_P(CStringFindChar, MatchesAtCharacterBoundariesOnly) {
  CString s(GetParam().text);
  EXPECT_EQ(s.Find(GetParam().ch), GetParam().find);
  EXPECT_EQ(s.ReverseFind(GetParam().ch), GetParam().reverseFind);
}
INSTANTIATE_TEST_SUITE_P(Gbk, CStringFindChar,
                         ::testing::Values(FindRow{"abcabc", 'b', 1, 4}, FindRow{"abc", 'z', -1, -1},
                                           FindRow{"\xB5\x41", 'A', -1, -1},
                                           FindRow{"\xB5\x41"
                                                   "A",
                                                   'A', 2, 2},
                                           FindRow{"A\xB5\x41", 'A', 0, 0},
                                           FindRow{"\xC4\x61\xC4\x61"
                                                   "a",
                                                   'a', 4, 4},
                                           FindRow{"\xB5\x5C"
                                                   "\\",
                                                   '\\', 2, 2}));

TEST(CString, FindSubstringAndStart) {
  CString s("one two one");
  EXPECT_EQ(s.Find("one"), 0);
  EXPECT_EQ(s.Find("one", 1), 8);
  EXPECT_EQ(s.Find('o', 5), 6);
  EXPECT_EQ(s.Find("three"), -1);
  EXPECT_EQ(s.Find("one", 99), -1);
  EXPECT_EQ(s.FindOneOf("wt"), 4);
  // "A" + "B" spans a character boundary only after the double-byte character.
  CString g = CString(kLeadA) + "AB";
  EXPECT_EQ(g.Find("AB"), 2);
  EXPECT_EQ(g.FindOneOf("A"), 2);
}

TEST(CString, TrimWhiteSpaceCharAndSet) {
  CString s("  \t text \r\n");
  s.TrimLeft();
  EXPECT_STREQ((LPCTSTR)s, "text \r\n");
  s.TrimRight();
  EXPECT_STREQ((LPCTSTR)s, "text");
  CString t("xxtextxx");
  t.TrimLeft('x');
  EXPECT_STREQ((LPCTSTR)t, "textxx");
  t.TrimRight('x');
  EXPECT_STREQ((LPCTSTR)t, "text");
  CString u("-+-value+-");
  EXPECT_STREQ((LPCTSTR)u.Trim("+-"), "value");
  CString v("  both  ");
  EXPECT_STREQ((LPCTSTR)v.Trim(), "both");
}

TEST(CString, TrimNeverCutsInsideACharacter) {
  // The trail byte of the last character equals the trim target; the character stays whole.
  CString s = CString("x") + kLeadA;
  s.TrimRight('A');
  EXPECT_STREQ((LPCTSTR)s, (CString("x") + kLeadA));
  CString t = CString(kLeada) + "a";
  t.TrimRight("a");
  EXPECT_STREQ((LPCTSTR)t, kLeada);
  CString w = CString(kDi) + "  ";
  w.TrimRight();
  EXPECT_STREQ((LPCTSTR)w, kDi);
}

TEST(CString, ReplaceRemoveInsertDelete) {
  CString s("a,b,c");
  EXPECT_EQ(s.Replace(',', ';'), 2);
  EXPECT_STREQ((LPCTSTR)s, "a;b;c");
  EXPECT_EQ(s.Replace(";", "--"), 2);
  EXPECT_STREQ((LPCTSTR)s, "a--b--c");
  EXPECT_EQ(s.Remove('-'), 4);
  EXPECT_STREQ((LPCTSTR)s, "abc");
  EXPECT_EQ(s.Insert(1, 'X'), 4);
  EXPECT_EQ(s.Insert(99, "YZ"), 6);
  EXPECT_STREQ((LPCTSTR)s, "aXbcYZ");
  EXPECT_EQ(s.Delete(1, 2), 4);
  EXPECT_STREQ((LPCTSTR)s, "acYZ");
  EXPECT_EQ(s.Delete(3, 10), 3);
  EXPECT_STREQ((LPCTSTR)s, "acY");
}

TEST(CString, ReplaceAndRemoveSkipTrailBytes) {
  CString s = CString(kLeadA) + "A";
  EXPECT_EQ(s.Replace('A', 'B'), 1);
  EXPECT_STREQ((LPCTSTR)s, (CString(kLeadA) + "B"));
  EXPECT_EQ(s.Remove('A'), 0);
  CString t = CString(kLeadA) + "A";
  EXPECT_EQ(t.Replace("A", "xy"), 1);
  EXPECT_STREQ((LPCTSTR)t, (CString(kLeadA) + "xy"));
}

TEST(CString, FormatFollowsWindowsPrintf) {
  CString s;
  s.Format("%s=%d", "n", 42);
  EXPECT_STREQ((LPCTSTR)s, "n=42");
  // %08lx takes a 32-bit value, as HRESULTs are passed by Windows code.
  HRESULT hr = (HRESULT)0x80040E14;
  s.Format("Code = %08lx", hr);
  EXPECT_STREQ((LPCTSTR)s, "Code = 80040e14");
  s.Format("%ld|%lu|%I64d|%5.2f|%-3s|%c", -5, 7u, (LONGLONG)1 << 40, 3.14159, "a", 'z');
  EXPECT_STREQ((LPCTSTR)s, "-5|7|1099511627776| 3.14|a  |z");
  s.Format("%*d|%.*s", 4, 7, 2, "abcdef");
  EXPECT_STREQ((LPCTSTR)s, "   7|ab");
  s.Format("%S and %ls", u"第", u"四");
  EXPECT_STREQ((LPCTSTR)s, "\xB5\xDA and \xCB\xC4");
  s.Format("%s", (const char*)nullptr);
  EXPECT_STREQ((LPCTSTR)s, "(null)");
  s.Format("100%%");
  EXPECT_STREQ((LPCTSTR)s, "100%");
  s.AppendFormat(" of %d", 3);
  EXPECT_STREQ((LPCTSTR)s, "100% of 3");
  CString big;
  big.Format("%s", std::string(1000, 'x').c_str());
  EXPECT_EQ(big.GetLength(), 1000);
}

TEST(CString, GetBufferAndReleaseBuffer) {
  CString s("abc");
  CString shared(s);
  char* p = s.GetBuffer(10);
  strcpy(p, "longer");
  s.ReleaseBuffer();
  EXPECT_STREQ((LPCTSTR)s, "longer");
  EXPECT_STREQ((LPCTSTR)shared, "abc");  // the copy was not written
  p = s.GetBufferSetLength(3);
  EXPECT_EQ(s.GetLength(), 3);
  EXPECT_STREQ(p, "lon");
  s.ReleaseBuffer(2);
  EXPECT_STREQ((LPCTSTR)s, "lo");
  s.FreeExtra();
  EXPECT_STREQ((LPCTSTR)s, "lo");
  CString empty;
  char* e = empty.GetBuffer(0);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e[0], '\0');
  empty.ReleaseBuffer();
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(CString, LockedBufferIsNeverShared) {
  CString s("locked");
  char* p = s.LockBuffer();
  CString copy(s);
  EXPECT_NE((LPCTSTR)copy, (LPCTSTR)s);
  p[0] = 'L';
  EXPECT_STREQ((LPCTSTR)copy, "locked");
  s.UnlockBuffer();
  CString copy2(s);
  EXPECT_EQ((LPCTSTR)copy2, (LPCTSTR)s);
}

TEST(CString, GetAtSetAtAndEmpty) {
  CString s("ab");
  EXPECT_EQ(s.GetAt(1), 'b');
  EXPECT_EQ(s[0], 'a');
  s.SetAt(1, 'c');
  EXPECT_STREQ((LPCTSTR)s, "ac");
  s.Empty();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.GetLength(), 0);
}

TEST(CString, IndexOutOfRangeThrowsInvalidArg) {
  CString s("ab");
  try {
    (void)s.GetAt(2);
    FAIL() << "no exception";
  } catch (CInvalidArgException* e) {
    e->Delete();
  }
}

TEST(CString, AllocSysStringConvertsToUtf16) {
  CString s(
      "\xB5\xDA"
      "A");
  BSTR b = s.AllocSysString();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 2u);
  EXPECT_EQ(b[0], 0x7B2C);
  EXPECT_EQ(b[1], u'A');
  BSTR old = b;
  CString("xyz").SetSysString(&b);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(b[2], u'z');
  (void)old;
  SysFreeString(b);
}

}  // namespace
