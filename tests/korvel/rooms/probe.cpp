// Compiled by one_way.cmake with the include path of one room of the engine
// library: PROBE_INCLUDE names the header it reaches for.
#include PROBE_INCLUDE

int main() { return 0; }
