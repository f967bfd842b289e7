#pragma once
// The program without a display: watching (--headless) and one check (--check). Both run the
// engine with the real services on a QCoreApplication, which connects to no display at all;
// what a box would say goes to standard error.

#include <QString>

namespace corvane {

// configNommee: --config's value, "" when not given.
// Watches from the start until SIGTERM or SIGINT, writing each console entry to standard
// output too. The exit status.
int surveilleSansFenetre(const QString& configNommee);

// One check: 0 unchanged, 1 changed (acted on as a watch would, then the address saved),
// 2 failed or could not run.
int verificationSeule(const QString& configNommee);

} // namespace corvane
