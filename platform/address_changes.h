#pragma once

#include <atomic>

namespace quarn::platform {

// Whether the system's interface addresses may have changed since the last look, so that
// a copy of the address lists is made anew only then. Netlink tells on Linux, the IP
// helper's change notifications on Windows. Where nothing could be set up to tell, every
// look says they may have.
class AddressChanges {
  public:
    AddressChanges();
    ~AddressChanges();
    AddressChanges(const AddressChanges&) = delete;
    AddressChanges& operator=(const AddressChanges&) = delete;

    // True at the first look, and after a change was reported since the one before (or
    // when nothing tells). Never blocks. One caller at a time.
    bool SinceLastLook();
    // Whether the system tells at all.
    bool Told() const;

  private:
#ifdef _WIN32
    std::atomic<bool> changed_{true};
    bool told_ = false;
    void* addressNotice_ = nullptr;
    void* interfaceNotice_ = nullptr;
#else
    bool first_ = true;
    int fd_ = -1;
#endif
};

}  // namespace quarn::platform
