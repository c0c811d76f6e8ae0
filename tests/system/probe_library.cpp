// A library that says which copy of it was loaded.
extern "C" __attribute__((visibility("default"))) const char* ProbeLocation() {
    return PROBE_LOCATION;
}
