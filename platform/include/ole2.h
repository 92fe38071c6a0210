// OLE's umbrella header: COM base services and OLE Automation.
#pragma once
#include "objbase.h"
#include "oleauto.h"
