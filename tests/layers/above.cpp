// A header of a floor the engine must not use, named by PROBE.
#include PROBE
