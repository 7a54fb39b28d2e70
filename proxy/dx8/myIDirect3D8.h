#pragma once
#include <windows.h>
#include <d3d8.h>

#include "Forward_IDirect3D8.h"

// The game's IDirect3D8: hands every call on, and wraps the devices it makes.
// It has no reference count of its own: AddRef and Release act on the runtime's.
class myIDirect3D8 : public Forward_IDirect3D8 {
public:
    explicit myIDirect3D8(IDirect3D8* real) : Forward_IDirect3D8(real) {}
    virtual ~myIDirect3D8() {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                                           D3DPRESENT_PARAMETERS* parameters,
                                           IDirect3DDevice8** returnedDevice) override;
};

// QueryInterface of the wrappers: the wrapper answers for IUnknown and for the
// interface it implements; any other interface the runtime grants is handed
// out unwrapped, since the wrapper's table does not implement it.
HRESULT Proxy8QueryInterface(IUnknown* real, void* wrapper, REFIID own, REFIID riid, void** out);
