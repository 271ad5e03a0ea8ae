#include "platform/address_changes.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>  // before netioapi.h, which needs ws2ipdef.h

#include <iphlpapi.h>
#include <netioapi.h>
#include <windows.h>

namespace quarn::platform {
namespace {

void WINAPI OnAddressChange(void* context, MIB_UNICASTIPADDRESS_ROW*, MIB_NOTIFICATION_TYPE) {
    static_cast<std::atomic<bool>*>(context)->store(true);
}

void WINAPI OnInterfaceChange(void* context, MIB_IPINTERFACE_ROW*, MIB_NOTIFICATION_TYPE) {
    static_cast<std::atomic<bool>*>(context)->store(true);
}

}  // namespace

AddressChanges::AddressChanges() {
    // A registration that succeeds may still hand back no handle (Wine's never reports).
    HANDLE address = nullptr;
    HANDLE ipInterface = nullptr;
    const bool addresses = NotifyUnicastIpAddressChange(AF_UNSPEC, OnAddressChange, &changed_,
                                                        FALSE, &address) == NO_ERROR;
    const bool interfaces = NotifyIpInterfaceChange(AF_UNSPEC, OnInterfaceChange, &changed_, FALSE,
                                                    &ipInterface) == NO_ERROR;
    told_ = addresses && interfaces;
    addressNotice_ = address;
    interfaceNotice_ = ipInterface;
}

AddressChanges::~AddressChanges() {
    // Returns once no callback runs any more, so none touches changed_ after this.
    if (addressNotice_ != nullptr) {
        CancelMibChangeNotify2(addressNotice_);
    }
    if (interfaceNotice_ != nullptr) {
        CancelMibChangeNotify2(interfaceNotice_);
    }
}

bool AddressChanges::Told() const {
    return told_;
}

bool AddressChanges::SinceLastLook() {
    return changed_.exchange(false) || !Told();
}

}  // namespace quarn::platform
