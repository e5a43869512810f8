#pragma once

#include <string>

#include "platform/sha.h"

namespace launcher::test {

inline std::string Sha1Of(const std::string& bytes) {
    Sha1Context context;
    Sha1Init(context);
    Sha1Update(context, bytes.data(), bytes.size());
    return Sha1Final(context);
}

inline std::string Sha256Of(const std::string& bytes) {
    Sha256Context context;
    Sha256Init(context);
    Sha256Update(context, bytes.data(), bytes.size());
    return Sha256Final(context);
}

}  // namespace launcher::test
