// The database access layer ado2 in one include: the connection (CADODataBase), recordsets and
// field access (CADORecordset), commands and parameters (CADOCommand, CADOParameter), and the
// exception class with the layer's report and trace routines (CADOException). See docs/ado2.md.
#pragma once
#include "ADOException.h"
#include "ADODataBase.h"
#include "ADORecordset.h"
#include "ADOCommand.h"
#include "ADOParameter.h"
