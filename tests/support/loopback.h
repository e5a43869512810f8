#pragma once
// The loopback HTTP server that ctest starts for the run (support/loopback_server.py).

#include <filesystem>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace launcher::test {

// Its folder: the served files under files/, the certificates, the state file with the ports.
std::filesystem::path LoopbackFolder();
// "http://127.0.0.1:PORT" + path, or on "https" (trusted) and "untrusted" "https://localhost:PORT" + path.
std::string LoopbackUrl(const std::string& server, const std::string& path);
// An address where nothing listens.
std::string DeadUrl(const std::string& path);
// The client under test, trusting the server's certificate: libcurl natively, WinHTTP on Windows.
std::unique_ptr<Http> MakeTestHttp();
// The bytes of a file the server serves.
std::string ServedFile(const std::string& name);

}  // namespace launcher::test
