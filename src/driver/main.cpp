// hfdoppler: the batch analyser of two-channel HF Doppler recordings. Without
// arguments it holds the dialogue on the console; with options it answers the
// dialogue from them (hfdoppler --help).
#include <new>

#include "driver/batch.hpp"
#include "driver/scripted_run.hpp"
#include "runtime/fatal_report.hpp"
#include "runtime/standard_streams.hpp"

int main(int argc, char** argv) {
  hfd::ReserveStandardStreams();
  try {
    if (argc > 1) return hfd::RunCommandLine(argc, argv, hfd::AnalysisPath::Fast);
    return hfd::RunProgram(hfd::AnalysisPath::Fast);
  } catch (const std::bad_alloc&) {  // before a run could be set up
    hfd::ReportMemoryFailure(2);
  }
}
