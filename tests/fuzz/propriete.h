#pragma once
// A broken property stops the run with its name; libFuzzer keeps the input that broke it.

#include <cstdio>
#include <cstdlib>

inline void manque(bool ok, const char* propriete)
{
    if (!ok) {
        std::fprintf(stderr, "property broken: %s\n", propriete);
        std::abort();
    }
}
