// Taper windows.
#include <gtest/gtest.h>

#include <vector>

#include "analysis/taper.hpp"
#include "analysis_test_util.hpp"

namespace hfd::test {
namespace {

using test::Bits;

std::vector<float> Ones(int32_t n) { return std::vector<float>(static_cast<size_t>(n), 1.0f); }

TEST(TaperWindow, PiConstantIsTheStatedDouble) {
  EXPECT_EQ(Bits(kTaperPi), 0x400921FB54442D1CULL);
}

TEST(TaperWindow, SinglePrecisionStepBitPatterns) {
  EXPECT_EQ(Bits(HannStep(512)), 0x3C497495u);
  EXPECT_EQ(Bits(HannStep(1024)), 0x3BC9422Bu);
  EXPECT_EQ(Bits(HannStep(2048)), 0x3B492900u);
  EXPECT_EQ(Bits(HannStep(4096)), 0x3AC91C6Cu);
  EXPECT_EQ(static_cast<double>(HannStep(512)), 0.012295861728489399);
  EXPECT_EQ(static_cast<double>(HannStep(1024)), 0.006141921039670706);
  EXPECT_EQ(static_cast<double>(HannStep(2048)), 0.003069460391998291);
  EXPECT_EQ(static_cast<double>(HannStep(4096)), 0.0015343553386628628);
}

TEST(TaperWindow, StepWithExactPiIsTheSame) {
  // The single-precision step equals the one of the exact pi.
  for (int32_t n : test::kLengths) {
    const float exact = static_cast<float>((M_PI * 2.0) / static_cast<double>(n - 1));
    EXPECT_EQ(Bits(HannStep(n)), Bits(exact)) << n;
  }
}

TEST(TaperWindow, RectangularLeavesBlockAndScalesOne) {
  std::vector<float> b = {0.5f, -1.0f, 3.0f};
  float ws = -7.0f;
  TaperWindow(b.data(), 3, 0, ws);
  EXPECT_EQ(ws, 1.0f);
  EXPECT_EQ(b, (std::vector<float>{0.5f, -1.0f, 3.0f}));
}

TEST(TaperWindow, HannEdgesAndMiddleForN512) {
  auto b = Ones(512);
  float ws = 0.0f;
  TaperWindow(b.data(), 512, 2, ws);
  EXPECT_EQ(ws, 0.5f);
  EXPECT_EQ(Bits(b[0]), 0u);  // exactly +0.0
  // 511*delta lies slightly above 2 pi: a tiny positive value ~3e-16, not 0.
  EXPECT_GT(b[511], 0.0f);
  EXPECT_GT(b[511], 1e-16f);
  EXPECT_LT(b[511], 1e-15f);
  EXPECT_EQ(Bits(b[255]), Bits(b[256]));
  EXPECT_NEAR(b[255], 0.9999905f, 5e-8f);
  char text[32];
  std::snprintf(text, sizeof text, "%.7f", b[255]);
  EXPECT_STREQ(text, "0.9999905");
}

TEST(TaperWindow, HannIsSymmetricAndLargestInTheMiddle) {
  for (int32_t n : test::kLengths) {
    auto b = Ones(n);
    float ws = 0.0f;
    TaperWindow(b.data(), n, 2, ws);
    float mx = 0.0f;
    for (float v : b) mx = std::max(mx, v);
    EXPECT_TRUE(mx == b[static_cast<size_t>(n / 2 - 1)] || mx == b[static_cast<size_t>(n / 2)]) << n;
    for (int32_t i = 0; i < n; ++i) {
      EXPECT_NEAR(b[static_cast<size_t>(i)], b[static_cast<size_t>(n - 1 - i)], 2e-6f) << n << " " << i;
    }
  }
}

TEST(TaperWindow, HannFollowsTheStatedOperations) {
  // new = ((1 - cos(i*delta)) * sample) * 0.5 in double, then single.
  std::vector<float> b = {0.3f, -0.7f, 0.11f, 0.9f, -0.25f, 0.5f, 0.75f};
  const std::vector<float> in = b;
  float ws = 0.0f;
  TaperWindow(b.data(), 7, 2, ws);
  const double d = static_cast<double>(static_cast<float>((kTaperPi * 2.0) / 6.0));
  for (int i = 0; i < 7; ++i) {
    const float want = static_cast<float>(((1.0 - std::cos(i * d)) * static_cast<double>(in[i])) * 0.5);
    EXPECT_EQ(Bits(b[i]), Bits(want)) << i;
  }
}

TEST(TaperWindow, TriangularN5) {
  auto b = Ones(5);
  float ws = 0.0f;
  TaperWindow(b.data(), 5, 1, ws);
  EXPECT_EQ(ws, 0.5f);
  EXPECT_EQ(b, (std::vector<float>{0.0f, 0.5f, 1.0f, 0.5f, 0.0f}));
}

TEST(TaperWindow, TriangularN512) {
  auto b = Ones(512);
  float ws = 0.0f;
  TaperWindow(b.data(), 512, 1, ws);
  EXPECT_EQ(b[0], 0.0f);
  EXPECT_EQ(Bits(b[255]), Bits(0.99804306f));
  EXPECT_EQ(Bits(b[256]), Bits(0.99804306f));
  EXPECT_GT(b[511], 1.0e-8f);
  EXPECT_LT(b[511], 2.0e-8f);
}

TEST(TaperWindow, TriangularN4096) {
  auto b = Ones(4096);
  float ws = 0.0f;
  TaperWindow(b.data(), 4096, 1, ws);
  EXPECT_LT(b[4095], 0.0f);  // slightly negative
  EXPECT_NEAR(b[4095], -1.2e-7f, 0.1e-7f);
  EXPECT_EQ(Bits(b[2047]), Bits(0.99975586f));
  EXPECT_EQ(Bits(b[2048]), Bits(0.99975574f));
  // "Differ in the last bit": the two values are neighbours but one apart,
  // 2 units in the last place (1.2e-7).
  EXPECT_EQ(Bits(b[2047]) - Bits(b[2048]), 2u);
}

TEST(TaperWindow, HammingEdges) {
  for (int32_t n : {5, 512, 1024}) {
    auto b = Ones(n);
    float ws = 0.0f;
    TaperWindow(b.data(), n, 3, ws);
    EXPECT_EQ(ws, 0.5f);  // not 0.54
    EXPECT_EQ(Bits(b[0]), Bits(0.08000001f)) << n;
    EXPECT_EQ(Bits(b[static_cast<size_t>(n - 1)]), Bits(0.08000001f)) << n;
  }
  EXPECT_EQ(static_cast<double>(0.54f), 0.5400000214576721);
  EXPECT_EQ(static_cast<double>(0.46f), 0.46000000834465027);
}

TEST(TaperWindow, UnknownTypeChangesNothing) {
  for (int32_t type : {7, -1, 4, 1000}) {
    auto b = Ones(8);
    float ws = 0.123f;
    TaperWindow(b.data(), 8, type, ws);
    EXPECT_EQ(ws, 0.123f);
    EXPECT_EQ(b, Ones(8));
  }
}

TEST(TaperWindow, TooShortBlockIsRejectedWithoutTouchingAnything) {
  for (int32_t type : {1, 2, 3}) {
    for (int32_t n : {1, 0, -1, -512}) {
      float one = 0.75f;
      float ws = 0.123f;
      TaperWindow(&one, n, type, ws);
      EXPECT_EQ(one, 0.75f) << type << " " << n;
      EXPECT_EQ(ws, 0.123f) << type << " " << n;
    }
    float ws = 0.123f;
    TaperWindow(nullptr, 8, type, ws);
    EXPECT_EQ(ws, 0.123f);
  }
  float ws = 0.0f;
  TaperWindow(nullptr, 0, 0, ws);  // type 0 never touches the block
  EXPECT_EQ(ws, 1.0f);
}

TEST(TaperWindow, TwoSamplesIsTheSmallestAccepted) {
  for (int32_t type : {1, 2, 3}) {
    std::vector<float> b = {1.0f, 1.0f};
    float ws = 0.0f;
    TaperWindow(b.data(), 2, type, ws);
    EXPECT_EQ(ws, 0.5f);
    EXPECT_EQ(b[0], type == 3 ? 0.08000001f : 0.0f) << type;
  }
}

}  // namespace
}  // namespace hfd::test
