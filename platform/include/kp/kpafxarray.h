// CArray<TYPE, ARG_TYPE>: MFC's growable array template. Internal header: included by afxcoll.h
// (which builds CStringArray and the other typed arrays on it) and afxtempl.h; include one of
// those, not this file.
//
// Behaviour follows MFC: SetSize grows the allocation by the grow-by count (when it is 0, by an
// eighth of the size, at least 4 and at most 1024 elements); new elements are value-initialised
// (zero for plain types, the default constructor for classes such as CString); removed ones are
// destroyed. Unlike MFC 4.2, which moves elements with memmove, elements are moved with their
// move constructor, so any element type is safe. An index out of range fails the assertion and
// then throws CInvalidArgException*, as later MFC versions do, instead of touching memory that is
// not the array's.
#pragma once
#include <utility>

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray : public CObject {
 public:
  CArray() = default;
  ~CArray() override { SetSize(0, -1); }

  INT_PTR GetSize() const { return m_nSize; }
  INT_PTR GetCount() const { return m_nSize; }
  BOOL IsEmpty() const { return m_nSize == 0; }
  INT_PTR GetUpperBound() const { return m_nSize - 1; }
  void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1);
  void FreeExtra();
  void RemoveAll() { SetSize(0, -1); }

  const TYPE& GetAt(INT_PTR nIndex) const { return m_pData[Checked(nIndex)]; }
  TYPE& GetAt(INT_PTR nIndex) { return m_pData[Checked(nIndex)]; }
  void SetAt(INT_PTR nIndex, ARG_TYPE newElement) { m_pData[Checked(nIndex)] = newElement; }
  const TYPE& ElementAt(INT_PTR nIndex) const { return m_pData[Checked(nIndex)]; }
  TYPE& ElementAt(INT_PTR nIndex) { return m_pData[Checked(nIndex)]; }
  const TYPE* GetData() const { return m_pData; }
  TYPE* GetData() { return m_pData; }

  void SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement);
  INT_PTR Add(ARG_TYPE newElement) {
    INT_PTR nIndex = m_nSize;
    SetAtGrow(nIndex, newElement);
    return nIndex;
  }
  INT_PTR Append(const CArray& src);  // answers the index of the first appended element
  void Copy(const CArray& src);

  const TYPE& operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
  TYPE& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }

  void InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount = 1);
  void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1);
  void InsertAt(INT_PTR nStartIndex, const CArray* pNewArray);

  void AssertValid() const override {
    CObject::AssertValid();
    ASSERT(m_nSize >= 0 && m_nSize <= m_nMaxSize && (m_pData != nullptr || m_nMaxSize == 0));
  }

 protected:
  TYPE* m_pData = nullptr;
  INT_PTR m_nSize = 0;
  INT_PTR m_nMaxSize = 0;
  INT_PTR m_nGrowBy = 0;

 private:
  INT_PTR Checked(INT_PTR nIndex) const {
    if (nIndex < 0 || nIndex >= m_nSize) {
      ASSERT(nIndex >= 0 && nIndex < m_nSize);
      AfxThrowInvalidArgException();
    }
    return nIndex;
  }
  static TYPE* Allocate(INT_PTR n) { return static_cast<TYPE*>(::operator new(sizeof(TYPE) * (size_t)n)); }
  static void Construct(TYPE* p, INT_PTR n) {
    for (INT_PTR i = 0; i < n; i++) new (p + i) TYPE();
  }
  static void Destroy(TYPE* p, INT_PTR n) {
    for (INT_PTR i = 0; i < n; i++) p[i].~TYPE();
  }
  // Moves n elements from src to the uninitialised dst and destroys the sources.
  static void Relocate(TYPE* dst, TYPE* src, INT_PTR n) {
    for (INT_PTR i = 0; i < n; i++) {
      new (dst + i) TYPE(std::move(src[i]));
      src[i].~TYPE();
    }
  }
  void Reallocate(INT_PTR nNewMax) {
    TYPE* pNewData = Allocate(nNewMax);
    Relocate(pNewData, m_pData, m_nSize);
    ::operator delete(m_pData);
    m_pData = pNewData;
    m_nMaxSize = nNewMax;
  }
};

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::SetSize(INT_PTR nNewSize, INT_PTR nGrowBy) {
  ASSERT(nNewSize >= 0);
  if (nNewSize < 0) AfxThrowInvalidArgException();
  if (nGrowBy >= 0) m_nGrowBy = nGrowBy;
  if (nNewSize == 0) {
    Destroy(m_pData, m_nSize);
    ::operator delete(m_pData);
    m_pData = nullptr;
    m_nSize = m_nMaxSize = 0;
  } else if (nNewSize <= m_nMaxSize) {
    if (nNewSize > m_nSize)
      Construct(m_pData + m_nSize, nNewSize - m_nSize);
    else
      Destroy(m_pData + nNewSize, m_nSize - nNewSize);
    m_nSize = nNewSize;
  } else {
    INT_PTR grow = m_nGrowBy;
    if (grow == 0) grow = m_nSize / 8 < 4 ? 4 : (m_nSize / 8 > 1024 ? 1024 : m_nSize / 8);
    INT_PTR nNewMax =
        m_pData == nullptr ? nNewSize : (nNewSize < m_nMaxSize + grow ? m_nMaxSize + grow : nNewSize);
    Reallocate(nNewMax);
    Construct(m_pData + m_nSize, nNewSize - m_nSize);
    m_nSize = nNewSize;
  }
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::FreeExtra() {
  if (m_nSize == m_nMaxSize) return;
  if (m_nSize == 0) {
    ::operator delete(m_pData);
    m_pData = nullptr;
    m_nMaxSize = 0;
    return;
  }
  Reallocate(m_nSize);
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement) {
  ASSERT(nIndex >= 0);
  if (nIndex < 0) AfxThrowInvalidArgException();
  TYPE value(newElement);  // newElement may refer into this array, which may move
  if (nIndex >= m_nSize) SetSize(nIndex + 1, -1);
  m_pData[nIndex] = std::move(value);
}

template <class TYPE, class ARG_TYPE>
INT_PTR CArray<TYPE, ARG_TYPE>::Append(const CArray& src) {
  ASSERT(this != &src);
  INT_PTR nOldSize = m_nSize;
  INT_PTR nCount = src.m_nSize;
  SetSize(m_nSize + nCount);
  for (INT_PTR i = 0; i < nCount; i++) m_pData[nOldSize + i] = src.m_pData[i];
  return nOldSize;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::Copy(const CArray& src) {
  if (this == &src) return;
  SetSize(src.m_nSize);
  for (INT_PTR i = 0; i < m_nSize; i++) m_pData[i] = src.m_pData[i];
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount) {
  ASSERT(nIndex >= 0 && nCount > 0);
  if (nIndex < 0 || nCount <= 0) AfxThrowInvalidArgException();
  TYPE value(newElement);
  if (nIndex >= m_nSize) {
    SetSize(nIndex + nCount, -1);  // adding after the end of the array
  } else {
    INT_PTR nOldSize = m_nSize;
    SetSize(m_nSize + nCount, -1);
    for (INT_PTR i = nOldSize - 1; i >= nIndex; i--) m_pData[i + nCount] = std::move(m_pData[i]);
  }
  for (INT_PTR i = 0; i < nCount; i++) m_pData[nIndex + i] = value;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::RemoveAt(INT_PTR nIndex, INT_PTR nCount) {
  ASSERT(nIndex >= 0 && nCount >= 0 && nIndex + nCount <= m_nSize);
  if (nIndex < 0 || nCount < 0 || nIndex + nCount > m_nSize) AfxThrowInvalidArgException();
  for (INT_PTR i = nIndex; i + nCount < m_nSize; i++) m_pData[i] = std::move(m_pData[i + nCount]);
  Destroy(m_pData + m_nSize - nCount, nCount);
  m_nSize -= nCount;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::InsertAt(INT_PTR nStartIndex, const CArray* pNewArray) {
  ASSERT(pNewArray != nullptr && pNewArray != this && nStartIndex >= 0);
  if (pNewArray == nullptr || pNewArray == this || nStartIndex < 0) AfxThrowInvalidArgException();
  INT_PTR nCount = pNewArray->GetSize();
  if (nCount == 0) return;
  InsertAt(nStartIndex, pNewArray->GetAt(0), nCount);
  for (INT_PTR i = 1; i < nCount; i++) SetAt(nStartIndex + i, pNewArray->GetAt(i));
}
