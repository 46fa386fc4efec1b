// Recordings that are not whole: only the channel-0 file, a channel file that
// ends early, data that end inside the first block; and late block steps
// (from 10000 on) whose console record starts with the digit 1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/day_runs.hpp"

namespace hfd::test {
namespace {

const char* const kBase = "200805011200SGD";
const std::string kQdrHeader =
    "     CH\t\t5006kHz\t\t8006kHz\r\n"
    "     Time(JST)\t\tFreq\tAmp\tFreq\tAmp\r\n"
    "hh\tmm\tss.mmm\tHz\tdBuV\tHz\tdBuV\r\n";
const std::string kMaxHeader =
    "kkkkk\t YYYY\tMM\tDD\tHH\tMM\tSS\tsssss\t AvAmp\tS4Indx\tDfFrqMx\tDfAmpMx\tDfPhsMx\t"
    " AvAmp\tS4Indx\tDfFrqMx\tDfAmpMx\tDfPhsMx\t\r\n";

std::string Result(const ScratchDir& d, const char* ext) {
  return Slurp(d.rec() / (std::string(kBase) + ext));
}

// The console output after the "NcMax=" echo, record by record.
std::vector<std::string> ProgressRecords(const RunResult& r) {
  std::vector<std::string> out = SplitRecords(r.out, "stdout");
  while (!out.empty() && out.front().rfind("NcMax=", 0) != 0) out.erase(out.begin());
  if (!out.empty()) out.erase(out.begin());
  return out;
}

// Channel 2 has no file: its spectrum is the -60 dBuV floor with phase 0
// (printed .0 and .00), its peak the first bin of the 4 .. 12 Hz band
// (4.1015625 Hz for N = 512, 4.00390625 Hz otherwise), its mean and spread 0.
TEST(ChannelZeroOnly, SecondChannelCarriesTheFloorValues) {
  for (int n : {512, 1024, 2048, 4096}) {
    SCOPED_TRACE("N " + std::to_string(n));
    const bool n512 = n == 512;
    ScratchDir d;
    Synth(d, "--start 20080501120000 --seconds 200 --no-channel2");
    const long long blocks = 157 / (n / 128);  // 20000 samples fill 157 records

    const RunResult two = RunFast(d, DayAnswers(2, n));
    ASSERT_EQ(two.status, 0) << two.err;
    const std::vector<std::string> spc = SplitRecords(Result(d, ".spc"), ".spc");
    ASSERT_EQ(static_cast<long long>(spc.size()), blocks * (12 * n / 100 + 2) + 1);
    for (const std::string& l : spc) {
      if (l.size() == 31) continue;  // block line
      ASSERT_EQ(l.size(), 44u);
      EXPECT_EQ(l.substr(25), "\t   -60.000\t     .0") << l;
    }
    const std::vector<std::string> max = SplitRecords(Result(d, ".max"), ".max");
    ASSERT_EQ(static_cast<long long>(max.size()), 1 + blocks);
    for (size_t i = 1; i < max.size(); ++i) {
      ASSERT_EQ(max[i].size(), 109u);
      EXPECT_EQ(max[i].substr(71),
                std::string("  .000,  .000,") + (n512 ? "   4.10" : "   4.00") + "\t -60.00\t    .00\t");
      EXPECT_NE(max[i].substr(33, 14), "  .000,  .000,") << "channel 1 is analysed";
    }
    const std::vector<std::string> con2 = ProgressRecords(two);
    ASSERT_EQ(static_cast<long long>(con2.size()), 4 * blocks);
    for (long long k = 0; k < blocks; ++k) {
      EXPECT_EQ(con2[static_cast<size_t>(4 * k + 2)],
                std::string("          .000      .000") + (n512 ? "     4.102" : "     4.004") +
                    "   -60.000      .000");
    }

    const RunResult one = RunFast(d, DayAnswers(1, n));
    ASSERT_EQ(one.status, 0) << one.err;
    const std::vector<std::string> qdr = SplitRecords(Result(d, ".qdr"), ".qdr");
    ASSERT_EQ(static_cast<long long>(qdr.size()), 4 + blocks);
    for (size_t i = 4; i < qdr.size(); ++i) {
      ASSERT_EQ(qdr[i].size(), 50u);
      EXPECT_EQ(qdr[i].substr(32), std::string("\t") + (n512 ? "  4.1016" : "  4.0039") + "\t  -60.00");
    }
    const std::vector<std::string> con1 = ProgressRecords(one);
    ASSERT_EQ(static_cast<long long>(con1.size()), blocks);
    for (const std::string& l : con1) {
      ASSERT_EQ(l.size(), 75u);
      EXPECT_EQ(l.substr(50), std::string("  .000  .000") + (n512 ? "  4.102" : "  4.004") + " -60.0");
    }
  }
}

// A channel file that stops early ends the recording at the first block it
// cannot fill: everything before it is exactly what the whole recording
// gives, the spectrum file ends with that block's block line, and nothing
// else of that block is written.
TEST(EarlyEnd, ShortChannelFileEndsTheRecording) {
  for (int shortCh = 0; shortCh < 2; ++shortCh) {
    SCOPED_TRACE("short file: channel digit " + std::to_string(shortCh));
    ScratchDir d;
    Synth(d, "--start 20080501120000 --seconds 120");  // 94 records per channel
    const RunResult full2 = RunFast(d, DayAnswers(2, 1024));
    const std::string fullSpc = Result(d, ".spc"), fullMax = Result(d, ".max");
    const RunResult full1 = RunFast(d, DayAnswers(1, 1024));
    const std::string fullQdr = Result(d, ".qdr");
    ASSERT_EQ(full2.status, 0);
    ASSERT_EQ(full1.status, 0);

    // 40 records: blocks 0 .. 4 of N = 1024 (8 records each) are whole.
    fs::resize_file(d.rec() / ("20080501120000SGD-" + std::to_string(shortCh) + ".BIN"), 40 * 256);
    const RunResult two = RunFast(d, DayAnswers(2, 1024));
    ASSERT_EQ(two.status, 0) << two.err;
    const std::string spc = Result(d, ".spc"), max = Result(d, ".max");
    // Five blocks of one block line and 123 spectrum lines, then block 5's
    // line: step 5 starts 51.2 s after 12:00:00.
    const std::vector<std::string> spcLines = SplitRecords(spc, ".spc");
    ASSERT_EQ(spcLines.size(), 5u * 124 + 1);
    EXPECT_EQ(spcLines.back(), "    5\t2008\t 5\t 1\t12\t 0\t51\t43251");
    EXPECT_EQ(spc, fullSpc.substr(0, spc.size()));
    const std::vector<std::string> maxLines = SplitRecords(max, ".max");
    ASSERT_EQ(maxLines.size(), 6u);
    EXPECT_EQ(max, fullMax.substr(0, max.size()));
    EXPECT_EQ(ProgressRecords(two).size(), 5u * 4);

    const RunResult one = RunFast(d, DayAnswers(1, 1024));
    ASSERT_EQ(one.status, 0) << one.err;
    const std::string qdr = Result(d, ".qdr");
    ASSERT_EQ(SplitRecords(qdr, ".qdr").size(), 4u + 5);
    EXPECT_EQ(qdr, fullQdr.substr(0, qdr.size()));
    EXPECT_EQ(ProgressRecords(one).size(), 5u);
  }
}

// Data that end inside the first analysed block: the headers are written
// before its samples are read, so they stay; the spectrum file holds only
// the block line of block 0.
TEST(EarlyEnd, FirstBlockUnreadableLeavesTheHeaders) {
  for (const char* args : {"--records 4", "--records 4 --no-channel2"}) {
    SCOPED_TRACE(args);
    ScratchDir d;
    Synth(d, std::string("--start 20080501120000 ") + args);
    const RunResult two = RunFast(d, DayAnswers(2, 1024));
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(Result(d, ".spc"), "    0\t2008\t 5\t 1\t12\t 0\t 0\t43200\r\n");
    EXPECT_EQ(Result(d, ".max"), kMaxHeader);
    EXPECT_TRUE(ProgressRecords(two).empty()) << two.out;

    const RunResult one = RunFast(d, DayAnswers(1, 1024));
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(Result(d, ".qdr"), "Sugadaira     2008/ 5/ 1 12: 0  100Hz 1024\r\n" + kQdrHeader);
    EXPECT_TRUE(ProgressRecords(one).empty()) << one.out;
  }
}

// Block step 10000 of N = 512 (51200 s = 14:13:20 after a midnight start),
// reached through a window from 14:13:20 to 14:14:00 on all-zero channel
// files of 40004 records: the step's records 40001 .. 40004 are the last;
// step 10001 cannot be read. An all-zero block has mean and spread 0, the
// -60 dBuV floor and phase 270 on every bin, and its peak is the first
// Doppler-band bin. The step fills its I5 field, so its console record
// starts with the digit 1: the console starts a new page (CR LF FF CR blank
// CR) and does not show that digit.
TEST(LateSteps, StepTenThousandStartsANewConsolePage) {
  ScratchDir d;
  for (const char* name : {"20080501000000SGD-0.BIN", "20080501000000SGD-1.BIN"}) {
    { std::ofstream(d.rec() / name, std::ios::binary); }
    fs::resize_file(d.rec() / name, 40004 * 256);
  }
  const std::vector<std::string> answers = {"2", "512", "1", "500", "141320", "141400"};
  const RunResult two = RunFast(d, answers);
  ASSERT_EQ(two.status, 0) << two.err;
  std::string spc = "10000\t2008\t 5\t 1\t14\t13\t20\t51200\r\n";
  for (int j = 0; j < 62; ++j) {
    spc += BinFrequencyField(j, 512) + "\t   -60.000\t  270.0\t   -60.000\t  270.0\r\n";
  }
  spc += "10001\t2008\t 5\t 1\t14\t13\t25\t51205\r\n";  // 51205.12 s
  EXPECT_EQ(Slurp(d.rec() / "200805010000SGD.spc"), spc);
  EXPECT_EQ(Slurp(d.rec() / "200805010000SGD.max"),
            kMaxHeader +
                "10000\t 2008\t 5\t 1\t14\t13\t20\t51200\t  .000,  .000,   4.10\t -60.00\t 270.00\t"
                "  .000,  .000,   4.10\t -60.00\t 270.00\t\r\n");
  // NcMax = trunc(40 s / 5.12 s) = 7.
  EXPECT_NE(two.out.find("NcMax=          7  kMax=      16875  Na=          4"
                         "\r\n\f\r \r0000 2008/ 5/ 1 14:13:20  51200\r\n"
                         "          .000      .000     4.102   -60.000   270.000\r\n"
                         "          .000      .000     4.102   -60.000   270.000\r\n\r\n"),
            std::string::npos)
      << two.out;

  const RunResult one = RunFast(d, {"1", "512", "1", "500", "141320", "141400"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(Slurp(d.rec() / "200805010000SGD.qdr"),
            "Sugadaira     2008/ 5/ 1 14:13  100Hz  512\r\n" + kQdrHeader +
                "14\t13\t  20.000\t  4.1016\t  -60.00\t  4.1016\t  -60.00\r\n");
  EXPECT_NE(one.out.find("\r\n\f\r \r0000 2008/ 5/ 1 14:13:20   .000  .000  4.102 -60.0"
                         "  .000  .000  4.102 -60.0\r\n"),
            std::string::npos)
      << one.out;
}

// A window that runs past midnight: the block times go on counting from the
// start day (day of the month + 1, hour 24, seconds of day past 86400), in
// every file and on the console. The recording starts at 23:59:00 and holds
// 94 records, so blocks 0 .. 10 of N = 1024 are whole.
TEST(LateSteps, BlocksAfterMidnightKeepCountingTheStartDay) {
  ScratchDir d;
  Synth(d, "--start 20080501235900 --seconds 120");
  const long long start = 86340LL * 100, blocks = 94 / 8;
  const std::string base = "200805012359SGD";
  const RunResult two = RunFast(d, {"2", "1024", "1", "500", "235900", "241000"});
  ASSERT_EQ(two.status, 0) << two.err;
  const std::vector<std::string> spc = SplitRecords(Slurp(d.rec() / (base + ".spc")), ".spc");
  const std::vector<std::string> max = SplitRecords(Slurp(d.rec() / (base + ".max")), ".max");
  ASSERT_EQ(static_cast<long long>(spc.size()), blocks * 124 + 1);
  ASSERT_EQ(static_cast<long long>(max.size()), 1 + blocks);
  const RunResult one = RunFast(d, {"1", "1024", "1", "500", "235900", "241000"});
  ASSERT_EQ(one.status, 0) << one.err;
  const std::vector<std::string> qdr = SplitRecords(Slurp(d.rec() / (base + ".qdr")), ".qdr");
  ASSERT_EQ(static_cast<long long>(qdr.size()), 4 + blocks);
  EXPECT_EQ(qdr[0], "Sugadaira     2008/ 5/ 1 23:59  100Hz 1024");

  int afterMidnight = 0;
  for (long long k = 0; k < blocks; ++k) {
    const BlockClock t = ClockOf(k, 1024, start);
    const long long day = 1 + t.secOfDay / 86400;
    afterMidnight += t.secOfDay >= 86400 ? 1 : 0;
    const std::string what = "block " + std::to_string(k);
    EXPECT_EQ(spc[static_cast<size_t>(k * 124)],
              I(k, 5) + "\t2008\t 5\t" + I(day, 2) + "\t" + I(t.h, 2) + "\t" + I(t.m, 2) + "\t" +
                  I(t.s, 2) + "\t" + I(t.secOfDay, 5))
        << what;
    EXPECT_EQ(max[static_cast<size_t>(1 + k)].substr(0, 33),
              I(k, 5) + "\t 2008\t 5\t" + I(day, 2) + "\t" + I(t.h, 2) + "\t" + I(t.m, 2) + "\t" +
                  I(t.s, 2) + "\t" + I(t.secOfDay, 5) + "\t")
        << what;
    EXPECT_EQ(qdr[static_cast<size_t>(4 + k)].substr(0, 14),
              I(t.h, 2) + "\t" + I(t.m, 2) + "\t" + FixedFromUnits(t.centisInMinute * 10, 3, 8))
        << what;
  }
  // Blocks 6 .. 10 lie after midnight; block 6 starts at 86401.44 s.
  EXPECT_EQ(afterMidnight, 5);
  EXPECT_EQ(spc[6 * 124], "    6\t2008\t 5\t 2\t24\t 0\t 1\t86401");
  EXPECT_EQ(qdr[4 + 6].substr(0, 14), "24\t 0\t   1.440");
  EXPECT_NE(two.out.find("\r\n   6 2008/ 5/ 2 24: 0: 1  86401\r\n"), std::string::npos) << two.out;
  EXPECT_NE(one.out.find("\r\n   6 2008/ 5/ 2 24: 0: 1 "), std::string::npos) << one.out;
}

}  // namespace
}  // namespace hfd::test
