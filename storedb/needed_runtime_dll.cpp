// The library needy_fbclient_dll.cpp needs, standing in for a Firebird client's C runtime.

extern "C" __declspec(dllexport) int varenta_runtime_version() {
  return 3;
}
