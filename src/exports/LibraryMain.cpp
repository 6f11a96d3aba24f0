// libzcomn.so: the layers are linked in whole from their archives; this file only gives the
// shared object a translation unit of its own. What it exports is listed in ExportTable.cpp.
#include "exports/ExportTable.h"
