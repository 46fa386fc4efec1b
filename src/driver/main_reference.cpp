// hfdoppler-reference: the same program with the straightforward analysis
// path, kept as the reference that the fast path's output is compared with.
#include <new>

#include "driver/batch.hpp"
#include "runtime/fatal_report.hpp"
#include "runtime/standard_streams.hpp"

int main() {
  hfd::ReserveStandardStreams();
  try {
    return hfd::RunProgram(hfd::AnalysisPath::Straightforward);
  } catch (const std::bad_alloc&) {
    hfd::ReportMemoryFailure(2);
  }
}
