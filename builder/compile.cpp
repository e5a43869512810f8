// Configure and build the checkout with CMake's "release" preset. CMake's cache is kept only while
// the installed build tools are the ones it was made with: .launcher-tools in the build folder
// records them at each configure that worked.
#include "builder/compile.h"

#include <climits>

#include "builder/leading_number.h"
#include "platform/atomic_file.h"
#include "platform/file_tree.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr char kBuildFolder[] = "out/build/release";

// One "id stamp" line per tool the build needs; optional tools take no part.
std::string ToolSignature(const Toolchain& toolchain) {
    std::string signature;
    for (const Tool& tool : toolchain.tools) {
        if (!tool.optional) signature += tool.id + " " + tool.stamp + "\n";
    }
    return signature;
}

int ClampToInt(double value) {
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

void ConfigureOutputLine::operator()(const std::string& line) const { builder.Log("cmake: " + line); }

void CompileOutputLine::operator()(const std::string& line) const {
    builder.Log(line);
    if (line.size() < 4 || line[0] != '[') return;
    const size_t slash = line.find('/');
    const size_t close = line.find(']');
    if (slash == std::string::npos || close == std::string::npos || slash > close) return;
    double steps = 0.0;
    double step = 0.0;
    if (!ReadLeadingNumber(line, slash + 1, steps) || !(steps > 0.0)) return;
    if (!ReadLeadingNumber(line, 1, step)) return;
    builder.Report("Building " + builder.game.title,
                   std::to_string(ClampToInt(step)) + " of " + std::to_string(ClampToInt(steps)) + " steps",
                   step / steps);
}

bool Builder::Compile(std::string& error) {
    const fs::path source = baseFolder / "source";
    const std::map<std::string, std::string> environment = BuildEnvironment(toolchain);
    const fs::path downloaded = ToolDir("cmake") / "bin" / fs::path("cmake" + platform->ExeSuffix());
    std::error_code ec;
    const std::string cmake = fs::exists(downloaded, ec) ? PathToUtf8(downloaded) : "cmake";
    const std::string signature = ToolSignature(toolchain);
    const fs::path build = source / "out" / "build" / "release";
    const fs::path stamp = build / ".launcher-tools";

    if (fs::exists(build / "CMakeCache.txt", ec)) {
        std::string recorded;
        if (!fs::is_regular_file(stamp, ec) || !LoadFile(stamp, recorded) || recorded != signature) {
            Log("the build tools changed: CMake's cache is made again");
            fs::remove(build / "CMakeCache.txt", ec);
            RemoveTree(build / "CMakeFiles", ec);
        }
    }

    const auto run = [&](const std::vector<std::string>& argv, const LineCallback& onLine) {
        return platform->Run(argv, source, environment, onLine, &cancel) == 0;
    };
    Report("Preparing the build", "the first time also downloads the libraries it uses", -1.0);
    const bool configured = Stage("configure (cmake)", [&] {
        return run({cmake, "--preset", "release", "-DCMAKE_LINKER_TYPE=LLD"}, ConfigureOutputLine{*this});
    });
    if (!configured) {
        error = "Preparing the build failed, see launcher.log";
        return false;
    }
    fs::create_directories(build, ec);
    std::string ignored;
    WriteFileAtomically(stamp, signature, AtomicWriteOptions{}, ignored);

    Report("Building " + game.title, "the first build takes 30 to 90 minutes", 0.0);
    const bool compiled = Stage("compile and link (cmake --build)", [&] {
        return run({cmake, "--build", kBuildFolder}, CompileOutputLine{*this});
    });
    if (!compiled) {
        error = cancel.load() ? "cancelled" : "The build failed, see launcher.log";
        return false;
    }
    return true;
}

}  // namespace launcher
