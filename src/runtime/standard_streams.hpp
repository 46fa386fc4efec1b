// Standard input, output and error that the run was started without.
//
// A closed descriptor 0, 1 or 2 would be taken by the next file opened, and
// the console or a fatal report would then be written into a result file.
// Each closed one is given /dev/null opened the wrong way round (standard
// output read-only), so its use still fails as on a closed descriptor, with
// EBADF, and is reported as such.
//
//   ReserveStandardStreams();  // first thing in the program
#pragma once

namespace hfd {

void ReserveStandardStreams();

}  // namespace hfd
