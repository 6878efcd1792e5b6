#include "bridge.h"

#include <map>
#include <mutex>
#include <utility>

namespace varenta::wine_fbclient {

void* plainAdapter(const void* target, const void* vtable) {
  // Few of them (the master, its utilities), and each asked for often: one adapter per object and
  // face, kept for the life of the process as the object is.
  static std::mutex mutex;
  static std::map<std::pair<const void*, const void*>, Adapter*> adapters;
  const std::lock_guard lock(mutex);
  Adapter*& adapter = adapters[{target, vtable}];
  if (adapter == nullptr) adapter = new Adapter{nullptr, vtable, const_cast<void*>(target)};
  return adapter;
}

// The slots every adapter of a kind shares, one set for each side that calls them.
template <class Face>
static void addRefThrough(Face* self) {
  auto* object = target<Peer<Face>>(self);
  vtableOf(object)->addRef(object);
  reinterpret_cast<Adapter*>(self)->refs.fetch_add(1);
}

template <class Face>
static void disposeThrough(Face* self) {
  auto* object = target<Peer<Face>>(self);
  vtableOf(object)->dispose(object);
  if (reinterpret_cast<Adapter*>(self)->owned) delete reinterpret_cast<Adapter*>(self);
}

static VARENTA_MSABI void W_addRef(W::IReferenceCounted* self) noexcept {
  addRefThrough(self);
}
static VARENTA_MSABI int W_release(W::IReferenceCounted* self) noexcept {
  return releaseThrough(self);
}
static VARENTA_MSABI void W_dispose(W::IDisposable* self) noexcept {
  disposeThrough(self);
}
static void L_addRef(L::IReferenceCounted* self) noexcept {
  addRefThrough(self);
}
static int L_release(L::IReferenceCounted* self) noexcept {
  return releaseThrough(self);
}
static void L_dispose(L::IDisposable* self) noexcept {
  disposeThrough(self);
}

#include "thunks.inc"

}  // namespace varenta::wine_fbclient

// The library's entry, exported to the program as fb_get_master_interface by fbclient.spec: under its
// own name here, where that name is the Linux library's, which the bridge calls.
extern "C" VARENTA_MSABI FbWin::IMaster* varenta_wine_fb_master() {
  using namespace varenta::wine_fbclient;
  return wrapOwned<W::IMaster>(Firebird::fb_get_master_interface());
}
