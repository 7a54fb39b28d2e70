#pragma once
#include <windows.h>
#include <d3d9.h>

#include "Forward_IDirect3D9.h"

// The game's IDirect3D9: hands every call on, and wraps the devices it makes.
// It has no reference count of its own: AddRef and Release act on the runtime's.
class myIDirect3D9 : public Forward_IDirect3D9 {
public:
    explicit myIDirect3D9(IDirect3D9* real) : Forward_IDirect3D9(real) {}
    virtual ~myIDirect3D9() {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                                           D3DPRESENT_PARAMETERS* parameters,
                                           IDirect3DDevice9** returnedDevice) override;
};

// QueryInterface of the wrappers: the wrapper answers for IUnknown and for the
// interface it implements; any other interface the runtime grants is handed
// out unwrapped, since the wrapper's table does not implement it.
HRESULT ProxyQueryInterface(IUnknown* real, void* wrapper, REFIID own, REFIID riid, void** out);
