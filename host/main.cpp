// QuilletHost: the browser's native messaging host, on the process's standard streams.
#include <cstdio>

#include "host/entry.h"

int main(int argc, char* argv[]) { return quillet::host::runHost(argc, argv, stdin, stdout); }
