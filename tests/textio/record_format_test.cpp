#include "textio/record_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "textio/record_capture.hpp"

namespace hfd::test {
namespace {

using test::Records;

// The compile-time formats must write what the run-time formatter writes for
// the same format string and items, whatever the values and item kinds.
template <FormatText S, int Count = -1, class MakeItems>
void ExpectSameAsPlan(MakeItems make, int rounds) {
  static constexpr RecordFormat<S, Count> compiled;
  const FormatPlan plan(S.view());
  for (int r = 0; r < rounds; ++r) {
    const std::vector<Item> items = make(r);
    Records a, b;
    compiled.Write(a, items.data(), static_cast<int>(items.size()));
    plan.Write(b, items.data(), static_cast<int>(items.size()));
    ASSERT_EQ(a.lines, b.lines) << S.view() << " round " << r;
    ASSERT_EQ(a.advances, b.advances) << S.view() << " round " << r;
  }
}

TEST(RecordFormat, WritesWhatTheRunTimeFormatterWrites) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> expo(-4.0, 7.0);
  auto value = [&] {
    const double v = std::pow(10.0, expo(rng)) * ((rng() & 1) ? -1.0 : 1.0);
    return static_cast<float>(rng() % 50 == 0 ? 0.0 : v);
  };
  // The spectrum line with values of every size and sign.
  ExpectSameAsPlan<"(f6.3,2(a1,f10.3,a1,f7.1))">(
      [&](int) {
        return std::vector<Item>{value(), "\t", value(), "\t", value(), "\t", value(), "\t", value()};
      },
      20000);
  // Integers of every width, double and single items, commas and tabs.
  ExpectSameAsPlan<"(2(i5,a1),5(I2,A1),i5,a1,2(2(F6.3,a1),3(f7.2,a1)))">(
      [&](int) {
        std::vector<Item> v;
        for (int i = 0; i < 9; ++i) {
          v.emplace_back(static_cast<int32_t>(rng() % 200000) - 100000);
          v.emplace_back(i % 2 ? "\t" : ",");
        }
        for (int i = 0; i < 10; ++i) {
          if (i % 3 == 0) v.emplace_back(static_cast<double>(value()) / 3.0);
          else v.emplace_back(value());
          v.emplace_back("\t");
        }
        return v;
      },
      5000);
  // A line that stops halfway through its repeated group, with a double.
  ExpectSameAsPlan<"(\\,i2,a1,i2,a1,f8.3,4(a1,f8.4,a1,f8.2))", 13>(
      [&](int r) {
        return std::vector<Item>{static_cast<int32_t>(r % 30), "\t", static_cast<int32_t>(r % 60),
                                 "\t", std::fmod(std::fabs(static_cast<double>(value())), 60.0),
                                 "\t", value(), "\t", value(), "\t", value(), "\t", value()};
      },
      5000);
  // Items of the wrong kind, texts wider and narrower than their field, and
  // item lists that are too short or too long (reversion).
  ExpectSameAsPlan<"(a3,f8.2,i4,a1)">(
      [&](int r) {
        std::vector<Item> all{"ab", 2.5f, 17, ":", "toolong", "x", 1.25, 3.5f, 99999, 7};
        const std::vector<std::vector<Item>> lists{
            {all[0], all[1], all[2], all[3]}, {all[4], all[5], all[1], all[6]},
            {all[2], all[6], all[7], all[9]}, {all[0], all[8], all[8], all[3]},
            {all[0], all[1]},                 {all[0], all[1], all[2], all[3], all[4], all[1]}};
        return lists[static_cast<size_t>(r) % lists.size()];
      },
      12);
}

// Columns for readers follow T and X moves, and a write that stops inside a
// repeated group.
TEST(RecordLayout, FollowsMovesAndShortWrites) {
  using Tabbed = RecordLayout<"(t6,a4,x,a9,t2,a1)">;
  static_assert(Tabbed::kFields == 3 && Tabbed::Column(0) == 5 && Tabbed::Column(1) == 10 &&
                Tabbed::Column(2) == 1 && Tabbed::kLength == 19);
  using Short = RecordLayout<"(\\,i2,a1,i2,a1,f8.3,4(a1,f8.4,a1,f8.2))", 13>;
  static_assert(Short::kLength == 50 && Short::Column(12) == 42 && Short::Width(12) == 8 &&
                Short::Decimals(12) == 2);
  static_assert(RecordLayout<"(\\,i2,a1,i2,a1,f8.3,4(a1,f8.4,a1,f8.2))">::kLength == 86);
}

}  // namespace
}  // namespace hfd::test
