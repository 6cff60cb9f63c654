#pragma once
#include "vexa/com_ptr.h"  // moved to the public headers
