// CObject, run-time classes, exceptions and diagnostics, as MFC documents them; TRACE and
// ASSERT are active in every build and write to the trace sink, and a failed ASSERT continues.
#include <gtest/gtest.h>

#include <cstring>

#include "afx.h"
#include "TraceCapture.h"

namespace {

class CShape : public CObject {
  DECLARE_DYNAMIC(CShape)
};
IMPLEMENT_DYNAMIC(CShape, CObject)

class CCircle : public CShape {
  DECLARE_DYNCREATE(CCircle)
 public:
  int radius = 7;
};
IMPLEMENT_DYNCREATE(CCircle, CShape)

TEST(CObject, RuntimeClassChain) {
  CCircle c;
  EXPECT_TRUE(c.IsKindOf(RUNTIME_CLASS(CCircle)));
  EXPECT_TRUE(c.IsKindOf(RUNTIME_CLASS(CShape)));
  EXPECT_TRUE(c.IsKindOf(RUNTIME_CLASS(CObject)));
  EXPECT_FALSE(c.IsKindOf(RUNTIME_CLASS(CException)));
  EXPECT_STREQ(c.GetRuntimeClass()->m_lpszClassName, "CCircle");
  EXPECT_EQ(c.GetRuntimeClass()->m_nObjectSize, (int)sizeof(CCircle));
  EXPECT_FALSE(c.IsSerializable());
  EXPECT_EQ(DYNAMIC_DOWNCAST(CShape, &c), &c);
  EXPECT_EQ(DYNAMIC_DOWNCAST(CException, &c), nullptr);
}

TEST(CObject, CreateObjectNeedsDynCreate) {
  CObject* o = RUNTIME_CLASS(CCircle)->CreateObject();
  ASSERT_NE(o, nullptr);
  EXPECT_TRUE(o->IsKindOf(RUNTIME_CLASS(CCircle)));
  EXPECT_EQ(static_cast<CCircle*>(o)->radius, 7);
  delete o;
  TraceCapture trace;
  EXPECT_EQ(RUNTIME_CLASS(CShape)->CreateObject(), nullptr);
  EXPECT_NE(trace.text().find("CShape"), std::string::npos);
}

TEST(CException, DeleteHonoursAutoDelete) {
  CException stackException(FALSE);
  stackException.Delete();  // not heap: survives
  EXPECT_FALSE(stackException.m_bAutoDelete);
  CException* heap = new CNotSupportedException();
  EXPECT_TRUE(heap->m_bAutoDelete);
  heap->Delete();
}

struct MessageRow {
  void (*thrower)();
  const CRuntimeClass* cls;
  const char* message;
};
class SimpleExceptions : public ::testing::TestWithParam<MessageRow> {};

// The throw helpers throw the documented class, whose GetErrorMessage gives MFC's text.
TEST_P(SimpleExceptions, ThrowHelperAndMessage) {
  try {
    GetParam().thrower();
    FAIL() << "no exception";
  } catch (CException* e) {
    EXPECT_TRUE(e->IsKindOf(GetParam().cls));
    char text[64];
    memset(text, 'x', sizeof text);
    UINT help = 0xdeadbeef;
    EXPECT_TRUE(e->GetErrorMessage(text, sizeof text, &help));
    EXPECT_STREQ(text, GetParam().message);
    EXPECT_EQ(help, 0u);
    char small[4];
    EXPECT_TRUE(e->GetErrorMessage(small, sizeof small));
    EXPECT_EQ(std::string(small), std::string(GetParam().message).substr(0, 3));
    e->Delete();
  }
}
INSTANTIATE_TEST_SUITE_P(
    Afx, SimpleExceptions,
    ::testing::Values(MessageRow{AfxThrowMemoryException, RUNTIME_CLASS(CMemoryException), "Out of memory."},
                      MessageRow{AfxThrowNotSupportedException, RUNTIME_CLASS(CNotSupportedException),
                                 "An unsupported operation was attempted."},
                      MessageRow{AfxThrowInvalidArgException, RUNTIME_CLASS(CInvalidArgException),
                                 "Encountered an improper argument."}));

TEST(CException, MemoryExceptionIsOneStaticObject) {
  CException* first = nullptr;
  try {
    AfxThrowMemoryException();
  } catch (CMemoryException* e) {
    first = e;
    EXPECT_FALSE(e->m_bAutoDelete);
    e->Delete();
  }
  try {
    AfxThrowMemoryException();
  } catch (CMemoryException* e) {
    EXPECT_EQ(e, first);
  }
}

TEST(CException, BaseClassHasNoMessage) {
  CException e(FALSE);
  char text[8] = "xxxxxxx";
  EXPECT_FALSE(e.GetErrorMessage(text, sizeof text));
  EXPECT_STREQ(text, "");
}

TEST(CException, TryCatchMacros) {
  bool caught = false;
  TRY {
    AfxThrowNotSupportedException();
  }
  CATCH(CNotSupportedException, e) {
    caught = true;
    e->Delete();
  }
  END_CATCH
  EXPECT_TRUE(caught);
}

TEST(Diagnostics, TraceFormatsIntoTheSink) {
  TraceCapture trace;
  TRACE("value=%d text=%s\n", 5, "\xB5\xDA");
  TRACE0("plain\n");
  EXPECT_EQ(trace.text(), "value=5 text=\xB5\xDA\nplain\n");
}

TEST(Diagnostics, FailedAssertTracesFileAndLineAndContinues) {
  TraceCapture trace;
  int evaluated = 0;
  ASSERT(++evaluated == 2);
  int line = __LINE__ - 1;
  VERIFY(++evaluated == 2);  // true: no trace
  EXPECT_EQ(evaluated, 2);
  EXPECT_EQ(trace.text(), std::string("Assertion failed: ") + __FILE__ + "(" + std::to_string(line) + ")\n");
}

TEST(Diagnostics, AssertValidOfNullTraces) {
  TraceCapture trace;
  ASSERT_VALID((CObject*)nullptr);
  EXPECT_NE(trace.text().find("Assertion failed"), std::string::npos);
  trace.clear();
  CCircle c;
  ASSERT_VALID(&c);
  EXPECT_EQ(trace.text(), "");
}

TEST(Diagnostics, ValidityChecks) {
  EXPECT_TRUE(AfxIsValidString("x"));
  EXPECT_FALSE(AfxIsValidString((LPCSTR) nullptr));
  EXPECT_TRUE(AfxIsValidAddress(nullptr, 0));
  EXPECT_FALSE(AfxIsValidAddress(nullptr, 1));
}

}  // namespace
