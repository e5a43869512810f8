#pragma once

#include <string>

namespace launcher {

// Quotes one program argument so that the standard runtime's command-line parser gives it back
// unchanged.
std::wstring QuoteArg(const std::wstring& argument);

}  // namespace launcher
