// The Fennick channel's script (resources/fennick.js), as its server serves it after a
// first line that sets QYRA_FennickUploadURL. Built into the tests only: the SDK itself
// downloads the script.
#pragma once

#include <string_view>

std::string_view ZUMFennickScript();
