// Built with SSSE3 enabled; run only where the processor reports it.
#if defined(AMBREL_X86_KERNELS)
#include "mixer_blocks_impl.h"

void mix_stereo_blocks_ssse3(const stereo_blocks& blocks) { mix_stereo_blocks(blocks); }
#endif
