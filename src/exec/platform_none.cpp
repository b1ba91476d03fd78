// The native build has no Windows platform: nothing here yet but an anchor for the library,
// which holds the POSIX socket layer.
namespace orv {
void PlatformNoneAnchor() {}
}  // namespace orv
