// Cross-built for Windows; bench_wine runs it under Wine. GetId round trips (open, request,
// reply, close) timed inside one process, so that the process start-up, which dominates a whole
// k64ctl.exe run, is not in the figure.
//
//   bench_device_win.exe COMn [count]

#include "get_id_round_trips.h"
#include "support/memory_ports.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_device_win COMn [count]\n");
        return 2;
    }
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 500;
    k64::test::MemoryPortStore store(argv[1]);
    k64::test::ListPortCatalog catalog;
    k64::TDevice device(store, catalog);
    const int failures = k64::bench::PrintGetIdRoundTrips(
        device, count, "GetId round trip in process (open, request, reply, close)");
    return failures == 0 ? 0 : 1;
}
