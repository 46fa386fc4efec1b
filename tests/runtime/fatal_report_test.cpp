#include "runtime/fatal_report.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/signals.hpp"
#include "support/temp_dir.hpp"

namespace hfd::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

TEST(FatalReport, InputFailureKeepsResultLinesAndReportsOnStderr) {
  TempDir dir;
  const std::string file = (dir.path / "r.spc").string();
  int devnull = open("/dev/null", O_RDWR);
  EXPECT_EXIT(
      {
        Console console(devnull, devnull, false);
        FatalReport report(console, 2);
        ResultFile unit3(report);
        ResultFile unit4(report);
        report.Keep(unit3, unit4);
        unit3.Create(file);
        FormatPlan("(a)").Write(unit3, {"line one"});
        report.InputFailure(ReadError::BadChar, "CON");
      },
      ::testing::ExitedWithCode(1), "\r\nrun-time error F6101: READ\\(CON\\)\r\n- .+\r\n");
  EXPECT_EQ(Slurp(file), "line one\r\n");
  close(devnull);
}

TEST(FatalReport, FailedResultFileOpenIsFatal) {
  TempDir dir;
  const std::string file = (dir.path / "missing" / "r.qdr").string();
  int devnull = open("/dev/null", O_RDWR);
  EXPECT_EXIT(
      {
        Console console(devnull, devnull, false);
        FatalReport report(console, 2);
        ResultFile(report).Create(file);
      },
      ::testing::ExitedWithCode(1), "run-time error F6414: OPEN\\(.*missing/r.qdr\\)\r\n- ");
  close(devnull);
}

TEST(FatalReport, FloatingPointTrapsEndTheRunWithMathReport) {
  int devnull = open("/dev/null", O_RDWR);
  EXPECT_EXIT(
      {
        Console console(devnull, devnull, false);
        FatalReport report(console, 2);
        InstallSignalHandlers(report);
        volatile double zero = 0.0;
        volatile double r = 1.0 / zero;
        (void)r;
      },
      ::testing::ExitedWithCode(1),
      "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n");
  EXPECT_EXIT(
      {
        Console console(devnull, devnull, false);
        FatalReport report(console, 2);
        InstallSignalHandlers(report);
        volatile double big = 1e308;
        volatile double r = big * 10.0;
        (void)r;
      },
      ::testing::ExitedWithCode(1), "M6104: MATH\r\n- floating-point error: overflow");
  close(devnull);
}

TEST(ResultFile, ReplacesContentAndEndsRecordsWithCrLf) {
  TempDir dir;
  const fs::path p = dir.path / "x.max";
  { std::ofstream(p) << "old content that is longer than the new one\n"; }
  int devnull = open("/dev/null", O_RDWR);
  {
    Console console(devnull, devnull, false);
    FatalReport report(console, 2);
    ResultFile unit4(report);
    unit4.Create(p.string());
    FormatPlan("(a,\\)").Write(unit4, {"open"});
    FormatPlan("(a/)").Write(unit4, {"b"});
    unit4.Close();
  }
  EXPECT_EQ(Slurp(p), "openb\r\n\r\n");
  close(devnull);
}

}  // namespace
}  // namespace hfd::test
