// The emulator's building blocks that need no server: fault texts (the
// standalone emulator's --fault and the admin address take them), PKCE and
// strict base64. The JPEG check is met through the thumbnail endpoint.

#include "emulator/account_service.h"
#include "emulator/crypto.h"
#include "emulator/emulator.h"
#include "tests/emulator/emulator_fixture.h"

#include <gtest/gtest.h>

namespace emulator_test {
namespace {

using emulator::Endpoint;
using emulator::Fault;

TEST(FaultText, ParsesEveryKindAndTheOnceSuffix) {
    Endpoint e;
    Fault f;
    std::string error;
    ASSERT_TRUE(emulator::parseFaultAssignment("files-announce=status:403:no: way,once", e, f, &error)) << error;
    EXPECT_EQ(e, Endpoint::FilesAnnounce);
    EXPECT_EQ(f.kind, Fault::Kind::Status);
    EXPECT_EQ(f.status, 403);
    EXPECT_EQ(f.body, "no: way");
    EXPECT_TRUE(f.oneShot);

    struct Case {
        const char* text;
        Fault::Kind kind;
        bool oneShot;
    } cases[] = {
        {"500", Fault::Kind::Status, false},
        {"delay:2.5", Fault::Kind::Delay, false},
        {"malformed", Fault::Kind::MalformedJson, false},
        {"wrongtype,once", Fault::Kind::WrongType, true},
        {"drop", Fault::Kind::DropConnection, false},
        {"untrusted", Fault::Kind::UntrustedCertificate, false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(emulator::parseFault(c.text, f, &error)) << c.text << ": " << error;
        EXPECT_EQ(f.kind, c.kind) << c.text;
        EXPECT_EQ(f.oneShot, c.oneShot) << c.text;
    }
    ASSERT_TRUE(emulator::parseFault("delay:2.5", f, &error));
    EXPECT_DOUBLE_EQ(f.delaySeconds, 2.5);

    for (const char* bad : {"", "50", "5000", "status:abc", "delay:", "delay:-1", "delay:x", "boom", "once", ",once"}) {
        EXPECT_FALSE(emulator::parseFault(bad, f, &error)) << bad;
    }
    EXPECT_FALSE(emulator::parseFaultAssignment("tokens=500", e, f, &error));
    EXPECT_FALSE(emulator::parseFaultAssignment("token", e, f, &error));
    for (Endpoint each : emulator::allEndpoints()) {
        Endpoint back;
        ASSERT_TRUE(emulator::parseEndpoint(emulator::endpointName(each), back));
        EXPECT_EQ(back, each);
    }
}

TEST(Pkce, S256MatchesWithOrWithoutPaddingOnly) {
    // RFC 7636 appendix B.
    const std::string verifier = "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk";
    EXPECT_TRUE(emulator::pkceMatches(verifier, "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
    EXPECT_TRUE(emulator::pkceMatches(verifier, "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM="));
    EXPECT_FALSE(emulator::pkceMatches(verifier, "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw+cM="));
    EXPECT_FALSE(emulator::pkceMatches(verifier + "x", "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
    EXPECT_FALSE(emulator::pkceMatches(verifier, ""));
}

TEST(Base64, DecodingIsStrict) {
    std::vector<std::uint8_t> bytes;
    for (auto [encoded, decoded] :
         {std::pair<const char*, const char*>{"aGVsbG8=", "hello"}, {"aGk=", "hi"}, {"", ""}}) {
        ASSERT_TRUE(emulator::base64Decode(encoded, bytes)) << encoded;
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), decoded);
    }
    for (const char* bad : {"aGVsbG8", "aGV sbG8=", "aGVs\nbG8=", "a=Vsb G8", "aG=sbG8=", "aGVsbG8_"}) {
        EXPECT_FALSE(emulator::base64Decode(bad, bytes)) << bad;
    }
    std::string all(1024, '\0');
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<char>(i & 0xff);
    std::string encoded = emulator::base64Encode(all.data(), all.size());
    EXPECT_EQ(encoded, base64(all));
    ASSERT_TRUE(emulator::base64Decode(encoded, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), all);
}

}  // namespace
}  // namespace emulator_test
