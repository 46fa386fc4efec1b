// hfdoppler: the interactive batch analyser of two-channel HF Doppler recordings.
#include "driver/batch.hpp"

int main() { return hfd::RunProgram(hfd::AnalysisPath::Fast); }
