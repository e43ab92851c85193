#pragma once
// Compiler support for the AVX2 implementations. Functions marked
// CLIPORA_AVX2 may use AVX2 (and the SSE and AVX levels below it), but not
// FMA: a fused multiply-add would round once where the plain code rounds
// twice. They are called only after isaAvailable(Isa::avx2) said yes, and
// each performs the same double-precision operations as the plain code,
// lane by lane, in the same order.

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define CLIPORA_ZOOM_AVX2 1
#include <immintrin.h>
#define CLIPORA_AVX2 __attribute__((target("avx2,popcnt")))
#else
#define CLIPORA_ZOOM_AVX2 0
#endif
