#include "platform/win32/win32_record_accessible.h"

#include <oleacc.h>

#include <new>
#include <string>

namespace platform::win32 {

namespace {

// Not IID_IAccessible: liboleacc.a exports that name as code, which a link may pick.
const IID& IidAccessible = __uuidof(IAccessible);

bool self(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// Holds the window, not the view: a client may keep the object after the window is gone,
// and then gets errors from the standard object, not a dangling view. It hands out only
// its own interfaces: one of the standard object's would answer QueryInterface for
// IUnknown with another object, and COM's marshaller relies on that answer staying the same.
class RecordAccessible final : public IAccessible, public IOleWindow {
  public:
    RecordAccessible(HWND view, IAccessible* standard) : view_(view), std_(standard) {}

    // --- IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, IidAccessible))
            *out = static_cast<IAccessible*>(this);
        else if (IsEqualIID(riid, __uuidof(IOleWindow)))  // WindowFromAccessibleObject asks it
            *out = static_cast<IOleWindow*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // --- IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        return std_->GetTypeInfoCount(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lc, ITypeInfo** t) override {
        return std_->GetTypeInfo(i, lc, t);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* names, UINT n, LCID lc,
                                            DISPID* ids) override {
        return std_->GetIDsOfNames(r, names, n, lc, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID r, LCID lc, WORD f, DISPPARAMS* p,
                                     VARIANT* v, EXCEPINFO* e, UINT* a) override {
        return std_->Invoke(id, r, lc, f, p, v, e, a);
    }

    // --- IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* w) override {
        if (!w) return E_POINTER;
        *w = view_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // --- IAccessible: ours
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!self(child)) return std_->get_accName(child, name);
        if (!name) return E_POINTER;
        *name = SysAllocString(L"records");
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (!self(child)) return std_->get_accValue(child, value);
        if (!value) return E_POINTER;
        if (!IsWindow(view_)) return RPC_E_DISCONNECTED;
        const int length = GetWindowTextLengthW(view_);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(view_, text.data(), length + 1)));
        *value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *value ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!self(child)) return std_->get_accRole(child, role);
        if (!role) return E_POINTER;
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_TEXT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        const HRESULT hr = std_->get_accState(child, state);
        if (FAILED(hr) || !self(child) || state->vt != VT_I4) return hr;
        state->lVal |= STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE;
        return hr;
    }

    // --- IAccessible: the standard object's
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override {
        return std_->get_accParent(p);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override {
        return std_->get_accChildCount(n);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** p) override {
        return std_->get_accChild(c, p);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* s) override {
        return std_->get_accDescription(c, s);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* s) override {
        return std_->get_accHelp(c, s);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, long* t) override {
        return std_->get_accHelpTopic(f, c, t);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* s) override {
        return std_->get_accKeyboardShortcut(c, s);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* c) override { return std_->get_accFocus(c); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* c) override {
        return std_->get_accSelection(c);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* s) override {
        return std_->get_accDefaultAction(c, s);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long f, VARIANT c) override {
        return std_->accSelect(f, c);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT c) override {
        return std_->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long d, VARIANT s, VARIANT* e) override {
        return std_->accNavigate(d, s, e);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* c) override {
        return std_->accHitTest(x, y, c);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override {
        return std_->accDoDefaultAction(c);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override {
        return E_NOTIMPL;  // locked against typing
    }

  private:
    ~RecordAccessible() { std_->Release(); }

    LONG refs_ = 1;
    HWND view_;
    IAccessible* std_;
};

}  // namespace

LRESULT answerRecordAccessible(HWND view, WPARAM wp) {
    IAccessible* standard = nullptr;
    if (FAILED(CreateStdAccessibleObject(view, OBJID_CLIENT, IidAccessible,
                                         reinterpret_cast<void**>(&standard))))
        return 0;
    auto* object = new (std::nothrow) RecordAccessible(view, standard);
    if (!object) {
        standard->Release();
        return 0;
    }
    const LRESULT answer = LresultFromObject(IidAccessible, wp, static_cast<IAccessible*>(object));
    object->Release();  // the answer holds its own reference
    return answer;
}

}  // namespace platform::win32
