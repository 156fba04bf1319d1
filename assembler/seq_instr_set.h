// The built-in instruction set of the Vorel.
#pragma once

#include "seqprocessor/SeqInstructionSet.h"

// A new set "Calvex_Vorel", version 1.0, from the built-in tables.
SeqInstructionSet seq_instr_set();
