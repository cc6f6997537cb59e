#pragma once

#include <cstdlib>
#include <string>

// Stops the fuzzer with a report when a property does not hold.
#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition))                                                                          \
            std::abort();                                                                          \
    } while (0)

namespace fuzz {
inline constexpr const char* kModels[] = {"RVM600", "RVM600P", "RVM600PK", "VX40", "?"};

inline std::string modelFor(unsigned char selector) {
    return kModels[selector % 5];
}
} // namespace fuzz
