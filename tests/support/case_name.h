#pragma once

#include <gtest/gtest.h>

#include <string>

namespace launcher::test {

// Names a table-driven test case after its `name` field, so that ctest lists readable names.
struct CaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

}  // namespace launcher::test
