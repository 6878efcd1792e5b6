// A library named fbclient.dll as Firebird 2.5 shipped it, without the master interface that the
// service needs: the Windows tests put it where the service looks for the client.

extern "C" __declspec(dllexport) int isc_get_client_major_version() {
  return 2;
}
