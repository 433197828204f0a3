// Middle-C rates of the finetunes, for the loaders and the set-finetune effect.
#pragma once

#include "module.h"

// Rate in Hz of a MOD/S3M finetune of -8..7 eighths of a semitone (8363 at 0).
u32 eighth_finetune_rate(i32 finetune);

// Rate in Hz of an XM finetune of -128..127 128ths of a semitone (8363 at 0).
u32 xm_finetune_rate(i8 finetune);
