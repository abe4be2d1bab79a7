// The error model lives in sdk/errors, below the foundation; this forwards the old path
// for code still written against it. Include "sdk/errors/ZUMErrors.h".
#pragma once

#include "sdk/errors/ZUMErrors.h"
