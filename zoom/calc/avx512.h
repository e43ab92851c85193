#pragma once
// Compiler support for the AVX-512 implementations. Functions marked
// CLIPORA_AVX512 may use AVX-512 (F, BW, VL, DQ, VBMI) and BMI2; they are
// called only after isaAvailable(Isa::avx512) said yes, so the rest of the
// program stays portable. Each performs the same double-precision
// operations as the plain code, lane by lane, in the same order.

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define CLIPORA_ZOOM_AVX512 1
// GCC 12's AVX-512 headers start some masked results from a deliberately
// undefined vector and then warn about it where they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>
#define CLIPORA_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi,bmi,bmi2,popcnt")))
#else
#define CLIPORA_ZOOM_AVX512 0
#endif
