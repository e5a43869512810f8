// The HTTP client of the Windows build, on WinHTTP.
#include <windows.h>
#include <winhttp.h>

#include <cwchar>
#include <vector>

#include "platform/error_text.h"
#include "platform/http_answer.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace launcher {
namespace {

// Closes its WinHTTP handle however the scope ends, a sink's exception included.
class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
    ~InternetHandle() {
        if (handle_ != nullptr) WinHttpCloseHandle(handle_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return handle_; }

private:
    HINTERNET handle_;
};

class WinHttp final : public Http {
public:
    WinHttp() : session_(OpenSession()) {
        if (session_.get() != nullptr) WinHttpSetTimeouts(session_.get(), 15000, 15000, 30000, 60000);
    }

    bool Get(const std::string& url, std::uint64_t offset, const DataSink& sink, std::uint64_t* total,
             std::string& error) override {
        if (session_.get() == nullptr) {
            error = Win32ErrorText("WinHTTP is unavailable");
            return false;
        }
        const std::wstring wideUrl = ToWide(url);
        wchar_t host[256] = {};
        wchar_t path[4096] = {};
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.lpszHostName = host;
        parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
        parts.lpszUrlPath = path;
        parts.dwUrlPathLength = static_cast<DWORD>(std::size(path));
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) {
            error = "bad address " + url;
            return false;
        }
        std::wstring object(path, parts.dwUrlPathLength);
        if (parts.lpszExtraInfo != nullptr) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

        const InternetHandle connection(WinHttpConnect(session_.get(), host, parts.nPort, 0));
        if (connection.get() == nullptr) {
            const DWORD code = GetLastError();
            error = Win32ErrorText("cannot reach the server", code);
            return false;
        }
        // Declared after the connection, so closed before it.
        const InternetHandle request(WinHttpOpenRequest(
            connection.get(), L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
            parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
        if (request.get() == nullptr) {
            const DWORD code = GetLastError();
            error = Win32ErrorText("the request failed", code);
            return false;
        }
        return Transfer(request.get(), url, offset, sink, total, error);
    }

private:
    static HINTERNET OpenSession() {
        const wchar_t* agent = L"Quenforge launcher/1.0";
        HINTERNET session =
            WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        if (session != nullptr) return session;
        return WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    }

    static bool Transfer(HINTERNET request, const std::string& url, std::uint64_t offset, const DataSink& sink,
                         std::uint64_t* total, std::string& error) {
        const std::wstring range = offset > 0 ? L"Range: bytes=" + std::to_wstring(offset) + L"-\r\n" : L"";
        if (!WinHttpSendRequest(request, offset > 0 ? range.c_str() : WINHTTP_NO_ADDITIONAL_HEADERS,
                                offset > 0 ? static_cast<DWORD>(-1) : 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !WinHttpReceiveResponse(request, nullptr)) {
            const DWORD code = GetLastError();
            error = Win32ErrorText("the request failed", code);
            return false;
        }
        DWORD status = 0;
        DWORD size = sizeof status;
        WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
        wchar_t lengthText[32] = {};
        size = sizeof lengthText;
        std::uint64_t length = 0;
        if (WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, lengthText, &size,
                                WINHTTP_NO_HEADER_INDEX)) {
            length = std::wcstoull(lengthText, nullptr, 10);
        }
        std::uint64_t answerTotal = 0, skip = 0;
        if (!TakeAnswer(status, length, offset, url, answerTotal, skip, error)) return false;
        if (total != nullptr) *total = answerTotal;

        BodyToSink body(sink, skip);
        std::vector<unsigned char> buffer(65536, 0);
        for (;;) {
            DWORD read = 0;
            if (!WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
                const DWORD code = GetLastError();
                error = Win32ErrorText("the download stopped", code);
                return false;
            }
            if (read == 0) return true;
            if (!body.Write(buffer.data(), read)) {
                error = "stopped";
                return false;
            }
        }
    }

    InternetHandle session_;
};

}  // namespace

std::unique_ptr<Http> MakeHttp() { return std::make_unique<WinHttp>(); }

}  // namespace launcher
