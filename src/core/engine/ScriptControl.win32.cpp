// The native engine on Windows: the system's own JScript, hosted through IActiveScript and
// IActiveScriptParse, behind the same interface as the Duktape engine of the Linux build.
// Errors come from IActiveScriptSite::OnScriptError (number, description, line, column, the
// line's text); a stop is IActiveScript::InterruptScriptThread. Where the system cannot
// interrupt a script (wine's JScript answers E_NOTIMPL), a stop that is due ends the process
// with a message instead of letting the script run on unseen.
#include "core/engine/ScriptControl.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <initguid.h>
#include <ole2.h>
#include <oleauto.h>
#include <activscp.h>
#include <dispex.h>
#include <cguid.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <thread>
#include <utility>

#include "core/text/Text.h"

namespace quillbox::engine {

namespace {

std::wstring wide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(const wchar_t* text, std::size_t length) {
    if (!text || length == 0)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
    return out;
}

std::string narrow(BSTR text) { return text ? narrow(text, SysStringLen(text)) : std::string(); }

// A number as the script itself writes it (Number.prototype.toString for radix 10).
std::string numberText(double d) {
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0)
        return "0";
    char digits[32];
    // The shortest digits that read back as d, in exponent form: "d.ddde±x".
    const auto r = std::to_chars(digits, digits + sizeof digits, std::fabs(d), std::chars_format::scientific);
    std::string s(digits, r.ptr);
    const std::size_t e = s.find('e');
    std::string mantissa = s.substr(0, e);
    const int exponent = std::stoi(s.substr(e + 1));
    mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
    const int k = static_cast<int>(mantissa.size());
    const int n = exponent + 1;
    std::string out;
    if (k <= n && n <= 21)
        out = mantissa + std::string(static_cast<std::size_t>(n - k), '0');
    else if (0 < n && n <= 21)
        out = mantissa.substr(0, static_cast<std::size_t>(n)) + "." + mantissa.substr(static_cast<std::size_t>(n));
    else if (-6 < n && n <= 0)
        out = "0." + std::string(static_cast<std::size_t>(-n), '0') + mantissa;
    else {
        out = mantissa.substr(0, 1);
        if (k > 1)
            out += "." + mantissa.substr(1);
        out += (n - 1 >= 0 ? "e+" : "e-") + std::to_string(std::abs(n - 1));
    }
    return d < 0 ? "-" + out : out;
}

class Site;

}  // namespace

struct ScriptControl::Heap {
    IActiveScript* script = nullptr;
    IActiveScriptParse* parse = nullptr;
    Site* site = nullptr;
    bool comStarted = false;
    std::string createError;
    // The last error the engine reported through the site, for the call that is running.
    bool errorReported = false;
    ScriptError reported;
    DWORD reportedCookie = 0;
    // The watchdog of the current call: stops it at the deadline.
    std::mutex watchMutex;
    std::condition_variable watchWake;
    bool callDone = false;
    bool stopped = false;
};

namespace {

class Site final : public IActiveScriptSite {
public:
    explicit Site(ScriptControl::Heap* heap) : heap_(heap) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IActiveScriptSite) {
            *out = static_cast<IActiveScriptSite*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetLCID(LCID* lcid) override {
        *lcid = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR, DWORD, IUnknown** unknown, ITypeInfo** info) override {
        if (unknown)
            *unknown = nullptr;
        if (info)
            *info = nullptr;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR* version) override {
        *version = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
        if (!heap_ || !error)
            return S_OK;
        ScriptError e;
        EXCEPINFO info{};
        if (SUCCEEDED(error->GetExceptionInfo(&info))) {
            if (info.pfnDeferredFillIn)
                info.pfnDeferredFillIn(&info);
            const auto code = static_cast<std::uint32_t>(info.scode ? info.scode : info.wCode);
            e.Number = (code >> 16) == 0x800A ? static_cast<long>(code & 0xFFFF) : static_cast<long>(info.scode ? static_cast<long>(info.scode) : info.wCode);
            e.Description = narrow(info.bstrDescription);
            const std::string source = narrow(info.bstrSource);
            e.Source = source.find("compilation") != std::string::npos ? ScriptControl::kCompileSource
                                                                        : ScriptControl::kRuntimeSource;
            SysFreeString(info.bstrDescription);
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrHelpFile);
        }
        DWORD cookie = 0;
        ULONG line = 0;
        LONG column = 0;
        if (SUCCEEDED(error->GetSourcePosition(&cookie, &line, &column))) {
            e.Line = static_cast<int>(line) + 1;
            e.Column = column < 0 ? 0 : static_cast<int>(column);
        }
        BSTR text = nullptr;
        if (SUCCEEDED(error->GetSourceLineText(&text)) && text) {
            e.Text = narrow(text);
            SysFreeString(text);
        }
        if (e.Description.empty())
            e.Description = e.Number == error_number::kThrownValue ? "Exception thrown and not caught" : "Error";
        if (e.Number == 0)
            e.Number = error_number::kError;
        heap_->reported = std::move(e);
        heap_->reportedCookie = cookie;
        heap_->errorReported = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

    void detach() { heap_ = nullptr; }

private:
    ScriptControl::Heap* heap_;
    ULONG refs_ = 1;
};

void closeEngine(ScriptControl::Heap& heap) {
    if (heap.parse)
        heap.parse->Release();
    if (heap.script) {
        heap.script->Close();
        heap.script->Release();
    }
    if (heap.site) {
        heap.site->detach();
        heap.site->Release();
    }
    heap.parse = nullptr;
    heap.script = nullptr;
    heap.site = nullptr;
}

std::string hresultText(HRESULT hr) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

// A value of the engine's as the program's Value. Objects are read through their default
// value (the script's ToString).
Value fromVariant(VARIANT& v) {
    switch (V_VT(&v)) {
    case VT_EMPTY:
    case VT_NULL: return Value();
    case VT_BOOL: return Value::boolean(V_BOOL(&v) != VARIANT_FALSE);
    case VT_BSTR: return Value::string(narrow(V_BSTR(&v)));
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
    case VT_R4: case VT_R8: {
        VARIANT d;
        VariantInit(&d);
        if (FAILED(VariantChangeType(&d, &v, 0, VT_R8)))
            return Value();
        return Value::number(V_R8(&d), numberText(V_R8(&d)));
    }
    default: {
        VARIANT s;
        VariantInit(&s);
        if (FAILED(VariantChangeType(&s, &v, 0, VT_BSTR)))
            return Value::object("[object Object]");
        Value out = Value::object(narrow(V_BSTR(&s)));
        VariantClear(&s);
        return out;
    }
    }
}

void toVariant(const Value& value, VARIANT& v) {
    VariantInit(&v);
    switch (value.kind()) {
    case Value::Kind::Empty: break;
    case Value::Kind::Boolean:
        V_VT(&v) = VT_BOOL;
        V_BOOL(&v) = value.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case Value::Kind::Number:
        V_VT(&v) = VT_R8;
        V_R8(&v) = value.number();
        break;
    default: {
        const std::wstring w = wide(value.text());
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    }
    }
}

}  // namespace

ScriptControl::ScriptControl(std::size_t heapLimit) : heapLimit_(heapLimit) { createHeap(); }

ScriptControl::~ScriptControl() {
    if (heap_) {
        closeEngine(*heap_);
        if (heap_->comStarted)
            CoUninitialize();
    }
}

void ScriptControl::createHeap() {
    auto heap = std::make_unique<Heap>();
    const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    heap->comStarted = SUCCEEDED(started);
    chunks_.clear();
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"JScript", &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                              reinterpret_cast<void**>(&heap->script));
    if (SUCCEEDED(hr))
        hr = heap->script->QueryInterface(IID_IActiveScriptParse, reinterpret_cast<void**>(&heap->parse));
    if (SUCCEEDED(hr)) {
        heap->site = new Site(heap.get());
        hr = heap->script->SetScriptSite(heap->site);
    }
    if (SUCCEEDED(hr))
        hr = heap->parse->InitNew();
    if (SUCCEEDED(hr))
        hr = heap->script->SetScriptState(SCRIPTSTATE_CONNECTED);
    if (FAILED(hr)) {
        heap->createError = "the system's JScript engine could not be created (" + hresultText(hr) + ")";
        closeEngine(*heap);
    }
    if (heap_) {
        closeEngine(*heap_);
        if (heap_->comStarted)
            CoUninitialize();
    }
    heap_ = std::move(heap);
}

bool ScriptControl::SetLanguage(const std::string& language) {
    if (_stricmp(language.c_str(), "jscript") != 0 || language.size() != 7)
        return false;
    language_ = "JScript";
    return true;
}

void ScriptControl::Reset() {
    error_ = ScriptError();
    createHeap();
}

namespace {

// Ends the running script of `heap`'s engine from another thread. Where the system's
// engine cannot (E_NOTIMPL under wine), the process ends: a script that cannot be stopped
// would otherwise hold the program for ever.
void interrupt(ScriptControl::Heap& heap, const char* why) {
    EXCEPINFO info{};
    const HRESULT hr = heap.script ? heap.script->InterruptScriptThread(SCRIPTTHREADID_BASE, &info, 0) : E_FAIL;
    if (SUCCEEDED(hr))
        return;
    std::fprintf(stderr,
                 "quillbox: %s, and the system's JScript cannot interrupt a running script here "
                 "(InterruptScriptThread: %s): the program ends\n",
                 why, hresultText(hr).c_str());
    std::fflush(stderr);
    ExitProcess(3);
}

}  // namespace

bool ScriptControl::stop() {
    std::lock_guard lock(stopMutex_);
    if (!running_)
        return false;
    stopRequested_ = true;
    {
        std::lock_guard watch(heap_->watchMutex);
        heap_->stopped = true;
    }
    interrupt(*heap_, "the script was asked to stop");
    return true;
}

bool ScriptControl::execute(Mode mode, const std::string& code, const std::string& name,
                            const std::vector<Value>& args, Value* result) {
    bool stopFirst = false;
    {
        std::lock_guard lock(stopMutex_);
        running_ = true;
        stopFirst = std::exchange(pendingStop_, false);
        stopRequested_ = stopFirst;
    }
    lastCallStopped_ = false;
    lastCallOutOfMemory_ = false;
    Heap& heap = *heap_;
    heap.callDone = false;
    heap.stopped = stopFirst;
    std::thread watchdog;
    if (timeLimit_.count() > 0 && !stopFirst) {
        const auto deadline = std::chrono::steady_clock::now() + timeLimit_;
        watchdog = std::thread([&heap, deadline] {
            std::unique_lock lock(heap.watchMutex);
            if (heap.watchWake.wait_until(lock, deadline, [&heap] { return heap.callDone; }))
                return;
            heap.stopped = true;
            lock.unlock();
            interrupt(heap, "the script ran past its time limit");
        });
    }
    const bool ok = !stopFirst && run(mode, code, name, args, result);
    {
        std::lock_guard lock(heap.watchMutex);
        heap.callDone = true;
    }
    heap.watchWake.notify_all();
    if (watchdog.joinable())
        watchdog.join();
    bool stopped;
    {
        std::lock_guard lock(stopMutex_);
        running_ = false;
        stopped = heap.stopped;
        pendingStop_ = stopRequested_ && !stopped;
        stopRequested_ = false;
    }
    if (stopped) {
        if (result)
            *result = Value();
        Reset();
        lastCallStopped_ = true;
        ++stops_;
        error_ = {error_number::kEngineReset, kRuntimeSource,
                  "the script was stopped; the engine was made anew and all added code is gone", 0, 0, "", ""};
        return false;
    }
    if (!ok && error_.Number == error_number::kOutOfMemory) {
        if (result)
            *result = Value();
        Reset();
        lastCallOutOfMemory_ = true;
        error_ = {error_number::kOutOfMemory, kRuntimeSource, "out of memory", 0, 0, "", ""};
        return false;
    }
    return ok;
}

void ScriptControl::setMemoryLimit(std::size_t bytes) {
    // The system's engine manages its own memory: the limit is kept for callers to read.
    heapLimit_ = bytes;
}

bool ScriptControl::run(Mode mode, const std::string& code, const std::string& name, const std::vector<Value>& args,
                        Value* result) {
    error_ = ScriptError();
    Heap& heap = *heap_;
    if (!heap.script) {
        error_ = {error_number::kEngineReset, kRuntimeSource, heap.createError, 0, 0, "", ""};
        return false;
    }
    heap.errorReported = false;
    VARIANT out;
    VariantInit(&out);
    HRESULT hr;
    EXCEPINFO info{};
    if (mode == Mode::Call) {
        IDispatch* global = nullptr;
        hr = heap.script->GetScriptDispatch(nullptr, &global);
        DISPID id = DISPID_UNKNOWN;
        std::wstring wname = wide(name);
        LPOLESTR names[] = {wname.data()};
        if (SUCCEEDED(hr))
            hr = global->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (hr == DISP_E_UNKNOWNNAME) {
            global->Release();
            error_ = {error_number::kType, kRuntimeSource, "Object expected", 0, 0, "", ""};
            return false;
        }
        if (SUCCEEDED(hr)) {
            // Arguments go last-first.
            std::vector<VARIANT> vargs(args.size());
            for (std::size_t i = 0; i < args.size(); ++i)
                toVariant(args[i], vargs[args.size() - 1 - i]);
            DISPPARAMS params{vargs.data(), nullptr, static_cast<UINT>(vargs.size()), 0};
            hr = global->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &out, &info, nullptr);
            for (VARIANT& v : vargs)
                VariantClear(&v);
        }
        if (global)
            global->Release();
    } else {
        if (mode == Mode::Eval && !chunks_.empty() && chunks_.back().first.rfind("eval", 0) == 0)
            chunks_.pop_back();
        chunks_.emplace_back(name, code);
        const std::wstring text = wide(code);
        const DWORD flags = mode == Mode::Eval ? SCRIPTTEXT_ISEXPRESSION : SCRIPTTEXT_ISVISIBLE;
        hr = heap.parse->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr,
                                         static_cast<DWORD_PTR>(chunks_.size()), 0, flags,
                                         mode == Mode::Eval ? &out : nullptr, &info);
    }
    if (FAILED(hr)) {
        VariantClear(&out);
        if (heap.errorReported) {
            error_ = heap.reported;
            if (heap.reportedCookie > 0 && heap.reportedCookie <= chunks_.size())
                error_.File = chunks_[heap.reportedCookie - 1].first;
        } else {
            if (info.pfnDeferredFillIn)
                info.pfnDeferredFillIn(&info);
            const auto code32 = static_cast<std::uint32_t>(info.scode ? info.scode : hr);
            error_.Number = (code32 >> 16) == 0x800A ? static_cast<long>(code32 & 0xFFFF) : static_cast<long>(hr);
            error_.Source = kRuntimeSource;
            error_.Description = narrow(info.bstrDescription);
            if (error_.Description.empty())
                error_.Description = "the script engine failed (" + hresultText(hr) + ")";
        }
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrHelpFile);
        if (hr == E_OUTOFMEMORY)
            error_.Number = error_number::kOutOfMemory;
        return false;
    }
    if (result)
        *result = fromVariant(out);
    if (keepResult_ && mode == Mode::Eval && V_VT(&out) == VT_DISPATCH) {
        // QUILLBOX.last = the value, for the result's tree.
        IDispatch* global = nullptr;
        if (SUCCEEDED(heap.script->GetScriptDispatch(nullptr, &global))) {
            DISPID id = DISPID_UNKNOWN;
            wchar_t quillbox[] = L"QUILLBOX";
            LPOLESTR names[] = {quillbox};
            VARIANT holder;
            VariantInit(&holder);
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            if (SUCCEEDED(global->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) &&
                SUCCEEDED(global->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &holder,
                                         nullptr, nullptr)) &&
                V_VT(&holder) == VT_DISPATCH && V_DISPATCH(&holder)) {
                IDispatch* object = V_DISPATCH(&holder);
                IDispatchEx* ex = nullptr;
                if (SUCCEEDED(object->QueryInterface(IID_IDispatchEx, reinterpret_cast<void**>(&ex)))) {
                    BSTR last = SysAllocString(L"last");
                    DISPID lastId = DISPID_UNKNOWN;
                    if (SUCCEEDED(ex->GetDispID(last, fdexNameEnsure, &lastId))) {
                        DISPID named = DISPID_PROPERTYPUT;
                        DISPPARAMS put{&out, &named, 1, 1};
                        ex->InvokeEx(lastId, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr);
                    }
                    SysFreeString(last);
                    ex->Release();
                }
            }
            VariantClear(&holder);
            global->Release();
        }
    }
    VariantClear(&out);
    return true;
}

}  // namespace quillbox::engine
