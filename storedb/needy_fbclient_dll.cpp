// A library named fbclient.dll that needs another library to load (as a real client needs its C
// runtime): the Windows tests copy it without that library, to see the loader say which is missing.

extern "C" __declspec(dllimport) int varenta_runtime_version();

extern "C" __declspec(dllexport) int isc_get_client_major_version() {
  return varenta_runtime_version();
}
