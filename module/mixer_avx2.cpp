// Built with AVX2 enabled; run only where the processor reports it.
#if defined(AMBREL_X86_KERNELS)
#include "mixer_blocks_impl.h"

void mix_stereo_blocks_avx2(const stereo_blocks& blocks) { mix_stereo_blocks(blocks); }
#endif
