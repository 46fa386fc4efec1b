// hfdoppler: the batch analyser of two-channel HF Doppler recordings. Without
// arguments it holds the dialogue on the console; with options it answers the
// dialogue from them (hfdoppler --help).
#include "driver/batch.hpp"
#include "driver/scripted_run.hpp"

int main(int argc, char** argv) {
  if (argc > 1) return hfd::RunCommandLine(argc, argv, hfd::AnalysisPath::Fast);
  return hfd::RunProgram(hfd::AnalysisPath::Fast);
}
