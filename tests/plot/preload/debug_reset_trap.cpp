// Stand-ins for cairo's and fontconfig's debug resets, preloaded into
// hfdoppler-plot by a picture test. The real ones race with pango's font
// thread at the end of a run and abort now and then; these abort every time.
#include <cstdlib>

extern "C" void cairo_debug_reset_static_data() { std::abort(); }
extern "C" void FcFini() { std::abort(); }
