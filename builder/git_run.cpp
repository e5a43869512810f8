#include "builder/git_run.h"

#include "builder/leading_number.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

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
    double number = 0.0;  // stays 0 for a number that is not finite
    ReadLeadingNumber(line, blank == std::string::npos ? 0 : blank + 1, number);
    builder.Report(kSourceDownloadTitle, line.substr(0, line.find(':')), number / 100.0);
}

int Builder::Git(const std::vector<std::string>& arguments, std::string* capture, std::string& error) {
    const fs::path downloaded = ToolDir("git") / "cmd" / fs::path("git" + platform->ExeSuffix());
    std::error_code ec;
    // A checkout of the port lies deeper than MAX_PATH on Windows, which git only goes past when asked.
    std::vector<std::string> argv{fs::exists(downloaded, ec) ? PathToUtf8(downloaded) : "git", "-c",
                                  "core.longpaths=true"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const int code =
        platform->Run(argv, baseFolder, BuildEnvironment(toolchain), GitOutputLine{*this, capture}, &cancel);
    if (code != 0) {
        error = "git " + GitCommand(arguments) + " failed (" + std::to_string(code) + "), see launcher.log";
    }
    return code;
}

}  // namespace launcher
