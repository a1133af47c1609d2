#pragma once
// Resource identifiers of Refreshor.exe; the resource script lives with the window.
#include "ui/ResourceIds.h"
