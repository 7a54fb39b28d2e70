#pragma once
#include <windows.h>
#include <dinput.h>

#include <utility>

#include "CVQDirectInputDevice8.h"

// The game's DirectInput object (IDirectInput8A or W; Base is the generated
// forwarder of the interface): every method is the runtime's, except that
// the system keyboard and the system mouse it creates come back wrapped.
template <class Base, const IID& kIid, class DeviceBase, const IID& kDeviceIid, class DevicePtr>
class CVQDirectInput8 final : public Base {
public:
    typedef decltype(std::declval<Base&>().Real()) RealPtr;
    typedef CVQDirectInputDevice8<DeviceBase, kDeviceIid> Device;

    explicit CVQDirectInput8(RealPtr real) : Base(real) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualGUID(riid, kIid) || IsEqualGUID(riid, IID_IUnknown)) {
            this->m_real->AddRef();
            *out = this;
            return S_OK;
        }
        return this->m_real->QueryInterface(riid, out);
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG count = this->m_real->Release();
        if (count == 0) delete this;
        return count;
    }

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, DevicePtr* device, LPUNKNOWN outer) override {
        const HRESULT hr = this->m_real->CreateDevice(guid, device, outer);
        if (FAILED(hr) || !device || !*device || outer) return hr;
        if (IsEqualGUID(guid, GUID_SysKeyboard))
            *device = new Device(*device, Device::kKeyboard);
        else if (IsEqualGUID(guid, GUID_SysMouse))
            *device = new Device(*device, Device::kMouse);
        return hr;
    }
};
