#pragma once
// An Http that answers from a table and records what it was asked.

#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace launcher::test {

class FakeHttp final : public Http {
public:
    struct Answer {
        bool ok = true;
        std::string body;
        std::string error;        // written when not ok; may be empty
        std::uint64_t total = 0;  // the length the answer claims; the body's own when 0
    };

    std::map<std::string, std::vector<Answer>> answers;  // per address, in turn; the last one repeats
    std::vector<std::string> asked;
    std::vector<std::uint64_t> offsets;

    bool Get(const std::string& url, std::uint64_t offset, const DataSink& sink, std::uint64_t* total,
             std::string& error) override {
        asked.push_back(url);
        offsets.push_back(offset);
        auto it = answers.find(url);
        if (it == answers.end() || it->second.empty()) {
            error = "the server answered 404 for " + url;
            return false;
        }
        const Answer answer = it->second.front();
        if (it->second.size() > 1) it->second.erase(it->second.begin());
        if (!answer.ok) {
            if (!answer.error.empty()) error = answer.error;
            return false;
        }
        if (total != nullptr) *total = answer.total != 0 ? answer.total : answer.body.size();
        const std::string rest = offset < answer.body.size() ? answer.body.substr(offset) : "";
        if (!rest.empty() && sink && !sink(reinterpret_cast<const unsigned char*>(rest.data()), rest.size())) {
            error = "stopped";
            return false;
        }
        return true;
    }
};

}  // namespace launcher::test
