// The application's resource table: dialog templates 100 and 102, the
// string table, the program icon and the panel's bitmap.
#pragma once

#include "resources.h"

const ResourceTable &VelmoraResources();
