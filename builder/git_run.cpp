#include "builder/git_run.h"

#include <charconv>
#include <cmath>

#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The decimal number at the start of text (after white space), in the "C" rules whatever the
// locale; 0 when there is none, or when it is no finite number.
double LeadingNumber(const std::string& text, size_t start) {
    while (start < text.size() && IsWhiteSpace(text[start])) ++start;
    if (start < text.size() && text[start] == '+') ++start;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), value);
    (void)end;
    return error == std::errc() && std::isfinite(value) ? value : 0.0;
}

// The git command of an argument list: the first argument after any leading "-C DIR" pairs.
std::string GitCommand(const std::vector<std::string>& arguments) {
    size_t i = 0;
    while (i + 1 < arguments.size() && arguments[i] == "-C") i += 2;
    return i < arguments.size() ? arguments[i] : "";
}

}  // namespace

void GitOutputLine::operator()(const std::string& line) const {
    if (capture != nullptr) *capture += line + "\n";
    builder.Log("git: " + line);
    const size_t percent = line.find('%');
    if (percent == std::string::npos || percent < 2) return;
    const size_t blank = line.rfind(' ', percent);
    const double number = LeadingNumber(line, blank == std::string::npos ? 0 : blank + 1);
    builder.Report(kSourceDownloadTitle, line.substr(0, line.find(':')), number / 100.0);
}

int Builder::Git(const std::vector<std::string>& arguments, std::string* capture, std::string& error) {
    const fs::path downloaded = ToolDir("git") / "cmd" / fs::path("git" + platform->ExeSuffix());
    std::error_code ec;
    std::vector<std::string> argv{fs::exists(downloaded, ec) ? PathToUtf8(downloaded) : "git"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const int code =
        platform->Run(argv, baseFolder, BuildEnvironment(toolchain), GitOutputLine{*this, capture}, &cancel);
    if (code != 0) {
        error = "git " + GitCommand(arguments) + " failed (" + std::to_string(code) + "), see launcher.log";
    }
    return code;
}

}  // namespace launcher
