#include "tests/support/rewriting_http.h"

#include "tests/support/loopback.h"

namespace launcher::test {

bool IsLoopbackAddress(const std::string& url) {
    size_t start = 0;
    if (url.rfind("http://", 0) == 0) {
        start = 7;
    } else if (url.rfind("https://", 0) == 0) {
        start = 8;
    } else {
        return false;
    }
    const std::string authority = url.substr(start, url.find_first_of("/?#", start) - start);
    // "127.0.0.1:80@elsewhere" names the host elsewhere.
    if (authority.find('@') != std::string::npos) return false;
    const size_t colon = authority.rfind(':');
    std::string host = authority;
    if (colon != std::string::npos && authority.find(']', colon) == std::string::npos) {
        host = authority.substr(0, colon);
        const std::string port = authority.substr(colon + 1);
        if (port.empty() || port.find_first_not_of("0123456789") != std::string::npos) return false;
    }
    return host == "127.0.0.1" || host == "localhost" || host == "[::1]";
}

RewritingHttp::RewritingHttp() : inner_(MakeTestHttp()) {}

RewritingHttp::RewritingHttp(std::unique_ptr<Http> inner) : inner_(std::move(inner)) {}

void RewritingHttp::Map(const std::string& prefix, const std::string& replacement) {
    std::lock_guard<std::mutex> lock(mutex_);
    table_.emplace_back(prefix, replacement);
}

bool RewritingHttp::Get(const std::string& url, std::uint64_t offset, const DataSink& sink, std::uint64_t* total,
                        std::string& error) {
    std::string target;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        asked.push_back(url);
        offsets.push_back(offset);
        for (const auto& [prefix, replacement] : table_) {
            if (url.rfind(prefix, 0) == 0) {
                target = replacement + url.substr(prefix.size());
                break;
            }
        }
    }
    if (target.empty()) {
        if (!IsLoopbackAddress(url)) {
            error = "the tests refuse " + url + ": it is neither mapped onto the loopback server nor on it";
            return false;
        }
        target = url;
    }
    return inner_->Get(target, offset, sink, total, error);
}

}  // namespace launcher::test
