// The client object that WM_GETOBJECT hands out for a drawn window: an IAccessible whose children are
// simple elements, read afresh from the window at every call so that it never shows a stale state.
#include "base/accessible.h"

#include <oleacc.h>

#include <atomic>

namespace {

HRESULT textResult(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (text.empty()) return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT numberResult(long number, VARIANT* out) {
    if (!out) return E_POINTER;
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = number;
    return S_OK;
}

HRESULT noneResult(VARIANT* out) {
    if (!out) return E_POINTER;
    VariantInit(out);
    return S_FALSE;
}

std::wstring windowTitle(HWND window) {
    std::wstring title(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    title.resize(static_cast<size_t>(GetWindowTextW(window, &title[0], static_cast<int>(title.size()))));
    return title;
}

bool contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

bool isControl(const AccessibleItem& item) {
    return item.role == ROLE_SYSTEM_PUSHBUTTON || item.role == ROLE_SYSTEM_CHECKBUTTON;
}

// The state as tools see it now: the focus only while the window has it, and no control usable while
// a message box or picker the window owns has disabled it, as a mouse finds it then.
long shownState(HWND window, const AccessibleItem& item) {
    long state = item.state;
    if (GetFocus() != window) state &= ~STATE_SYSTEM_FOCUSED;
    if (!IsWindowEnabled(window) && isControl(item))
        state = (state | STATE_SYSTEM_UNAVAILABLE) & ~(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED);
    return state;
}

// The index of the item the window's focus is on, -1 for none.
long focusedIndex(const std::vector<AccessibleItem>& items) {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].state & STATE_SYSTEM_FOCUSED) return static_cast<long>(i);
    return -1;
}

class ClientObject final : public IAccessible {
public:
    ClientObject(HWND window, const AccessibleSource* source) : window_(window), source_(source) {}
    ClientObject(const ClientObject&) = delete;
    ClientObject& operator=(const ClientObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // Late binding is not offered: MSAA clients call through the interface.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!IsWindow(window_)) return RPC_E_DISCONNECTED;
        return AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                          reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        if (!IsWindow(window_)) return RPC_E_DISCONNECTED;
        *count = static_cast<LONG>(source_->items(window_).size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        Lookup at = lookUp(child);
        if (at.result != S_OK) return at.result;
        // The children are simple elements: the client object answers for them.
        return at.item() ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        Lookup at = lookUp(child);
        if (at.result != S_OK) return at.result;
        return textResult(at.item() ? at.item()->name : windowTitle(window_), name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        Lookup at = lookUp(child);
        if (at.result != S_OK) return at.result;
        return textResult(at.item() ? at.item()->value : std::wstring(), value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override { return noText(child, text); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override { return noText(child, text); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
        Lookup at = lookUp(child);
        if (at.result != S_OK) return at.result;
        return textResult(at.item() ? at.item()->keyboardShortcut : std::wstring(), text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        if (!topic) return E_POINTER;
        *topic = 0;
        return noText(child, file);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        Lookup at = lookUp(child);
        if (at.result != S_OK) return at.result;
        return numberResult(at.item() ? at.item()->role : ROLE_SYSTEM_CLIENT, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        Lookup at = lookUp(child);
        if (at.result != S_OK) return at.result;
        if (at.item()) return numberResult(shownState(window_, *at.item()), state);
        long own = STATE_SYSTEM_FOCUSABLE;
        if (GetFocus() == window_) own |= STATE_SYSTEM_FOCUSED;
        if (!IsWindowVisible(window_)) own |= STATE_SYSTEM_INVISIBLE;
        return numberResult(own, state);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!IsWindow(window_)) return RPC_E_DISCONNECTED;
        if (GetFocus() != window_) return noneResult(focus);
        // The window takes the keyboard as a whole and passes it to the drawn element it has focused.
        return numberResult(focusedIndex(source_->items(window_)) + 1, focus);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override { return noneResult(selection); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        Lookup at = lookUp(child);
        if (at.result != S_OK) return at.result;
        return textResult(at.item() ? at.item()->defaultAction : std::wstring(), action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        Lookup at = lookUp(child);
        if (at.result != S_OK) return at.result;
        RECT r{};
        if (at.item()) {
            r = at.item()->bounds;
        } else {
            GetClientRect(window_, &r);
        }
        POINT corner{r.left, r.top};
        ClientToScreen(window_, &corner);
        *left = corner.x;
        *top = corner.y;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        VariantInit(end);
        Lookup at = lookUp(start);
        if (at.result != S_OK) return at.result;
        const long count = static_cast<long>(at.items.size());
        long target = 0;
        if (!at.item() && direction == NAVDIR_FIRSTCHILD) target = 1;
        if (!at.item() && direction == NAVDIR_LASTCHILD) target = count;
        if (at.item() && direction == NAVDIR_NEXT) target = at.index + 2;
        if (at.item() && direction == NAVDIR_PREVIOUS) target = at.index;
        if (target < 1 || target > count) return S_FALSE;
        return numberResult(target, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        if (!hit) return E_POINTER;
        VariantInit(hit);
        if (!IsWindow(window_)) return RPC_E_DISCONNECTED;
        POINT p{x, y};
        ScreenToClient(window_, &p);
        RECT client{};
        GetClientRect(window_, &client);
        if (!contains(client, p)) return S_FALSE;
        const std::vector<AccessibleItem> items = source_->items(window_);
        // A control drawn on a card or a line of text is what the point is on.
        for (bool controls : {true, false}) {
            for (size_t i = items.size(); i-- > 0;) {
                if (isControl(items[i]) == controls && contains(items[i].bounds, p))
                    return numberResult(static_cast<long>(i + 1), hit);
            }
        }
        return numberResult(CHILDID_SELF, hit);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        Lookup at = lookUp(child);
        if (at.result != S_OK) return at.result;
        if (!at.item() || at.item()->defaultAction.empty() || !IsWindowEnabled(window_) ||
            !source_->canAct(window_, at.item()->key))
            return DISP_E_MEMBERNOTFOUND;
        PostMessageW(window_, WM_ACCESSIBLE_ACTION, static_cast<WPARAM>(at.item()->key), 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~ClientObject() = default;

    // The element a child id names: null for the client object itself (CHILDID_SELF).
    struct Lookup {
        HRESULT result = S_OK;
        std::vector<AccessibleItem> items;
        long index = -1;
        const AccessibleItem* item() const { return index >= 0 ? &items[static_cast<size_t>(index)] : nullptr; }
    };

    Lookup lookUp(const VARIANT& child) const {
        Lookup at;
        // An assistive tool may hold the object after the window is gone.
        if (!IsWindow(window_)) {
            at.result = RPC_E_DISCONNECTED;
            return at;
        }
        if (child.vt != VT_I4) {
            at.result = E_INVALIDARG;
            return at;
        }
        at.items = source_->items(window_);
        if (child.lVal == CHILDID_SELF) return at;
        if (child.lVal < 1 || child.lVal > static_cast<long>(at.items.size())) {
            at.result = E_INVALIDARG;
            return at;
        }
        at.index = child.lVal - 1;
        return at;
    }

    HRESULT noText(const VARIANT& child, BSTR* text) const {
        if (!text) return E_POINTER;
        *text = nullptr;
        const Lookup at = lookUp(child);
        return at.result != S_OK ? at.result : S_FALSE;
    }

    std::atomic<ULONG> references_{1};
    HWND window_;
    const AccessibleSource* source_;
};

bool sameKeys(const std::vector<AccessibleItem>& a, const std::vector<AccessibleItem>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].key != b[i].key) return false;
    }
    return true;
}

const AccessibleItem* findKey(const std::vector<AccessibleItem>& items, int key) {
    for (const AccessibleItem& item : items) {
        if (item.key == key) return &item;
    }
    return nullptr;
}

}  // namespace

LRESULT answerGetObject(HWND window, WPARAM flags, LPARAM objectId, const AccessibleSource* source) {
    if (static_cast<LONG>(objectId) != OBJID_CLIENT || !source) return 0;
    auto* object = new ClientObject(window, source);
    const LRESULT result = LresultFromObject(IID_IAccessible, flags, object);
    object->Release();
    return result;
}

void announceChanges(HWND window, std::vector<AccessibleItem>& announced, std::vector<AccessibleItem> now) {
    if (!announced.empty()) {
        if (!sameKeys(announced, now)) NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, CHILDID_SELF);
        for (size_t i = 0; i < now.size(); ++i) {
            const AccessibleItem* before = findKey(announced, now[i].key);
            const LONG child = static_cast<LONG>(i + 1);
            // Readers speak an alert wherever the focus is: how an install ended is heard at once.
            if (now[i].role == ROLE_SYSTEM_ALERT &&
                (!before || before->role != ROLE_SYSTEM_ALERT || before->name != now[i].name))
                NotifyWinEvent(EVENT_SYSTEM_ALERT, window, OBJID_CLIENT, child);
            if (!before) continue;
            if (before->name != now[i].name) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, child);
            if (before->value != now[i].value) NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, child);
            if (before->state != now[i].state) NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, child);
        }
        const long was = focusedIndex(announced), is = focusedIndex(now);
        const int wasKey = was < 0 ? -1 : announced[static_cast<size_t>(was)].key;
        const int isKey = is < 0 ? -1 : now[static_cast<size_t>(is)].key;
        // A focus that left every item rests on the window itself.
        if (wasKey != isKey && GetFocus() == window) NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, is + 1);
    }
    announced = std::move(now);
}

void announceFocus(HWND window, const std::vector<AccessibleItem>& items) {
    const long focused = focusedIndex(items);
    if (focused >= 0 && GetFocus() == window) NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, focused + 1);
}
