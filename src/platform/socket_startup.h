// Network start-up for the front objects (Windows Sockets on Windows). Linux needs none, but a
// front object still records whether it started, and refuses creation when it did not, so the
// path stays real.
#pragma once

namespace vexa {

bool StartSockets();
void StopSockets();

// Makes the next start-ups fail, so tests can reach the refusal path.
void FailSocketStartupForTesting(bool fail);

}  // namespace vexa
