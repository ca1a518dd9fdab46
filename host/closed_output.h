// How the host survives a browser that closes the host's standard output.
#pragma once

// Makes a write into a closed pipe fail with an error instead of ending the process, as it
// does on Windows (on Linux: SIGPIPE is ignored). Called once at start-up.
void failWritesToClosedPipes();
