#include "sdk/formats/ZUMBannerCache.h"
