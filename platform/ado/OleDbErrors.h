// The OLE DB error codes for the object model's files that name this header; the codes are
// defined once, under their Windows names, in the platform's oledberr.h.
#pragma once
#include "oledberr.h"
