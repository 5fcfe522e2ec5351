#pragma once
// The damaged-entry tests of the content pictures: each case named after its fault, refused by the
// claim (unless the fault lies past what the claim looks at) and by the decoder.

#include "base/errors.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

namespace vexa::test {

struct ContentFault {
    std::string fault;
    Bytes bytes;
    std::string expected; // a part the message must hold, besides the entry's name
    bool claimed = false; // the fault lies past what the claim looks at
};

// Each case: the claim refuses it (or takes it, when the fault is past the header), and the
// decoder throws a FormatError naming the entry and the fault.
template <class Claim, class Decode>
void expectRefused(const std::vector<ContentFault>& cases, Claim claim, Decode decode) {
    for (const auto& c : cases) {
        EXPECT_EQ(claim(std::span<const std::uint8_t>(c.bytes)), c.claimed) << c.fault;
        const std::string what = "entry '" + c.fault + "'";
        try {
            decode(std::span<const std::uint8_t>(c.bytes), what);
            ADD_FAILURE() << c.fault << " was decoded";
        } catch (const FormatError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind(what + ": ", 0), 0u) << c.fault << ": " << message;
            EXPECT_NE(message.find(c.expected), std::string::npos) << c.fault << ": " << message;
        }
    }
}

} // namespace vexa::test
