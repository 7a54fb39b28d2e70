#pragma once
#include <windows.h>
#include <dinput.h>

#include <cstring>
#include <utility>
#include <mutex>

#include "CVQDIHudLink.h"
#include "CVQDIInputFilter.h"

// The game's system keyboard or system mouse (IDirectInputDevice8A or W;
// Base is the generated forwarder of the interface). Every method is the
// runtime's; the reads of the standard data formats hand what they return
// to the HUD and give the game what the HUD left to it (CVQDIInputFilter).
// Without a Direct3D proxy in the process the reads are left untouched.
template <class Base, const IID& kIid>
class CVQDirectInputDevice8 final : public Base {
public:
    enum Kind { kKeyboard, kMouse };
    typedef decltype(std::declval<Base&>().Real()) RealPtr;

    CVQDirectInputDevice8(RealPtr real, Kind kind) : Base(real), m_kind(kind), m_format(0), m_absolute(false) {}

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

    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override {
        const HRESULT hr = this->m_real->SetDataFormat(format);
        if (SUCCEEDED(hr)) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_format = format ? format->dwDataSize : 0;
            m_filter.Reset();
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property, LPCDIPROPHEADER header) override {
        const HRESULT hr = this->m_real->SetProperty(property, header);
        // DIPROP_AXISMODE is a small number in the place of a GUID's address.
        if (SUCCEEDED(hr) && &property == &DIPROP_AXISMODE && header && header->dwSize >= sizeof(DIPROPDWORD)) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_absolute = reinterpret_cast<LPCDIPROPDWORD>(header)->dwData == DIPROPAXISMODE_ABS;
            m_filter.Reset();
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override {
        const HRESULT hr = this->m_real->GetDeviceState(size, data);
        if (FAILED(hr) || !data) return hr;
        std::lock_guard<std::mutex> lock(m_lock);
        if (!StandardFormat() || size < m_format) return hr;
        CVQDIHudLink hud;
        if (!hud.Attached()) return hr;
        if (m_kind == kKeyboard) {
            m_filter.FilterKeyboardState(hud, static_cast<uint8_t*>(data));
        } else {
            // DIMOUSESTATE or DIMOUSESTATE2: three axes, then 4 or 8 buttons.
            int32_t axes[3];
            memcpy(axes, data, sizeof axes);
            uint8_t* buttons = static_cast<uint8_t*>(data) + sizeof axes;
            m_filter.FilterMouseState(hud, axes, buttons, static_cast<int>(m_format - sizeof axes), m_absolute);
            memcpy(data, axes, sizeof axes);
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD recordSize, LPDIDEVICEOBJECTDATA records, LPDWORD count,
                                            DWORD flags) override {
        const HRESULT hr = this->m_real->GetDeviceData(recordSize, records, count, flags);
        if (FAILED(hr) || !records || !count || recordSize < 2 * sizeof(DWORD) || (flags & DIGDD_PEEK)) return hr;
        std::lock_guard<std::mutex> lock(m_lock);
        if (!StandardFormat()) return hr;
        CVQDIHudLink hud;
        if (!hud.Attached()) return hr;
        // Records the game is not to see are taken out; the rest close up.
        uint8_t* base = reinterpret_cast<uint8_t*>(records);
        DWORD kept = 0;
        for (DWORD i = 0; i < *count; i++) {
            uint8_t* record = base + static_cast<size_t>(i) * recordSize;
            DWORD offset, value;
            memcpy(&offset, record, sizeof offset);
            memcpy(&value, record + sizeof offset, sizeof value);
            if (Keep(hud, offset, value)) {
                if (kept != i) memmove(base + static_cast<size_t>(kept) * recordSize, record, recordSize);
                kept++;
            }
        }
        *count = kept;
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Unacquire() override {
        const HRESULT hr = this->m_real->Unacquire();
        std::lock_guard<std::mutex> lock(m_lock);
        m_filter.Reset();  // what is down now is unknown until the next read
        return hr;
    }

private:
    // The standard formats: the 256-byte key state; DIMOUSESTATE (16 bytes)
    // or DIMOUSESTATE2 (20). Other formats are the game's own layout and are
    // passed on untouched.
    bool StandardFormat() const { return m_kind == kKeyboard ? m_format == 256 : (m_format == 16 || m_format == 20); }

    bool Keep(CVQDIHudLink& hud, DWORD offset, DWORD value) {
        if (m_kind == kKeyboard)
            return offset > 255 || m_filter.KeyEvent(hud, static_cast<uint8_t>(offset), (value & 0x80) != 0);
        switch (offset) {
        case 0: return m_absolute || m_filter.MouseMove(hud, static_cast<LONG>(value), 0);  // DIMOFS_X
        case 4: return m_absolute || m_filter.MouseMove(hud, 0, static_cast<LONG>(value));  // DIMOFS_Y
        case 8: return m_filter.MouseWheel(hud);                                            // DIMOFS_Z
        default:
            if (offset >= 12 && offset < m_format)  // DIMOFS_BUTTON0 and on
                return m_filter.MouseButton(hud, static_cast<int>(offset - 12), (value & 0x80) != 0);
            return true;
        }
    }

    Kind m_kind;
    DWORD m_format;  // size of the game's data format
    bool m_absolute;
    std::mutex m_lock;  // the game may read from more than one thread
    CVQDIInputFilter m_filter;
};
