// CString: MFC's reference-counted narrow string, for GBK text (code page 936).
//
// The object holds one pointer to the text; a header before the text carries the reference
// count, the length and the allocated size. Copies share the buffer until one of them is
// written (copy on write); the empty string is one shared static buffer that is never freed.
// LockBuffer marks the buffer as this object's own (count -1) until UnlockBuffer.
//
// Every operation that looks at characters walks the text character by character with
// AfxGbkCharLength, so a trail byte (which may be 0x40-0x7E, an ASCII letter or '\\') is never
// case-mapped, found, trimmed or separated from its lead byte. Length, index and count arguments
// are bytes, as in MFC.
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "afx.h"
#include "afxstate.h"
#include "WindowsFormat.h"
#include "winnls.h"
#include "oleauto.h"

namespace {

// The shared empty string: a header with count -1 ... but never freed; see Release.
struct EmptyString {
  int nRefs = -1;
  int nDataLength = 0;
  int nAllocLength = 0;
  int nReserved = 0;
  char text[16] = {};
};
EmptyString g_empty;

inline char* EmptyText() {
  return g_empty.text;
}
inline bool IsEmptyBuffer(const char* p) {
  return p == g_empty.text;
}

inline int SafeStrlen(LPCSTR lpsz) {
  return lpsz == nullptr ? 0 : (int)strlen(lpsz);
}

// Whether the character at p (of length n) occurs in the character set (a GBK string).
bool InCharSet(const char* p, int n, LPCTSTR set) {
  for (const char* s = set; *s != '\0'; s += AfxGbkCharLength(s)) {
    int m = AfxGbkCharLength(s);
    if (m == n && memcmp(s, p, n) == 0) return true;
  }
  return false;
}

inline bool IsWhite(const char* p, int n) {
  return n == 1 && isspace(static_cast<unsigned char>(*p));
}

// Case-folding comparison of ASCII letters outside double-byte characters.
int CompareNoCaseGbk(LPCSTR a, LPCSTR b) {
  for (;;) {
    int na = AfxGbkCharLength(a), nb = AfxGbkCharLength(b);
    unsigned char ca = *a, cb = *b;
    if (na == 1 && nb == 1) {
      ca = (unsigned char)tolower(ca);
      cb = (unsigned char)tolower(cb);
      if (ca != cb) return ca < cb ? -1 : 1;
      if (ca == 0) return 0;
    } else {
      int c = memcmp(a, b, na < nb ? na : nb);
      if (c != 0) return c < 0 ? -1 : 1;
      if (na != nb) return na < nb ? -1 : 1;
    }
    a += na;
    b += nb;
  }
}

// Answers the byte offset of the first occurrence of sub in text at a character boundary.
int FindAtBoundary(LPCSTR text, int start, LPCSTR sub, int nSub) {
  for (const char* p = text; *p != '\0'; p += AfxGbkCharLength(p)) {
    int off = (int)(p - text);
    if (off >= start && strncmp(p, sub, nSub) == 0) return off;
  }
  return (nSub == 0 && start <= (int)strlen(text)) ? start : -1;
}

}  // namespace

//////////////////////////////////////////////////////////////////////////////
// Buffer management

void CString::Init() {
  m_pchData = EmptyText();
}

CString::CString() {
  Init();
}

CString::CString(const CString& stringSrc) {
  Data* src = stringSrc.GetData();
  if (src->nRefs >= 0 && !IsEmptyBuffer(stringSrc.m_pchData)) {
    m_pchData = stringSrc.m_pchData;
    __atomic_add_fetch(&src->nRefs, 1, __ATOMIC_RELAXED);
  } else {
    Init();
    *this = stringSrc.m_pchData;
  }
}

CString::CString(CString&& stringSrc) noexcept {
  if (stringSrc.GetData()->nRefs < 0 && !IsEmptyBuffer(stringSrc.m_pchData)) {
    Init();  // a locked buffer stays with its owner
    AssignCopy(stringSrc.GetLength(), stringSrc.m_pchData);
  } else {
    m_pchData = stringSrc.m_pchData;
    stringSrc.Init();
  }
}

CString::CString(TCHAR ch, int nRepeat) {
  Init();
  if (nRepeat >= 1) {
    AllocBuffer(nRepeat);
    memset(m_pchData, ch, nRepeat);
  }
}

CString::CString(LPCSTR lpsz) {
  Init();
  if (lpsz != nullptr && IS_INTRESOURCE(lpsz)) {
    LoadString(LOWORD((uintptr_t)lpsz));
    return;
  }
  int nLen = SafeStrlen(lpsz);
  if (nLen != 0) {
    AllocBuffer(nLen);
    memcpy(m_pchData, lpsz, nLen);
  }
}

CString::CString(LPCSTR lpch, int nLength) {
  Init();
  if (lpch != nullptr && nLength > 0) {
    AllocBuffer(nLength);
    memcpy(m_pchData, lpch, nLength);
  }
}

CString::CString(const unsigned char* psz) : CString(reinterpret_cast<LPCSTR>(psz)) {}

CString::CString(LPCWSTR lpsz) {
  Init();
  *this = lpsz;
}

CString::CString(LPCWSTR lpch, int nLength) {
  Init();
  if (lpch != nullptr && nLength > 0) {
    std::string narrow = kp::Narrow(lpch, (size_t)nLength);
    AssignCopy((int)narrow.size(), narrow.data());
  }
}

CString::~CString() {
  Release();
}

void CString::AllocBuffer(int nLen) {
  ASSERT(nLen >= 0);
  if (nLen <= 0) {
    Init();
    return;
  }
  Data* pData = static_cast<Data*>(::operator new(sizeof(Data) + nLen + 1));
  pData->nRefs = 1;
  pData->nDataLength = nLen;
  pData->nAllocLength = nLen;
  pData->nReserved = 0;
  pData->data()[nLen] = '\0';
  m_pchData = pData->data();
}

void CString::DropBuffer(char* pchData) {
  if (IsEmptyBuffer(pchData)) return;
  Data* pData = reinterpret_cast<Data*>(pchData) - 1;
  if (pData->nRefs < 0 || __atomic_sub_fetch(&pData->nRefs, 1, __ATOMIC_ACQ_REL) <= 0)
    ::operator delete(pData);
}

void CString::Release() {
  DropBuffer(m_pchData);
  Init();
}

void CString::Empty() {
  if (GetData()->nRefs < 0 && !IsEmptyBuffer(m_pchData)) {
    // A locked buffer is kept; only its contents go.
    GetData()->nDataLength = 0;
    m_pchData[0] = '\0';
    return;
  }
  Release();
}

void CString::CopyBeforeWrite() {
  Data* pData = GetData();
  if (pData->nRefs > 1) {
    Release();  // pData stays alive: another string still holds it
    if (pData->nDataLength > 0) {
      AllocBuffer(pData->nDataLength);
      memcpy(m_pchData, pData->data(), pData->nDataLength + 1);
    }
  }
}

void CString::AllocBeforeWrite(int nLen) {
  Data* pData = GetData();
  if (pData->nRefs > 1 || nLen > pData->nAllocLength || IsEmptyBuffer(m_pchData)) {
    bool locked = pData->nRefs < 0 && !IsEmptyBuffer(m_pchData);
    if (locked && nLen <= pData->nAllocLength) return;
    Release();
    AllocBuffer(nLen);
    if (locked && !IsEmptyBuffer(m_pchData)) GetData()->nRefs = -1;
  }
}

void CString::AssignCopy(int nSrcLen, LPCTSTR lpszSrcData) {
  if (nSrcLen == 0) {
    Empty();
    return;
  }
  if (lpszSrcData >= m_pchData && lpszSrcData <= m_pchData + GetLength() && GetData()->nRefs == 1) {
    memmove(m_pchData, lpszSrcData, nSrcLen);  // assigning a part of this string to itself
  } else {
    std::string keep;  // the source may live in the buffer AllocBeforeWrite frees
    if (lpszSrcData >= m_pchData && lpszSrcData <= m_pchData + GetLength()) {
      keep.assign(lpszSrcData, nSrcLen);
      lpszSrcData = keep.data();
    }
    AllocBeforeWrite(nSrcLen);
    memcpy(m_pchData, lpszSrcData, nSrcLen);
  }
  GetData()->nDataLength = nSrcLen;
  m_pchData[nSrcLen] = '\0';
}

LPTSTR CString::GetBuffer(int nMinBufLength) {
  ASSERT(nMinBufLength >= 0);
  if (nMinBufLength < 0) nMinBufLength = 0;
  Data* pData = GetData();
  if (pData->nRefs > 1 || nMinBufLength > pData->nAllocLength || IsEmptyBuffer(m_pchData)) {
    if (nMinBufLength == 0 && IsEmptyBuffer(m_pchData)) {
      AllocBuffer(1);  // a writable buffer even for an empty request
      GetData()->nDataLength = 0;
      m_pchData[0] = '\0';
      return m_pchData;
    }
    int nOldLen = pData->nDataLength;
    int nNew = nMinBufLength < nOldLen ? nOldLen : nMinBufLength;
    bool locked = pData->nRefs < 0 && !IsEmptyBuffer(m_pchData);
    char* pOld = m_pchData;
    AllocBuffer(nNew);
    memcpy(m_pchData, pOld, nOldLen + 1);
    GetData()->nDataLength = nOldLen;
    DropBuffer(pOld);
    if (locked) GetData()->nRefs = -1;
  }
  return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength) {
  CopyBeforeWrite();
  if (IsEmptyBuffer(m_pchData)) return;
  if (nNewLength == -1) nNewLength = (int)strlen(m_pchData);
  ASSERT(nNewLength <= GetData()->nAllocLength);
  if (nNewLength > GetData()->nAllocLength) nNewLength = GetData()->nAllocLength;
  GetData()->nDataLength = nNewLength;
  m_pchData[nNewLength] = '\0';
}

LPTSTR CString::GetBufferSetLength(int nNewLength) {
  ASSERT(nNewLength >= 0);
  GetBuffer(nNewLength);
  if (!IsEmptyBuffer(m_pchData)) {
    GetData()->nDataLength = nNewLength;
    m_pchData[nNewLength] = '\0';
  }
  return m_pchData;
}

void CString::FreeExtra() {
  Data* pData = GetData();
  if (IsEmptyBuffer(m_pchData) || pData->nDataLength == pData->nAllocLength) return;
  CString copy(m_pchData, pData->nDataLength);
  bool locked = pData->nRefs < 0;
  if (locked) pData->nRefs = 1;
  *this = std::move(copy);
  if (locked && !IsEmptyBuffer(m_pchData)) GetData()->nRefs = -1;
}

LPTSTR CString::LockBuffer() {
  LPTSTR lpsz = GetBuffer(0);
  GetData()->nRefs = -1;
  return lpsz;
}

void CString::UnlockBuffer() {
  ASSERT(GetData()->nRefs == -1);
  if (!IsEmptyBuffer(m_pchData)) GetData()->nRefs = 1;
}

//////////////////////////////////////////////////////////////////////////////
// Assignment and concatenation

const CString& CString::operator=(const CString& stringSrc) {
  if (m_pchData == stringSrc.m_pchData) return *this;
  Data* src = stringSrc.GetData();
  if ((GetData()->nRefs < 0 && !IsEmptyBuffer(m_pchData)) ||
      (src->nRefs < 0 && !IsEmptyBuffer(stringSrc.m_pchData))) {
    AssignCopy(stringSrc.GetLength(), stringSrc.m_pchData);  // a locked buffer is never shared
  } else {
    Release();
    m_pchData = stringSrc.m_pchData;
    if (!IsEmptyBuffer(m_pchData)) __atomic_add_fetch(&src->nRefs, 1, __ATOMIC_RELAXED);
  }
  return *this;
}

const CString& CString::operator=(CString&& stringSrc) noexcept {
  if (this == &stringSrc) return *this;
  if ((GetData()->nRefs < 0 && !IsEmptyBuffer(m_pchData)) ||
      (stringSrc.GetData()->nRefs < 0 && !IsEmptyBuffer(stringSrc.m_pchData))) {
    AssignCopy(stringSrc.GetLength(), stringSrc.m_pchData);
  } else {
    Release();
    m_pchData = stringSrc.m_pchData;
    stringSrc.Init();
  }
  return *this;
}

const CString& CString::operator=(TCHAR ch) {
  AssignCopy(1, &ch);
  return *this;
}

const CString& CString::operator=(LPCSTR lpsz) {
  AssignCopy(SafeStrlen(lpsz), lpsz);
  return *this;
}

const CString& CString::operator=(LPCWSTR lpsz) {
  if (lpsz == nullptr) {
    Empty();
    return *this;
  }
  size_t n = 0;
  while (lpsz[n] != 0) n++;
  std::string narrow = kp::Narrow(lpsz, n);
  AssignCopy((int)narrow.size(), narrow.data());
  return *this;
}

const CString& CString::operator=(const unsigned char* psz) {
  return *this = reinterpret_cast<LPCSTR>(psz);
}

void CString::ConcatCopy(CString& dest, int nSrc1Len, LPCTSTR lpszSrc1Data, int nSrc2Len,
                         LPCTSTR lpszSrc2Data) {
  int nNewLen = nSrc1Len + nSrc2Len;
  if (nNewLen == 0) return;
  dest.AllocBuffer(nNewLen);
  memcpy(dest.m_pchData, lpszSrc1Data, nSrc1Len);
  memcpy(dest.m_pchData + nSrc1Len, lpszSrc2Data, nSrc2Len);
}

void CString::ConcatInPlace(int nSrcLen, LPCTSTR lpszSrcData) {
  if (nSrcLen == 0) return;
  Data* pData = GetData();
  if (pData->nRefs > 1 || pData->nDataLength + nSrcLen > pData->nAllocLength || IsEmptyBuffer(m_pchData)) {
    // Grow by half again, so that repeated appends are amortised.
    int nOldLen = pData->nDataLength;
    int nNewLen = nOldLen + nSrcLen;
    int nAlloc = nNewLen + nNewLen / 2;
    std::string keep(lpszSrcData, nSrcLen);  // the source may be this string
    bool locked = pData->nRefs < 0 && !IsEmptyBuffer(m_pchData);
    char* pOld = m_pchData;
    AllocBuffer(nAlloc);
    memcpy(m_pchData, pOld, nOldLen);
    memcpy(m_pchData + nOldLen, keep.data(), nSrcLen);
    GetData()->nDataLength = nNewLen;
    m_pchData[nNewLen] = '\0';
    DropBuffer(pOld);
    if (locked) GetData()->nRefs = -1;
  } else {
    memmove(m_pchData + pData->nDataLength, lpszSrcData, nSrcLen);
    pData->nDataLength += nSrcLen;
    m_pchData[pData->nDataLength] = '\0';
  }
}

const CString& CString::operator+=(const CString& string) {
  ConcatInPlace(string.GetLength(), string.m_pchData);
  return *this;
}

const CString& CString::operator+=(TCHAR ch) {
  ConcatInPlace(1, &ch);
  return *this;
}

const CString& CString::operator+=(LPCTSTR lpsz) {
  ConcatInPlace(SafeStrlen(lpsz), lpsz);
  return *this;
}

CString AFXAPI operator+(const CString& string1, const CString& string2) {
  CString s;
  CString::ConcatCopy(s, string1.GetLength(), string1.m_pchData, string2.GetLength(), string2.m_pchData);
  return s;
}

CString AFXAPI operator+(const CString& string, TCHAR ch) {
  CString s;
  CString::ConcatCopy(s, string.GetLength(), string.m_pchData, 1, &ch);
  return s;
}

CString AFXAPI operator+(TCHAR ch, const CString& string) {
  CString s;
  CString::ConcatCopy(s, 1, &ch, string.GetLength(), string.m_pchData);
  return s;
}

CString AFXAPI operator+(const CString& string, LPCTSTR lpsz) {
  CString s;
  CString::ConcatCopy(s, string.GetLength(), string.m_pchData, SafeStrlen(lpsz), lpsz);
  return s;
}

CString AFXAPI operator+(LPCTSTR lpsz, const CString& string) {
  CString s;
  CString::ConcatCopy(s, SafeStrlen(lpsz), lpsz, string.GetLength(), string.m_pchData);
  return s;
}

//////////////////////////////////////////////////////////////////////////////
// Access and comparison

TCHAR CString::GetAt(int nIndex) const {
  ASSERT(nIndex >= 0 && nIndex < GetLength());
  if (nIndex < 0 || nIndex >= GetLength()) AfxThrowInvalidArgException();
  return m_pchData[nIndex];
}

void CString::SetAt(int nIndex, TCHAR ch) {
  ASSERT(nIndex >= 0 && nIndex < GetLength());
  if (nIndex < 0 || nIndex >= GetLength()) AfxThrowInvalidArgException();
  CopyBeforeWrite();
  m_pchData[nIndex] = ch;
}

int CString::Compare(LPCTSTR lpsz) const {
  int c = strcmp(m_pchData, lpsz == nullptr ? "" : lpsz);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
int CString::CompareNoCase(LPCTSTR lpsz) const {
  return CompareNoCaseGbk(m_pchData, lpsz == nullptr ? "" : lpsz);
}
int CString::Collate(LPCTSTR lpsz) const {
  return Compare(lpsz);
}
int CString::CollateNoCase(LPCTSTR lpsz) const {
  return CompareNoCase(lpsz);
}

bool AFXAPI operator==(const CString& s1, const CString& s2) {
  return s1.GetLength() == s2.GetLength() && s1.Compare(s2) == 0;
}
bool AFXAPI operator==(const CString& s1, LPCTSTR s2) {
  return s1.Compare(s2) == 0;
}
bool AFXAPI operator==(LPCTSTR s1, const CString& s2) {
  return s2.Compare(s1) == 0;
}
bool AFXAPI operator!=(const CString& s1, const CString& s2) {
  return !(s1 == s2);
}
bool AFXAPI operator!=(const CString& s1, LPCTSTR s2) {
  return s1.Compare(s2) != 0;
}
bool AFXAPI operator!=(LPCTSTR s1, const CString& s2) {
  return s2.Compare(s1) != 0;
}
bool AFXAPI operator<(const CString& s1, const CString& s2) {
  return s1.Compare(s2) < 0;
}
bool AFXAPI operator<(const CString& s1, LPCTSTR s2) {
  return s1.Compare(s2) < 0;
}
bool AFXAPI operator<(LPCTSTR s1, const CString& s2) {
  return s2.Compare(s1) > 0;
}
bool AFXAPI operator>(const CString& s1, const CString& s2) {
  return s1.Compare(s2) > 0;
}
bool AFXAPI operator>(const CString& s1, LPCTSTR s2) {
  return s1.Compare(s2) > 0;
}
bool AFXAPI operator>(LPCTSTR s1, const CString& s2) {
  return s2.Compare(s1) < 0;
}
bool AFXAPI operator<=(const CString& s1, const CString& s2) {
  return s1.Compare(s2) <= 0;
}
bool AFXAPI operator<=(const CString& s1, LPCTSTR s2) {
  return s1.Compare(s2) <= 0;
}
bool AFXAPI operator<=(LPCTSTR s1, const CString& s2) {
  return s2.Compare(s1) >= 0;
}
bool AFXAPI operator>=(const CString& s1, const CString& s2) {
  return s1.Compare(s2) >= 0;
}
bool AFXAPI operator>=(const CString& s1, LPCTSTR s2) {
  return s1.Compare(s2) >= 0;
}
bool AFXAPI operator>=(LPCTSTR s1, const CString& s2) {
  return s2.Compare(s1) <= 0;
}

//////////////////////////////////////////////////////////////////////////////
// Extraction

CString CString::Mid(int nFirst) const {
  return Mid(nFirst, GetLength() - nFirst);
}

CString CString::Mid(int nFirst, int nCount) const {
  if (nFirst < 0) nFirst = 0;
  if (nCount < 0) nCount = 0;
  if (nFirst > GetLength()) nFirst = GetLength();
  if (nCount > GetLength() - nFirst) nCount = GetLength() - nFirst;
  if (nFirst == 0 && nCount == GetLength()) return *this;
  return CString(m_pchData + nFirst, nCount);
}

CString CString::Left(int nCount) const {
  return Mid(0, nCount);
}

CString CString::Right(int nCount) const {
  if (nCount < 0) nCount = 0;
  if (nCount > GetLength()) nCount = GetLength();
  return Mid(GetLength() - nCount, nCount);
}

CString CString::SpanIncluding(LPCTSTR lpszCharSet) const {
  const char* p = m_pchData;
  while (*p != '\0' && InCharSet(p, AfxGbkCharLength(p), lpszCharSet)) p += AfxGbkCharLength(p);
  return Left((int)(p - m_pchData));
}

CString CString::SpanExcluding(LPCTSTR lpszCharSet) const {
  const char* p = m_pchData;
  while (*p != '\0' && !InCharSet(p, AfxGbkCharLength(p), lpszCharSet)) p += AfxGbkCharLength(p);
  return Left((int)(p - m_pchData));
}

//////////////////////////////////////////////////////////////////////////////
// Modification

void CString::MakeUpper() {
  CopyBeforeWrite();
  for (char* p = m_pchData; *p != '\0'; p += AfxGbkCharLength(p))
    if (*p >= 'a' && *p <= 'z') *p = (char)(*p - 'a' + 'A');
}

void CString::MakeLower() {
  CopyBeforeWrite();
  for (char* p = m_pchData; *p != '\0'; p += AfxGbkCharLength(p))
    if (*p >= 'A' && *p <= 'Z') *p = (char)(*p - 'A' + 'a');
}

void CString::MakeReverse() {
  CopyBeforeWrite();
  int n = GetLength();
  std::string reversed(n, '\0');
  int out = n;
  for (const char* p = m_pchData; *p != '\0';) {
    int m = AfxGbkCharLength(p);
    out -= m;
    memcpy(&reversed[out], p, m);
    p += m;
  }
  memcpy(m_pchData, reversed.data(), n);
}

int CString::Replace(TCHAR chOld, TCHAR chNew) {
  if (chOld == chNew) return 0;
  int nCount = 0;
  CopyBeforeWrite();
  for (char* p = m_pchData; *p != '\0'; p += AfxGbkCharLength(p)) {
    if (AfxGbkCharLength(p) == 1 && *p == chOld) {
      *p = chNew;
      nCount++;
    }
  }
  return nCount;
}

int CString::Replace(LPCTSTR lpszOld, LPCTSTR lpszNew) {
  int nOld = SafeStrlen(lpszOld);
  if (nOld == 0) return 0;
  int nNew = SafeStrlen(lpszNew);
  std::string out;
  int nCount = 0;
  const char* p = m_pchData;
  while (*p != '\0') {
    if (strncmp(p, lpszOld, nOld) == 0) {
      out.append(lpszNew == nullptr ? "" : lpszNew, nNew);
      p += nOld;
      nCount++;
    } else {
      int m = AfxGbkCharLength(p);
      out.append(p, m);
      p += m;
    }
  }
  if (nCount > 0) AssignCopy((int)out.size(), out.data());
  return nCount;
}

int CString::Remove(TCHAR chRemove) {
  CopyBeforeWrite();
  char* dst = m_pchData;
  for (const char* p = m_pchData; *p != '\0';) {
    int m = AfxGbkCharLength(p);
    if (!(m == 1 && *p == chRemove)) {
      memmove(dst, p, m);
      dst += m;
    }
    p += m;
  }
  int nRemoved = GetLength() - (int)(dst - m_pchData);
  if (!IsEmptyBuffer(m_pchData)) {
    *dst = '\0';
    GetData()->nDataLength -= nRemoved;
  }
  return nRemoved;
}

int CString::Insert(int nIndex, TCHAR ch) {
  char text[2] = {ch, '\0'};
  if (ch == '\0') return GetLength();
  return Insert(nIndex, text);
}

int CString::Insert(int nIndex, LPCTSTR pstr) {
  if (nIndex < 0) nIndex = 0;
  if (nIndex > GetLength()) nIndex = GetLength();
  int nInsert = SafeStrlen(pstr);
  if (nInsert > 0) {
    std::string out(m_pchData, nIndex);
    out.append(pstr, nInsert);
    out.append(m_pchData + nIndex);
    AssignCopy((int)out.size(), out.data());
  }
  return GetLength();
}

int CString::Delete(int nIndex, int nCount) {
  if (nIndex < 0) nIndex = 0;
  int nLen = GetLength();
  if (nCount > 0 && nIndex < nLen) {
    if (nCount > nLen - nIndex) nCount = nLen - nIndex;
    CopyBeforeWrite();
    memmove(m_pchData + nIndex, m_pchData + nIndex + nCount, nLen - nIndex - nCount + 1);
    GetData()->nDataLength = nLen - nCount;
  }
  return GetLength();
}

//////////////////////////////////////////////////////////////////////////////
// Trimming

// Removes the trailing characters that are white space (whiteSpace) or in the target set.
void CString::TrimRightRange(LPCTSTR lpszTargets, int nTargets, bool whiteSpace) {
  const char* pLast = nullptr;  // start of the trailing run of removable characters
  for (const char* p = m_pchData; *p != '\0'; p += AfxGbkCharLength(p)) {
    int m = AfxGbkCharLength(p);
    bool removable = whiteSpace
                         ? IsWhite(p, m)
                         : (nTargets == 1 ? (m == 1 && *p == *lpszTargets) : InCharSet(p, m, lpszTargets));
    if (removable) {
      if (pLast == nullptr) pLast = p;
    } else {
      pLast = nullptr;
    }
  }
  if (pLast != nullptr) {
    int nNewLen = (int)(pLast - m_pchData);
    CopyBeforeWrite();
    m_pchData[nNewLen] = '\0';
    GetData()->nDataLength = nNewLen;
  }
}

void CString::TrimLeftRange(LPCTSTR lpszTargets, int nTargets, bool whiteSpace) {
  const char* p = m_pchData;
  while (*p != '\0') {
    int m = AfxGbkCharLength(p);
    bool removable = whiteSpace
                         ? IsWhite(p, m)
                         : (nTargets == 1 ? (m == 1 && *p == *lpszTargets) : InCharSet(p, m, lpszTargets));
    if (!removable) break;
    p += m;
  }
  int nRemove = (int)(p - m_pchData);
  if (nRemove > 0) Delete(0, nRemove);
}

void CString::TrimRight() {
  TrimRightRange(nullptr, 0, true);
}
void CString::TrimRight(TCHAR chTarget) {
  if (chTarget != '\0') TrimRightRange(&chTarget, 1, false);
}
void CString::TrimRight(LPCTSTR lpszTargetList) {
  if (lpszTargetList != nullptr && *lpszTargetList != '\0') TrimRightRange(lpszTargetList, -1, false);
}
void CString::TrimLeft() {
  TrimLeftRange(nullptr, 0, true);
}
void CString::TrimLeft(TCHAR chTarget) {
  if (chTarget != '\0') TrimLeftRange(&chTarget, 1, false);
}
void CString::TrimLeft(LPCTSTR lpszTargets) {
  if (lpszTargets != nullptr && *lpszTargets != '\0') TrimLeftRange(lpszTargets, -1, false);
}
CString& CString::Trim() {
  TrimRight();
  TrimLeft();
  return *this;
}
CString& CString::Trim(TCHAR chTarget) {
  TrimRight(chTarget);
  TrimLeft(chTarget);
  return *this;
}
CString& CString::Trim(LPCTSTR lpszTargets) {
  TrimRight(lpszTargets);
  TrimLeft(lpszTargets);
  return *this;
}

//////////////////////////////////////////////////////////////////////////////
// Searching

int CString::Find(TCHAR ch) const {
  return Find(ch, 0);
}

int CString::Find(TCHAR ch, int nStart) const {
  if (nStart < 0) nStart = 0;
  for (const char* p = m_pchData; *p != '\0'; p += AfxGbkCharLength(p))
    if (p - m_pchData >= nStart && AfxGbkCharLength(p) == 1 && *p == ch) return (int)(p - m_pchData);
  return -1;
}

int CString::Find(LPCTSTR lpszSub) const {
  return Find(lpszSub, 0);
}

int CString::Find(LPCTSTR lpszSub, int nStart) const {
  if (lpszSub == nullptr || nStart > GetLength()) return -1;
  if (nStart < 0) nStart = 0;
  return FindAtBoundary(m_pchData, nStart, lpszSub, SafeStrlen(lpszSub));
}

int CString::ReverseFind(TCHAR ch) const {
  int nFound = -1;
  for (const char* p = m_pchData; *p != '\0'; p += AfxGbkCharLength(p))
    if (AfxGbkCharLength(p) == 1 && *p == ch) nFound = (int)(p - m_pchData);
  return nFound;
}

int CString::FindOneOf(LPCTSTR lpszCharSet) const {
  if (lpszCharSet == nullptr) return -1;
  for (const char* p = m_pchData; *p != '\0'; p += AfxGbkCharLength(p))
    if (InCharSet(p, AfxGbkCharLength(p), lpszCharSet)) return (int)(p - m_pchData);
  return -1;
}

//////////////////////////////////////////////////////////////////////////////
// Formatting

void CString::FormatV(LPCTSTR lpszFormat, va_list argList) {
  std::string text = kp::FormatWindows(lpszFormat, argList);
  AssignCopy((int)text.size(), text.data());
}

void AFX_CDECL CString::Format(LPCTSTR lpszFormat, ...) {
  va_list args;
  va_start(args, lpszFormat);
  FormatV(lpszFormat, args);
  va_end(args);
}

void AFX_CDECL CString::Format(UINT nFormatID, ...) {
  CString strFormat;
  VERIFY(strFormat.LoadString(nFormatID));
  va_list args;
  va_start(args, nFormatID);
  FormatV(strFormat, args);
  va_end(args);
}

void CString::AppendFormatV(LPCTSTR lpszFormat, va_list argList) {
  std::string text = kp::FormatWindows(lpszFormat, argList);
  ConcatInPlace((int)text.size(), text.data());
}

void AFX_CDECL CString::AppendFormat(LPCTSTR lpszFormat, ...) {
  va_list args;
  va_start(args, lpszFormat);
  AppendFormatV(lpszFormat, args);
  va_end(args);
}

//////////////////////////////////////////////////////////////////////////////
// BSTR and resources

BSTR CString::AllocSysString() const {
  std::u16string wide = kp::Widen(m_pchData, (size_t)GetLength());
  BSTR bstr = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()), (UINT)wide.size());
  if (bstr == nullptr) AfxThrowMemoryException();
  return bstr;
}

BSTR CString::SetSysString(BSTR* pbstr) const {
  ASSERT(pbstr != nullptr);
  std::u16string wide = kp::Widen(m_pchData, (size_t)GetLength());
  if (!SysReAllocStringLen(pbstr, reinterpret_cast<const OLECHAR*>(wide.data()), (UINT)wide.size()))
    AfxThrowMemoryException();
  return *pbstr;
}

BOOL CString::LoadString(UINT nID) {
  LPCSTR text = AfxFindStringResource(nID);
  if (text == nullptr) {
    Empty();
    return FALSE;
  }
  *this = text;
  return TRUE;
}
