#include "textio/format.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "textio/fixed_decimal.hpp"
#include "textio/record_capture.hpp"

namespace hfd::test {
namespace {

using test::Records;

// Fw.d of v as a float item (single) or a double item.
std::string F(double v, bool single, int w, int d) {
  std::string s(static_cast<size_t>(w), '?');
  if (single)
    FormatFixedField(s.data(), static_cast<float>(v), w, d);
  else
    FormatFixedField(s.data(), v, w, d);
  return s;
}
// The same field through the full decimal expansion.
std::string Expanded(double v, bool single, int w, int d) {
  std::string s(static_cast<size_t>(w), '?');
  fixed_detail::FormatExpanded(s.data(), v, single, w, d);
  return s;
}
std::string I(int64_t v, int w) {
  std::string s(static_cast<size_t>(w), '?');
  FormatIntField(s.data(), v, w);
  return s;
}

TEST(FixedField, DocumentedExamples) {
  EXPECT_EQ(F(75.25f, true, 7, 1), "   75.3");
  EXPECT_EQ(F(0.125, false, 5, 2), "  .13");
  EXPECT_EQ(F(1234.56789f, true, 10, 5), "1234.56800");
  EXPECT_EQ(F(1234.5678f, true, 10, 5), "1234.56800");
  EXPECT_EQ(F(1234.5678, false, 10, 5), "1234.56780");
  EXPECT_EQ(F(-0.0004, false, 6, 3), "  .000");
  EXPECT_EQ(F(-0.0006, false, 6, 3), " -.001");
  EXPECT_EQ(F(0.5, false, 6, 3), "  .500");
  EXPECT_EQ(F(-0.002, false, 6, 3), " -.002");
  EXPECT_EQ(F(0.0, false, 6, 3), "  .000");
  EXPECT_EQ(F(-0.0, false, 6, 3), "  .000");
  EXPECT_EQ(F(0.2, false, 3, 0), " 0.");
  EXPECT_EQ(F(123.4, false, 6, 3), "******");
  EXPECT_EQ(F(-12.5, false, 6, 3), "******");
  EXPECT_EQ(F(12.3456, false, 6, 3), "12.346");
  EXPECT_EQ(F(0.001, false, 6, 3), "  .001");
  EXPECT_EQ(F(0.9996, false, 6, 3), " 1.000");
  EXPECT_EQ(F(-60.0f, true, 10, 3), "   -60.000");
  EXPECT_EQ(F(270.0f, true, 7, 1), "  270.0");
  EXPECT_EQ(F(0.0f, true, 7, 2), "    .00");
  EXPECT_EQ(F(9.99999, false, 5, 2), "10.00");
  EXPECT_EQ(F(99.996, false, 5, 2), "*****");
}

// Fields whose text fills every column (the sign and leading digit stored
// at the first column), written between guard characters that must survive.
TEST(FixedField, FullFieldsStayWithinTheirColumns) {
  const struct {
    double v;
    int w, d;
    const char* want;
  } cases[] = {{0.5, 4, 3, ".500"},     {-0.5, 5, 3, "-.500"},   {-180.0, 6, 1, "-180.0"},
               {0.0, 2, 0, "0."},       {-5.0, 3, 0, "-5."},     {7.0, 2, 0, "7."},
               {-12.25, 6, 2, "-12.25"}, {99.5, 4, 1, "99.5"}};
  for (const auto& c : cases) {
    for (const bool single : {true, false}) {
      char buf[16];
      std::memset(buf, '#', sizeof buf);
      if (single)
        FormatFixedField(buf + 4, static_cast<float>(c.v), c.w, c.d);
      else
        FormatFixedField(buf + 4, c.v, c.w, c.d);
      const std::string guarded = "####" + std::string(c.want) + std::string(12 - c.w, '#');
      EXPECT_EQ(std::string(buf, sizeof buf), guarded) << c.v << " single=" << single;
    }
  }
}

TEST(FixedField, SingleItemsKeepSevenDigitsAndRoundHalfUp) {
  // 0.1f is 0.100000001490116...; seven digits, then zeros.
  EXPECT_EQ(F(0.1f, true, 12, 10), " .1000000000");
  EXPECT_EQ(F(0.1, false, 20, 18), " .100000000000000000");
  // Exact binary halves round away from zero, unlike printf's half-even.
  EXPECT_EQ(F(0.5, false, 4, 0), "  1.");
  EXPECT_EQ(F(2.5, false, 4, 0), "  3.");
  EXPECT_EQ(F(-2.5, false, 4, 0), " -3.");
  EXPECT_EQ(F(0.375, false, 5, 2), "  .38");
  // A value below half a unit of the last decimal place.
  EXPECT_EQ(F(0.00004, false, 6, 3), "  .000");
  EXPECT_EQ(F(1e-30, false, 6, 3), "  .000");
  EXPECT_EQ(F(1e30, false, 6, 3), "******");
  // Many decimals (the shortcuts handle at most 9): zero and small values.
  EXPECT_EQ(F(0.0, false, 60, 50), std::string(9, ' ') + "." + std::string(50, '0'));
  EXPECT_EQ(F(0.5f, true, 14, 12), " .500000000000");
}

TEST(FixedField, ExpansionDigitsAreExact) {
  using fixed_detail::ExactDigits18;
  // 0.1 = 0.1000000000000000055511..., 2^-20 = 9.5367431640625e-7.
  EXPECT_EQ(ExactDigits18(0.1).digits, 100000000000000005ULL);
  EXPECT_EQ(ExactDigits18(0.1).exponent, 0);
  EXPECT_EQ(ExactDigits18(std::ldexp(1.0, -20)).digits, 953674316406250000ULL);
  EXPECT_EQ(ExactDigits18(std::ldexp(1.0, -20)).exponent, -6);
  EXPECT_EQ(ExactDigits18(1e300).exponent, 301);
  EXPECT_EQ(ExactDigits18(1e300).digits, 100000000000000005ULL);
  EXPECT_EQ(ExactDigits18(4.9e-324).exponent, -323);
  EXPECT_EQ(ExactDigits18(4.9e-324).digits, 494065645841246544ULL);
}

TEST(FixedField, MatchesPrintfWhereNoHalfwayCaseArises) {
  // Away from exact decimal ties, half-up rounding of the exact value agrees
  // with printf's correctly rounded output (for doubles at 3 decimals, whose
  // 16-digit limit is not reached below 1e12).
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-5000.0, 5000.0);
  for (int i = 0; i < 20000; ++i) {
    double v = u(rng);
    char ref[64];
    std::snprintf(ref, sizeof ref, "%12.3f", v);
    std::string mine = F(v, false, 12, 3);
    std::string expect = ref;
    // printf writes "0.123"; the formatter drops the leading zero.
    size_t z = expect.find("0.");
    if (z != std::string::npos && (z == 0 || expect[z - 1] == ' ' || expect[z - 1] == '-'))
      expect.erase(z, 1).insert(0, 1, ' ');
    if (expect.size() >= 5 && expect.compare(expect.size() - 5, 5, "-.000") == 0)
      expect[expect.size() - 5] = ' ';
    ASSERT_EQ(mine, expect.substr(expect.size() - 12)) << v;
  }
}

TEST(IntField, WidthsSignsAndOverflow) {
  EXPECT_EQ(I(9, 2), " 9");
  EXPECT_EQ(I(-5, 2), "-5");
  EXPECT_EQ(I(100, 2), "**");
  EXPECT_EQ(I(-10, 2), "**");
  EXPECT_EQ(I(12345, 5), "12345");
  EXPECT_EQ(I(2008, 8), "    2008");
  EXPECT_EQ(I(0, 3), "  0");
  EXPECT_EQ(I(INT32_MIN, 11), "-2147483648");
}

TEST(FormatPlan, DescriptorsGroupsAndRecords) {
  Records c;
  FormatPlan("(f6.3,2(a1,f10.3,a1,f7.1))")
      .Write(c, {0.5f, "\t", 12.25f, "\t", -3.5f, "\t", 1234.5678f, "\t", 75.25f});
  EXPECT_EQ(c.Only(), "  .500\t    12.250\t   -3.5\t  1234.568\t   75.3");

  Records t;
  FormatPlan("(t6,a4,a9,a7)").Write(t, {"CH\t\t", "5006kHz\t\t", "8006kHz"});
  EXPECT_EQ(t.Only(), "     CH\t\t5006kHz\t\t8006kHz");

  // A slash before the closing parenthesis leaves one empty record.
  Records p;
  FormatPlan("(2i5,a1,5(i2,a1),i6/2(5x,5f10.3/))")
      .Write(p, {0, 2008, "/", 5, "/", 1, " ", 12, ":", 0, ":", 0, " ", 43200, 0.001, 1.234,
                 8.008f, 75.31f, -23.47f, -0.002, 0.987, 7.91f, 68.02f, 151.06f});
  ASSERT_EQ(p.lines.size(), 4u);
  EXPECT_EQ(p.lines[0], "    0 2008/ 5/ 1 12: 0: 0  43200");
  EXPECT_EQ(p.lines[1], "           .001     1.234     8.008    75.310   -23.470");
  EXPECT_EQ(p.lines[2], "          -.002      .987     7.910    68.020   151.060");
  EXPECT_EQ(p.lines[3], "");

  // The group 4(...) stops at the first data descriptor after the last item.
  Records q;
  FormatPlan("(\\,i2,a1,i2,a1,f8.3,4(a1,f8.4,a1,f8.2))")
      .Write(q, {12, "\t", 0, "\t", 10.24, "\t", 8.1055f, "\t", 74.87f, "\t", 7.9102f, "\t",
                 67.55f});
  EXPECT_EQ(q.Only(), "12\t 0\t  10.240\t  8.1055\t   74.87\t  7.9102\t   67.55");
  EXPECT_TRUE(q.advances[0]);

  // "\" in the final stretch leaves the record open.
  Records r;
  FormatPlan("(a,\\)").Write(r, {" prompt: "});
  EXPECT_EQ(r.Only(), " prompt: ");
  EXPECT_FALSE(r.advances[0]);
  Records r2;
  FormatPlan("(\\,a13,a8,a7)").Write(r2, {"hh\tmm\tss.mmm\t", "Hz\tdBuV\t", "Hz\tdBuV"});
  EXPECT_EQ(r2.Only(), "hh\tmm\tss.mmm\tHz\tdBuV\tHz\tdBuV");
  EXPECT_TRUE(r2.advances[0]);

  // Aw pads on the left or keeps the leftmost characters; A uses the item length.
  Records a;
  FormatPlan("(a6,a3,a)").Write(a, {"ABCDE", "LONGER", "xy "});
  EXPECT_EQ(a.Only(), " ABCDELONxy ");

  // Trailing skips leave no blanks; T moves left and overwrites.
  Records x;
  FormatPlan("(a2,5x)").Write(x, {"ab"});
  EXPECT_EQ(x.Only(), "ab");
  Records tl;
  FormatPlan("(a5,t2,a1)").Write(tl, {"abcde", "X"});
  EXPECT_EQ(tl.Only(), "aXcde");
}

// Every F field shape written by the inline single-precision shortcut must
// give the general routine's characters, and items of the wrong kind the
// general rules' asterisks.
TEST(FormatPlan, FieldRecordsAgreeWithTheGeneralFieldRules) {
  std::mt19937 rng(77);
  std::uniform_real_distribution<double> expo(-6.0, 8.0);
  for (int w = 1; w <= 17; ++w) {
    for (int d = 0; d <= 5 && d < w; ++d) {
      const std::string format = "(f" + std::to_string(w) + "." + std::to_string(d) + ")";
      const FormatPlan plan(format);
      for (int i = 0; i < 3000; ++i) {
        float v = static_cast<float>(std::pow(10.0, expo(rng)) * ((rng() & 1) ? -1.0 : 1.0));
        if (i < 12)
          v = std::array<float, 12>{0.0f,  -0.0f, 0.5f, -0.05f,      9.5f,      99.95f,
                                    1e7f, -1e-6f, NAN,  -INFINITY, 1e-40f, 3e38f}[i];
        Records c;
        plan.Write(c, {v});
        ASSERT_EQ(c.Only(), Expanded(v, true, w, d)) << v << " " << format;
      }
    }
  }
  Records m;
  FormatPlan("(i4,a3,f6.2,a1,f8.3,i3,a2,f5.1)")
      .Write(m, {-17, "x", 1.5, "\t", 2.25f, 7.5f, "abc", "t"});
  EXPECT_EQ(m.Only(), " -17  x  1.50\t   2.250***ab*****");
}

TEST(FormatPlan, ReversionAndUppercase) {
  Records c;
  FormatPlan("(I3)").Write(c, {1, 2, 3});
  ASSERT_EQ(c.lines.size(), 3u);
  EXPECT_EQ(c.lines[2], "  3");
  Records g;
  FormatPlan("(a2,2(i2))").Write(g, {"x=", 1, 2, 3, 4, 5});
  ASSERT_EQ(g.lines.size(), 3u);
  EXPECT_EQ(g.lines[0], "x= 1 2");
  EXPECT_EQ(g.lines[1], " 3 4");
  EXPECT_EQ(g.lines[2], " 5");
  int w[8];
  EXPECT_EQ(FormatPlan("(i4,5i2)").IntWidths(w, 8), 6);
  EXPECT_EQ(w[0], 4);
  EXPECT_EQ(w[5], 2);
  EXPECT_EQ(FormatPlan("(3i2)").IntWidths(w, 8), 3);
}

TEST(FormatPlan, CompiledByTheCompilerOrRejectedWithAReason) {
  constexpr FormatPlan plan("(i4,2(i2,a1),f6.2/2x)");
  static_assert(plan.OnePassItems() == 6);
  static_assert(plan.OnePassSteps().size() == 9);  // six fields, slash, skip, end
  constexpr auto widths = [] {
    int w[10] = {};
    const int n = FormatPlan("(i4,5i2,2(a1,i3))").IntWidths(w, 10);
    return std::array{n, w[0], w[5], w[6], w[7]};
  }();
  static_assert(widths == std::array{8, 4, 2, 3, 3});

  const std::pair<const char*, const char*> bad[] = {
      {"i5", "must start with '('"},       {"(i5", "missing ')'"},
      {"(0i5)", "repeat count must be positive"}, {"(i)", "I needs a width"},
      {"(f6)", "F needs .d"},              {"(f6.6)", "F needs decimals below the width"},
      {"(a0)", "A width must be positive"}, {"(2t5)", "T needs a column"},
      {"(i5,q)", "unknown descriptor"},    {"(i5,3))", "repeat count before ')'"},
      {"(i1001)", "number too large"},     {"(64i1)", "too many descriptors"},
      {"((((((((((((((((((i1))))))))))))))))))", "groups nested too deep"}};
  for (const auto& [format, why] : bad) {
    FormatPlan p;
    const char* got = nullptr;
    EXPECT_FALSE(FormatPlan::TryCompile(format, p, &got)) << format;
    EXPECT_STREQ(got, why) << format;
  }
}

// A one-pass walk too long to record when the plan is made is walked at
// every write, with the same result.
TEST(FormatPlan, LongFormatsAreWalkedAtEveryWrite) {
  const FormatPlan plan("(50(i1,a1))");
  ASSERT_TRUE(plan.OnePassSteps().empty());
  std::vector<Item> items;
  for (int i = 0; i < 50; ++i) items.insert(items.end(), {Item(i % 10), Item(",")});
  Records r;
  plan.Write(r, items.data(), static_cast<int>(items.size()));
  ASSERT_EQ(r.Only().size(), 100u);
  EXPECT_EQ(r.Only().substr(0, 8), "0,1,2,3,");
}

TEST(ListDirected, BlanksWidthsAndWrapping) {
  Records c;
  WriteList(c, {"NcMax=", 8437, "  kMax=", 8437, "  Na=", 8});
  EXPECT_EQ(c.Only(), " NcMax=       8437  kMax=       8437  Na=          8");
  Records n;
  WriteList(n, {"IBlockLength=", 256, 7});
  EXPECT_EQ(n.Only(), " IBlockLength=        256           7");
  Records e;
  WriteList(e, {"=== Error!  iNumber=", -1});
  EXPECT_EQ(e.Only(), " === Error!  iNumber=         -1");
  // Seven integers need 1 + 11 + 6*12 = 84 columns: the seventh starts a new record.
  Records w;
  WriteList(w, {1, 2, 3, 4, 5, 6, 7});
  ASSERT_EQ(w.lines.size(), 2u);
  EXPECT_EQ(w.lines[0].size(), 72u);
  EXPECT_EQ(w.lines[1], "           7");
  Records t;
  const std::string longText(100, 'x');
  WriteList(t, {std::string_view(longText)});
  ASSERT_EQ(t.lines.size(), 2u);
  EXPECT_EQ(t.lines[0].size(), 80u);
  EXPECT_EQ(t.lines[1], " " + std::string(21, 'x'));
}

}  // namespace
}  // namespace hfd::test

namespace hfd::test {
namespace {

TEST(FixedField, ShortcutAgreesWithFullExpansion) {
  std::mt19937_64 rng(2024);
  std::uniform_real_distribution<double> expo(-8.0, 9.0);
  auto check = [&](double v, bool single, int w, int d) {
    ASSERT_EQ(F(v, single, w, d), Expanded(v, single, w, d))
        << v << " single=" << single << " F" << w << "." << d;
  };
  for (int i = 0; i < 200000; ++i) {
    double v = std::pow(10.0, expo(rng)) * ((rng() & 1) ? -1.0 : 1.0);
    const int d = static_cast<int>(rng() % 10);
    const bool single = (i & 1) != 0;
    if (single) v = static_cast<float>(v);
    check(v, single, 30, d);
    check(v, single, 7, d % 4);  // narrow fields: asterisks agree too
  }
  // Values sitting on or right next to a decimal tie at the last kept place,
  // where the 17-digit rounding decides the outcome.
  for (int d = 0; d <= 6; ++d) {
    for (int i = 0; i < 2000; ++i) {
      const double tie = (static_cast<double>(rng() % 100000) + 0.5) / std::pow(10.0, d);
      for (double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e9)}) {
        check(v, false, 30, d);
        check(static_cast<float>(v), true, 30, d);
        check(-v, false, 30, d);
      }
    }
  }
}

}  // namespace
}  // namespace hfd::test
