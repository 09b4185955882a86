#pragma once
// "opning": the title music, a pentatonic melody on a plucked string over
// drums. It loops: the clip's end runs straight into its start.
#include "Clip.h"

namespace assets {

Samples MakeOpening();

}  // namespace assets
