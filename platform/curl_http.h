#pragma once
// The HTTP client of the native build, on libcurl.

#include <memory>
#include <string>

#include "platform/platform.h"

namespace launcher {

// caFile, when not empty, is the only set of certificates trusted instead of the system's.
std::unique_ptr<Http> MakeCurlHttp(const std::string& caFile);

}  // namespace launcher
