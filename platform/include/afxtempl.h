// MFC's collection templates. CArray<TYPE, ARG_TYPE> is provided (kpafxarray.h); CList and CMap
// are not provided yet.
#pragma once
#include "afx.h"
#include "kp/kpafxarray.h"
