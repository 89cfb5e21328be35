// The common ground of the statistics package's automation interfaces: result
// codes, the reference-counted base every interface derives from, and the
// smart pointer that owners hold.
//
// Conventions of every interface in this folder:
// - A checked operation returns an HRESULT (a signed 32-bit code; negative
//   means failure) and hands its value back through its last parameter, which
//   the caller owns. An interface handed back through an out parameter has
//   already been counted for the caller, who releases it (AutomationPtr does).
//   On failure an interface out parameter is set to null; other out values are
//   left as the callee found them.
// - Setters (put_...) return a code as well, but callers are not required to
//   look at it.
// - The command syntax handed to the application is a std::wstring (one
//   wchar_t per UTF-16 unit where wchar_t is 16 bits, per code point where it
//   is 32 bits); every other text is UTF-8 in a std::string.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace korvana::automation {

using HRESULT = std::int32_t;

constexpr HRESULT resultCode(std::uint32_t bits) { return static_cast<HRESULT>(bits); }

// Success.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

// General failures.
inline constexpr HRESULT E_NOTIMPL = resultCode(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = resultCode(0x80004002u);
inline constexpr HRESULT E_POINTER = resultCode(0x80004003u);
inline constexpr HRESULT E_ABORT = resultCode(0x80004004u);
inline constexpr HRESULT E_FAIL = resultCode(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = resultCode(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = resultCode(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = resultCode(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = resultCode(0x80070057u);

// Automation and object binding.
inline constexpr HRESULT DISP_E_TYPEMISMATCH = resultCode(0x80020005u);
inline constexpr HRESULT DISP_E_BADINDEX = resultCode(0x8002000Bu);
inline constexpr HRESULT MK_E_UNAVAILABLE = resultCode(0x800401E3u);
inline constexpr HRESULT CO_E_CLASSSTRING = resultCode(0x800401F3u);
inline constexpr HRESULT RPC_E_DISCONNECTED = resultCode(0x80010108u);

// The output document's own failures (interface facility, codes 0x0200 on).
inline constexpr HRESULT OUTDOC_E_NOTACTIVE = resultCode(0x80040201u);      // item not activated for editing
inline constexpr HRESULT OUTDOC_E_NOSELECTION = resultCode(0x80040202u);    // promote without a selected item
inline constexpr HRESULT OUTDOC_E_NOLABELSELECTED = resultCode(0x80040203u);// footnote without a selected label
inline constexpr HRESULT OUTDOC_E_BADRTF = resultCode(0x80040204u);         // content is not readable rich text

constexpr bool failed(HRESULT result) { return result < 0; }
constexpr bool succeeded(HRESULT result) { return result >= 0; }

/// The base of every automation interface: a reference count. A new object
/// reaches its first owner counted once; Release of the last reference frees
/// it. Objects are never deleted directly.
class IAutomationObject {
 public:
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  virtual ~IAutomationObject() = default;
};

/// Owning pointer to an automation interface: releases its reference when it
/// is reset or destroyed, counts one more when it is copied.
template <class Interface>
class AutomationPtr {
 public:
  AutomationPtr() = default;
  AutomationPtr(std::nullptr_t) {}
  /// Takes over a reference the caller already holds (no AddRef).
  static AutomationPtr adopt(Interface* counted) {
    AutomationPtr p;
    p.p_ = counted;
    return p;
  }
  /// Shares a borrowed pointer (AddRef).
  static AutomationPtr share(Interface* borrowed) {
    if (borrowed) borrowed->AddRef();
    return adopt(borrowed);
  }
  AutomationPtr(const AutomationPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  AutomationPtr(AutomationPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class Derived>
    requires(std::is_convertible_v<Derived*, Interface*> && !std::is_same_v<Derived, Interface>)
  AutomationPtr(AutomationPtr<Derived> other) : p_(other.detach()) {}
  AutomationPtr& operator=(AutomationPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~AutomationPtr() { reset(); }

  void reset() {
    if (Interface* old = std::exchange(p_, nullptr)) old->Release();
  }
  /// Releases what is held and gives the address of the slot, for an out
  /// parameter that hands back a counted reference.
  Interface** put() {
    reset();
    return &p_;
  }
  /// Gives up ownership without releasing.
  Interface* detach() { return std::exchange(p_, nullptr); }

  Interface* get() const { return p_; }
  Interface* operator->() const { return p_; }
  Interface& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  Interface* p_ = nullptr;
};

/// A two-dimensional array of texts, indexed [row][column].
using TextArray2D = std::vector<std::vector<std::string>>;

}  // namespace korvana::automation
