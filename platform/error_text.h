#pragma once

#include <cstdint>
#include <string>
#include <system_error>

namespace launcher {

// message + " (" + code + (": " + systemText when there is one) + ")", with the system text's
// trailing line breaks and blanks cut.
std::string ComposeErrorText(const std::string& message, std::uint32_t code, const std::string& systemText);

// The system's own words for an error code (a Win32 code on Windows, an errno value elsewhere),
// without trailing line breaks and blanks; empty when the system has none.
std::string SystemErrorText(std::uint32_t code);

// The system's words for an error code as the standard library hands it over: a code of the system
// category by SystemErrorText, an errno value of the generic category by the C library's text
// (on Windows the two number their errors differently).
std::string ErrorCodeText(const std::error_code& code);

#ifdef _WIN32
// Reads the calling thread's last error first, so call it right after the failing call. When the
// message itself has to be computed, capture the code first and pass it.
std::string Win32ErrorText(const std::string& message);
std::string Win32ErrorText(const std::string& message, std::uint32_t code);
#else
// The same form for an errno value.
std::string PosixErrorText(const std::string& message, int code);
#endif

}  // namespace launcher
