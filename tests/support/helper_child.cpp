// The one child program of the tests. It records how it was started, for tests of the code that
// starts programs:
//   HELPER_RECORD=<file>  writes two lines to the file: its command line and its working folder
//   HELPER_EXIT=<n>       exits with code n (0 when not set)
// and it has modes for the tests' set-up:
//   --trust-certificate <der file>   (Windows) adds the certificate to the machine's trusted roots
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
// after windows.h, which it needs
#include <wincrypt.h>
#endif

namespace {

std::string CommandLine(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    return launcher::ToUtf8(GetCommandLineW());
#else
    std::string line;
    for (int i = 0; i < argc; ++i) line += (i ? " " : "") + std::string(argv[i]);
    return line;
#endif
}

std::string Environment(const char* name) {
#ifdef _WIN32
    const std::wstring wide = launcher::ToWide(name);
    std::wstring value(32768, L'\0');
    value.resize(GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size())));
    return launcher::ToUtf8(value);
#else
    const char* value = std::getenv(name);
    return value ? value : "";
#endif
}

}  // namespace

#ifdef _WIN32
int TrustCertificate(const char* file) {
    std::ifstream in(launcher::Utf8Path(file), std::ios::binary);
    const std::string der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (der.empty() || store == nullptr) return 1;
    const BOOL added =
        CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                         static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(store, 0);
    return added ? 0 : 1;
}
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    if (argc == 3 && std::string(argv[1]) == "--trust-certificate") return TrustCertificate(argv[2]);
#endif
    const std::string record = Environment("HELPER_RECORD");
    if (!record.empty()) {
        std::error_code ec;
        const std::filesystem::path folder = std::filesystem::current_path(ec);
        // Written under another name first, so a reader never sees half a record.
        const std::filesystem::path partial = launcher::Utf8Path(record + ".partial");
        {
            std::ofstream out(partial, std::ios::binary);
            out << CommandLine(argc, argv) << "\n" << launcher::PathToUtf8(folder) << "\n";
        }
        std::filesystem::rename(partial, launcher::Utf8Path(record), ec);
    }
    const std::string code = Environment("HELPER_EXIT");
    return code.empty() ? 0 : std::atoi(code.c_str());
}
