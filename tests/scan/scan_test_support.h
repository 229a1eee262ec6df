// The worker tests' name for the test kit's fakes.
#pragma once

#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"
