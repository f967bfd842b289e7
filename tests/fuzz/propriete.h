#pragma once
// A property every fuzzer checks: a broken one stops the run with its name, and libFuzzer
// keeps the input that broke it.

#include <cstdio>
#include <cstdlib>

inline void manque(bool ok, const char* propriete)
{
    if (!ok) {
        std::fprintf(stderr, "property broken: %s\n", propriete);
        std::abort();
    }
}
