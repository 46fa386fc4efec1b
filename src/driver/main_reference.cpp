// hfdoppler-reference: the same program with the straightforward analysis
// path, kept as the reference that the fast path's output is compared with.
#include "driver/batch.hpp"

int main() { return hfd::RunProgram(hfd::AnalysisPath::Straightforward); }
