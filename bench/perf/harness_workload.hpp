// The shared harness's workload header, which is written as C and trips our warnings; a program that
// draws boxes itself defines BE_DRAW_BOX before including this.
#pragma once

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include "workload.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
