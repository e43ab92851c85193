// The choice between the portable and the vector implementations: what the
// processor runs, what CLIPORA_SIMD asks for, and what tests chose.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zoom/calc/kernels.h"

namespace clipora::zoom::detail {

namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
bool haveAvx512()
{
    static const bool have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
                             __builtin_cpu_supports("avx512vbmi");
    return have;
}
bool haveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return have;
}
#else
bool haveAvx512() { return false; }
bool haveAvx2() { return false; }
#endif

Isa& chosenIsa()
{
    static Isa isa = [] {
        std::string warning;
        const Isa chosen = isaFromSetting(std::getenv("CLIPORA_SIMD"), warning);
        if (!warning.empty())
            std::fprintf(stderr, "%s\n", warning.c_str());
        return chosen;
    }();
    return isa;
}

}  // namespace

const char* isaName(Isa isa)
{
    switch (isa) {
    case Isa::avx512: return "avx512";
    case Isa::avx2: return "avx2";
    case Isa::portable: break;
    }
    return "portable";
}

bool isaAvailable(Isa isa)
{
    switch (isa) {
    case Isa::avx512: return haveAvx512();
    case Isa::avx2: return haveAvx2();
    case Isa::portable: break;
    }
    return true;
}

Isa bestIsa() { return haveAvx512() ? Isa::avx512 : haveAvx2() ? Isa::avx2 : Isa::portable; }

Isa isaFromSetting(const char* value, std::string& warning)
{
    warning.clear();
    const Isa best = bestIsa();
    if (!value || !*value)
        return best;
    for (const Isa isa : {Isa::avx512, Isa::avx2, Isa::portable}) {
        if (std::strcmp(value, isaName(isa)) != 0)
            continue;
        if (isaAvailable(isa))
            return isa;
        warning = std::string("CLIPORA_SIMD=") + value + ": this processor cannot run it; using " + isaName(best);
        return best;
    }
    warning = std::string("CLIPORA_SIMD=") + value + ": not one of avx512, avx2, portable; using " + isaName(best);
    return best;
}

Isa currentIsa() { return chosenIsa(); }

bool useIsa(Isa isa)
{
    if (!isaAvailable(isa))
        return false;
    chosenIsa() = isa;
    return true;
}

}  // namespace clipora::zoom::detail
