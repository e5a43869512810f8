#include "tests/support/loopback.h"

#include <stdexcept>

#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

#ifndef _WIN32
#include "platform/curl_http.h"
#endif

namespace fs = std::filesystem;

namespace launcher::test {
namespace {

std::string Port(const std::string& server) {
    for (const std::string& line : ReadLines(LoopbackFolder() / "state")) {
        if (line.rfind(server + "=", 0) == 0) return line.substr(server.size() + 1);
    }
    throw std::runtime_error("the loopback server has no " + server + " port");
}

}  // namespace

fs::path LoopbackFolder() { return PathFromEnvironment("LAUNCHER_LOOPBACK"); }

std::string LoopbackUrl(const std::string& server, const std::string& path) {
    if (server == "http") return "http://127.0.0.1:" + Port(server) + path;
    return "https://localhost:" + Port(server) + path;
}

std::string DeadUrl(const std::string& path) { return "http://127.0.0.1:9" + path; }

std::unique_ptr<Http> MakeTestHttp() {
#ifdef _WIN32
    return MakeHttp();
#else
    return MakeCurlHttp((LoopbackFolder() / "trusted.pem").string());
#endif
}

std::string ServedFile(const std::string& name) { return ReadFile(LoopbackFolder() / "files" / name); }

}  // namespace launcher::test
