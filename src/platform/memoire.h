#pragma once
// How the process uses memory over a run of months.

namespace corvane {

// Call first thing in main, before any thread exists.
void uneSeuleArene();

} // namespace corvane
