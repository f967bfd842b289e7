#include "platform/memoire.h"

#include <QByteArray>
#include <QtGlobal>

#include <malloc.h>

namespace corvane {

// Each upload runs on a thread of its own, and glibc gives threads arenas of their own whose
// freed pages stay with the process: over a long watch the resident size creeps up with every
// change. The program's few threads seldom allocate at the same time, so one arena costs no
// measurable waiting and keeps the size flat. A limit the user set through glibc stays.
void uneSeuleArene()
{
    if (qEnvironmentVariableIsSet("MALLOC_ARENA_MAX") ||
        qgetenv("GLIBC_TUNABLES").contains("arena_max")) {
        return;
    }
    mallopt(M_ARENA_MAX, 1);
}

} // namespace corvane
