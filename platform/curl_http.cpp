#include "platform/curl_http.h"

#include <curl/curl.h>

#include <exception>
#include <memory>
#include <mutex>

#include "platform/error_text.h"
#include "platform/http_answer.h"

namespace launcher {
namespace {

constexpr int kMaxRedirects = 10;

std::string CurlErrorText(const std::string& message, CURLcode code) {
    return ComposeErrorText(message, static_cast<std::uint32_t>(code), curl_easy_strerror(code));
}

struct EasyCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct UrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct TextFree {
    void operator()(char* text) const { curl_free(text); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

// The scheme of an address, or "" when it has none curl would take as it is.
std::string SchemeOf(const std::string& url) {
    const std::unique_ptr<CURLU, UrlCleanup> parsed(curl_url());
    char* text = nullptr;
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_SCHEME, &text, 0) != CURLUE_OK) {
        return "";
    }
    const std::unique_ptr<char, TextFree> scheme(text);
    return scheme.get();
}

// One request's state, shared with curl's callbacks.
struct Exchange {
    CURL* curl;
    std::uint64_t offset;
    const std::string& url;
    const DataSink& sink;
    std::uint64_t* total;
    std::string& error;
    bool redirect = false;  // the answer is a redirect: its body is dropped
    bool headDone = false;  // the final answer's head has been looked at
    bool refused = false;   // ... and it is not one to take
    bool stopped = false;   // the sink asked to stop
    std::unique_ptr<BodyToSink> body = nullptr;
    // What the sink threw: it may not cross curl's C frames, so it waits here until curl returns.
    std::exception_ptr thrown = nullptr;

    bool LookAtHead() {
        headDone = true;
        long status = 0;
        curl_off_t length = -1;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        std::uint64_t answerTotal = 0, skip = 0;
        if (!TakeAnswer(static_cast<std::uint32_t>(status), length > 0 ? static_cast<std::uint64_t>(length) : 0, offset,
                        url, answerTotal, skip, error)) {
            refused = true;
            return false;
        }
        if (total != nullptr) *total = answerTotal;
        body = std::make_unique<BodyToSink>(sink, skip);
        return true;
    }

    // Returning fewer bytes than given makes curl stop the transfer.
    static size_t OnData(char* data, size_t size, size_t count, void* self) {
        auto& exchange = *static_cast<Exchange*>(self);
        try {
            return exchange.Take(data, size * count);
        } catch (...) {
            exchange.thrown = std::current_exception();
            return 0;
        }
    }

    size_t Take(char* data, size_t bytes) {
        if (redirect) return bytes;
        if (!headDone) {
            // Each request has one answer; a redirect's body is dropped.
            long status = 0;
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
            if (status >= 300 && status < 400) {
                redirect = true;
                return bytes;
            }
            if (!LookAtHead()) return 0;
        }
        if (!body->Write(reinterpret_cast<const unsigned char*>(data), bytes)) {
            stopped = true;
            return 0;
        }
        return bytes;
    }
};

class CurlHttp final : public Http {
public:
    explicit CurlHttp(std::string caFile) : caFile_(std::move(caFile)) {
        static std::once_flag init;
        std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    }

    bool Get(const std::string& url, std::uint64_t offset, const DataSink& sink, std::uint64_t* total,
             std::string& error) override {
        std::string current = url;
        // Redirects are followed here, one request each, so that the rules of the last answer apply
        // and the range goes along; never from https to http.
        for (int hop = 0;; ++hop) {
            const std::string scheme = SchemeOf(current);
            if (scheme != "http" && scheme != "https") {
                error = "bad address " + url;
                return false;
            }
            std::string next;
            const int result = Request(current, url, offset, sink, total, error, next);
            if (result >= 0) return result == 1;
            // As WinHTTP does: a redirect it will not follow fails the request.
            if (hop == kMaxRedirects) {
                error = CurlErrorText("the request failed", CURLE_TOO_MANY_REDIRECTS);
                return false;
            }
            if (scheme == "https" && SchemeOf(next) != "https") {
                error = CurlErrorText("the request failed", CURLE_UNSUPPORTED_PROTOCOL);
                return false;
            }
            current = next;
        }
    }

private:
    // 1 done, 0 failed, -1 a redirect to next.
    int Request(const std::string& address, const std::string& url, std::uint64_t offset, const DataSink& sink,
                std::uint64_t* total, std::string& error, std::string& next) {
        const EasyHandle handle(curl_easy_init());
        CURL* curl = handle.get();
        if (curl == nullptr) {
            error = "the request failed (curl cannot start)";
            return 0;
        }
        Exchange exchange{curl, offset, url, sink, total, error, false, false, false, false, nullptr, nullptr};
        const std::string range = std::to_string(offset) + "-";
        curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
        curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quenforge launcher/1.0");
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
        curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 65536L);
        if (offset > 0) curl_easy_setopt(curl, CURLOPT_RANGE, range.c_str());
        if (!caFile_.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, caFile_.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Exchange::OnData);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &exchange);
        const CURLcode code = curl_easy_perform(curl);
        if (exchange.thrown) std::rethrow_exception(exchange.thrown);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        int result = 0;
        char* location = nullptr;
        if (exchange.stopped) {
            error = "stopped";
        } else if (exchange.refused) {
            // the message is written
        } else if (code == CURLE_OK && status >= 300 && status < 400 &&
                   curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location != nullptr) {
            next = location;
            result = -1;
        } else if (code != CURLE_OK) {
            error = CurlErrorText(exchange.headDone ? "the download stopped" : "the request failed", code);
        } else if (exchange.headDone || exchange.LookAtHead()) {
            result = 1;  // a body of no bytes ends here
        }
        return result;
    }

    std::string caFile_;
};

}  // namespace

std::unique_ptr<Http> MakeCurlHttp(const std::string& caFile) { return std::make_unique<CurlHttp>(caFile); }

std::unique_ptr<Http> MakeHttp() { return MakeCurlHttp(""); }

}  // namespace launcher
