// CArray and the typed arrays of afxcoll.h, as documented for MFC: SetSize with a grow-by count,
// Add/InsertAt/RemoveAt/SetAtGrow/Append/Copy, element construction and destruction.
#include <gtest/gtest.h>

#include "afxtempl.h"

namespace {

// Counts live instances, to see that elements are constructed and destroyed exactly once.
struct Counted {
  static int live;
  int value = 0;
  Counted() { live++; }
  Counted(const Counted& o) : value(o.value) { live++; }
  Counted& operator=(const Counted&) = default;
  ~Counted() { live--; }
};
int Counted::live = 0;

TEST(CArray, SetSizeConstructsZeroedElementsAndShrinkDestroys) {
  {
    CArray<Counted, const Counted&> a;
    a.SetSize(5, 10);
    EXPECT_EQ(a.GetSize(), 5);
    EXPECT_EQ(Counted::live, 5);
    EXPECT_EQ(a[4].value, 0);
    a.SetSize(2);
    EXPECT_EQ(Counted::live, 2);
    a.SetSize(30);  // beyond the allocation: elements move, none leak
    EXPECT_EQ(Counted::live, 30);
  }
  EXPECT_EQ(Counted::live, 0);
  CDWordArray d;
  d.SetSize(3);
  EXPECT_EQ(d[0] + d[1] + d[2], 0u);
}

TEST(CArray, AddInsertRemoveKeepOrder) {
  CUIntArray a;
  EXPECT_EQ(a.Add(1), 0);
  EXPECT_EQ(a.Add(3), 1);
  a.InsertAt(1, 2);
  a.InsertAt(0, 0, 2);  // two zeros in front
  EXPECT_EQ(a.GetCount(), 5);
  EXPECT_EQ(a.GetUpperBound(), 4);
  const UINT expected[] = {0, 0, 1, 2, 3};
  for (int i = 0; i < 5; i++) EXPECT_EQ(a[i], expected[i]);
  a.RemoveAt(0, 2);
  EXPECT_EQ(a.GetSize(), 3);
  EXPECT_EQ(a.GetAt(0), 1u);
  a.InsertAt(7, 9);  // after the end: the gap is zero-filled
  EXPECT_EQ(a.GetSize(), 8);
  EXPECT_EQ(a[5], 0u);
  EXPECT_EQ(a[7], 9u);
  a.RemoveAll();
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_EQ(a.GetData(), nullptr);
}

TEST(CArray, SetAtGrowAppendCopyFreeExtra) {
  CStringArray a;
  a.SetAtGrow(2, "c");
  EXPECT_EQ(a.GetSize(), 3);
  EXPECT_TRUE(a[0].IsEmpty());
  a[0] = "a";
  a.SetAt(1, "b");
  CStringArray b;
  b.Add("x");
  EXPECT_EQ(b.Append(a), 1);
  EXPECT_EQ(b.GetSize(), 4);
  EXPECT_STREQ((LPCTSTR)b[3], "c");
  CStringArray c;
  c.Copy(b);
  EXPECT_EQ(c.GetSize(), 4);
  EXPECT_STREQ((LPCTSTR)c.ElementAt(1), "a");
  c.FreeExtra();
  EXPECT_STREQ((LPCTSTR)c[2], "b");
  CStringArray d;
  d.InsertAt(0, &c);
  EXPECT_EQ(d.GetSize(), 4);
  EXPECT_STREQ((LPCTSTR)d[0], "x");
}

TEST(CArray, AddingAnElementOfTheSameArrayIsSafe) {
  CStringArray a;
  a.SetSize(1, 1);
  a[0] = "self";
  for (int i = 0; i < 20; i++) a.Add(a[0]);  // the argument lives in the storage that moves
  EXPECT_EQ(a.GetSize(), 21);
  EXPECT_STREQ((LPCTSTR)a[20], "self");
}

TEST(CArray, OutOfRangeIndexThrowsInvalidArg) {
  CByteArray a;
  a.Add(1);
  try {
    a.GetAt(1);
    FAIL() << "no exception";
  } catch (CInvalidArgException* e) {
    e->Delete();
  }
}

TEST(CArray, TypedArraysAreDynamicClasses) {
  CStringArray s;
  CObArray o;
  CPtrArray p;
  CWordArray w;
  EXPECT_TRUE(s.IsKindOf(RUNTIME_CLASS(CStringArray)));
  EXPECT_TRUE(s.IsKindOf(RUNTIME_CLASS(CObject)));
  EXPECT_FALSE(s.IsKindOf(RUNTIME_CLASS(CObArray)));
  EXPECT_STREQ(o.GetRuntimeClass()->m_lpszClassName, "CObArray");
  p.Add(&o);
  EXPECT_EQ(p[0], &o);
  w.Add(0xFFFF);
  EXPECT_EQ(w[0], 0xFFFF);
}

}  // namespace
