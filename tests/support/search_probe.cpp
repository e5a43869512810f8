// A library that exists only beside the test programs: loading it by name tells where the system
// looks for libraries.
extern "C" __declspec(dllexport) int SearchProbe() { return 1; }
