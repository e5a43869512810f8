#pragma once

#include <string>

namespace launcher::test {

// A JSON value of arrays nested depth levels deep: "[[...]]".
inline std::string NestedArrays(size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

}  // namespace launcher::test
