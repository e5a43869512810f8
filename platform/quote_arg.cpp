#include "platform/quote_arg.h"

namespace launcher {

std::wstring QuoteArg(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
        } else if (c == L'"') {
            // The backslashes before a quote are doubled, and the quote gets one of its own.
            quoted.append(backslashes + 1, L'\\');
            backslashes = 0;
        } else {
            backslashes = 0;
        }
        quoted += c;
    }
    // A trailing run of backslashes would escape the closing quote: double it.
    quoted.append(backslashes, L'\\');
    quoted += L'"';
    return quoted;
}

}  // namespace launcher
