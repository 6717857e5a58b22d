// The emulator's building blocks that need no server: fault texts, PKCE,
// strict base64, the JPEG check.

#include "emulator/account_service.h"
#include "emulator/crypto.h"
#include "emulator/emulator.h"
#include "emulator/jpeg_probe.h"
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
  ASSERT_TRUE(emulator::parseFaultAssignment("token=500", e, f, &error)) << error;
  EXPECT_EQ(e, Endpoint::Token);
  EXPECT_EQ(f.kind, Fault::Kind::Status);
  EXPECT_EQ(f.status, 500);
  EXPECT_FALSE(f.oneShot);

  ASSERT_TRUE(emulator::parseFaultAssignment("files-announce=status:403:no: way,once", e, f, &error));
  EXPECT_EQ(e, Endpoint::FilesAnnounce);
  EXPECT_EQ(f.status, 403);
  EXPECT_EQ(f.body, "no: way");
  EXPECT_TRUE(f.oneShot);

  ASSERT_TRUE(emulator::parseFault("delay:2.5", f, &error));
  EXPECT_EQ(f.kind, Fault::Kind::Delay);
  EXPECT_DOUBLE_EQ(f.delaySeconds, 2.5);
  ASSERT_TRUE(emulator::parseFault("malformed", f));
  EXPECT_EQ(f.kind, Fault::Kind::MalformedJson);
  ASSERT_TRUE(emulator::parseFault("wrongtype,once", f));
  EXPECT_EQ(f.kind, Fault::Kind::WrongType);
  EXPECT_TRUE(f.oneShot);
  ASSERT_TRUE(emulator::parseFault("drop", f));
  EXPECT_EQ(f.kind, Fault::Kind::DropConnection);
  ASSERT_TRUE(emulator::parseFault("untrusted", f));
  EXPECT_EQ(f.kind, Fault::Kind::UntrustedCertificate);

  for (const char* bad : {"", "50", "5000", "status:abc", "delay:", "delay:-1", "delay:x", "boom",
                          "once", ",once"}) {
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
  ASSERT_TRUE(emulator::base64Decode("aGVsbG8=", bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hello");
  ASSERT_TRUE(emulator::base64Decode("aGk=", bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hi");
  ASSERT_TRUE(emulator::base64Decode("", bytes));
  EXPECT_TRUE(bytes.empty());
  for (const char* bad : {"aGVsbG8", "aGV sbG8=", "aGVs\nbG8=", "a=Vsb G8", "aG=sbG8=", "aGVsbG8_"}) {
    EXPECT_FALSE(emulator::base64Decode(bad, bytes)) << bad;
  }
  std::string big(5u * 1024u * 1024u, 'x');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i & 0xff);
  std::string encoded = emulator::base64Encode(big.data(), big.size());
  EXPECT_EQ(encoded, base64(big));
  ASSERT_TRUE(emulator::base64Decode(encoded, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), big);
}

TEST(Jpeg, AcceptsWholeImagesOnly) {
  std::string jpeg = makeJpeg(33, 17);
  emulator::JpegInfo info;
  std::string error;
  ASSERT_TRUE(emulator::probeJpeg(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(),
                                  info, &error)) << error;
  EXPECT_EQ(info.width, 33);
  EXPECT_EQ(info.height, 17);
  std::string cut = jpeg.substr(0, jpeg.size() - 40);
  EXPECT_FALSE(emulator::probeJpeg(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size(),
                                   info, &error));
  std::string header = jpeg.substr(0, 2);
  EXPECT_FALSE(emulator::probeJpeg(reinterpret_cast<const std::uint8_t*>(header.data()),
                                   header.size(), info, &error));
  std::string png = "\x89PNG\r\n\x1a\n0000";
  EXPECT_FALSE(emulator::probeJpeg(reinterpret_cast<const std::uint8_t*>(png.data()), png.size(),
                                   info, &error));
}

}  // namespace
}  // namespace emulator_test
