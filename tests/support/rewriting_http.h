#pragma once
// An Http for tests that reach "the web": it maps the addresses of outside hosts onto the loopback
// server and refuses every other address that is not a loopback one, so that no test reaches the
// internet. Requests go to a real client, so the code under test runs on libcurl natively and on
// WinHTTP under Wine.
//
//   RewritingHttp http;                                   // over MakeTestHttp()
//   http.Map("https://github.com/", LoopbackUrl("http", "/site/x/web/"));
//   http.Get("https://github.com/o/n/...", ...)           // asks http://127.0.0.1:PORT/site/x/web/o/n/...

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace launcher::test {

// An http or https address whose host is 127.0.0.1, localhost or [::1].
bool IsLoopbackAddress(const std::string& url);

class RewritingHttp final : public Http {
public:
    // Forwards to the loopback server's client (MakeTestHttp), or to the client given.
    RewritingHttp();
    explicit RewritingHttp(std::unique_ptr<Http> inner);

    // Addresses that begin with prefix have it replaced; the first matching entry counts.
    void Map(const std::string& prefix, const std::string& replacement);

    // Every address and offset Get was given, before any rewriting, refused ones included.
    std::vector<std::string> asked;
    std::vector<std::uint64_t> offsets;

    bool Get(const std::string& url, std::uint64_t offset, const DataSink& sink, std::uint64_t* total,
             std::string& error) override;

private:
    std::unique_ptr<Http> inner_;
    std::vector<std::pair<std::string, std::string>> table_;
    std::mutex mutex_;
};

}  // namespace launcher::test
